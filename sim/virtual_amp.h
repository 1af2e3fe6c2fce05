#pragma once
// A virtual TAVRIN-PA22 without any network: it takes the bodies of ConMon
// control messages addressed to it and returns the bodies of the status
// messages it sends back. The lab's device-sim hosts one per amplifier.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/time_source.h"
#include "sim/amp_block.h"
#include "sim/amp_firmware.h"
#include "sim/amp_segments.h"

namespace tavrin::sim {

struct amp_config {
    firmware_date firmware{23, 6, 15, 10};
    uint32_t restart_ms = 3000;  // silence after a reset or a firmware install
};

enum class amp_fault {
    corrupt,     // every answer body carries a wrong checksum
    wrong_size,  // the poll is answered with 100 data bytes ending in the date
};

class virtual_amp {
  public:
    using random_source = std::function<uint32_t()>;
    using frame_observer = std::function<void(const uint8_t* frame, size_t size)>;

    // `random` picks transfer ids; by default a fixed-seed generator.
    explicit virtual_amp(time_source& clock, amp_config config = {}, random_source random = {});

    // One received body (a frame or one segment). Returns the bodies to send
    // back, in order; nothing while the amplifier restarts.
    std::vector<byte_vector> on_control_body(const uint8_t* body, size_t size);

    // Called with every frame received (segments joined first), for the wire log.
    // It runs outside the amplifier's lock and may not call back into it.
    void set_frame_observer(frame_observer observer);

    amp_block block() const;
    firmware_date firmware() const;
    // Sets the date bytes of the block, as the lab's "firmware" control does.
    void set_firmware_date(firmware_date date);

    void set_fault(amp_fault fault, bool on);
    bool fault(amp_fault fault) const;

    // True during the restart after a reset or a firmware install.
    bool is_silent(uint32_t now_ms) const;
    bool is_silent() const;

    unsigned identify_count() const;
    unsigned restart_count() const;
    size_t firmware_blocks_held() const;

  private:
    std::vector<byte_vector> handle_frame(const uint8_t* frame, size_t size);
    std::vector<byte_vector> poll_answer();
    std::vector<byte_vector> location_answer() const;
    void restart(uint32_t now_ms);
    bool silent_locked(uint32_t now_ms) const;
    void corrupt(std::vector<byte_vector>& bodies) const;

    time_source& clock_;
    const amp_config config_;
    random_source random_;

    mutable std::mutex mutex_;
    amp_block block_;
    bool corrupt_ = false;
    bool wrong_size_ = false;
    bool restarting_ = false;
    uint32_t restart_at_ = 0;
    unsigned identify_count_ = 0;
    unsigned restart_count_ = 0;
    segment_reassembler reassembler_;
    amp_firmware_receiver firmware_;
    frame_observer observer_;
};

}  // namespace tavrin::sim
