#pragma once
// A firmware transfer as the session drives it: while the session is updating, every
// answer goes to it instead of the mirror, and it gets a step on every wake-up. It
// never sleeps: the session keeps the pauses the amplifier needs.
#include <cstddef>
#include <cstdint>

namespace tavrin {

class update_procedure {
  public:
    virtual ~update_procedure() = default;
    // One answer taken from the inbox while updating; `capacity` is the size of the
    // buffer behind `frame`.
    virtual void update_on_answer(const uint8_t* frame, size_t length, size_t capacity) = 0;
    // Called on every wake-up while updating.
    virtual void update_step() = 0;
};

}  // namespace tavrin
