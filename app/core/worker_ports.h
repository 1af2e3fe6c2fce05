#pragma once
// What the communication worker calls out to: the sender below the ring, the answer
// parser above the mailbox, and the firmware update that borrows both.
#include <cstddef>
#include <cstdint>

namespace tavrin {

class frame_sender {
  public:
    virtual ~frame_sender() = default;
    virtual void send_frame(const uint8_t* frame, size_t size) = 0;
};

class answer_handler {
  public:
    virtual ~answer_handler() = default;
    virtual void parse_answer(const uint8_t* buffer, size_t length) = 0;
    // Zeroes amp_params so that the next full answer counts as changed.
    virtual void clear_params() = 0;
};

class update_procedure {
  public:
    virtual ~update_procedure() = default;
    // One answer taken from the mailbox while update_mode holds; `capacity` is the
    // size of the buffer behind `frame`.
    virtual void update_on_answer(const uint8_t* frame, size_t length, size_t capacity) = 0;
    // Called on every wake-up while update_mode holds.
    virtual void update_step() = 0;
};

}  // namespace tavrin
