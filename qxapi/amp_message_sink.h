#pragma once
// Where the ConMon link hands every body a device sends, on the socket thread with
// the library lock held: the amplifier sessions' directory, which finds the session
// of the sender. `amp_vendor` says whether the body came with the amplifier maker's
// vendor id (the amplifier's Audinate bodies come through here too).
#include <cstddef>
#include <cstdint>

namespace tavrin {

class amp_message_sink {
  public:
    virtual ~amp_message_sink() = default;
    // `sender` is null when the library could not name the source.
    virtual void on_amp_message(const char* sender, const uint8_t* body, size_t size,
                                bool amp_vendor) = 0;
};

}  // namespace tavrin
