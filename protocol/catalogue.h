#pragma once
// Every command the tool sends, one builder each. Commands for ring_push come back
// as amp_command; the prebuilt frames for ring_put_frame as complete frame bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "protocol/amp_params.h"

namespace tavrin {

struct amp_command {
    uint8_t code = 0;
    uint8_t unit = 0;
    std::vector<uint8_t> data;

    bool operator==(const amp_command&) const = default;
};

using frame_bytes = std::vector<uint8_t>;

// The complete frame of a command (sync to checksum).
frame_bytes frame_of(const amp_command& command);

namespace cmd {

// 0xE3: read all parameters.
amp_command poll();

// 0x08: master volume (0-50) with the current mute bit; the mute box alone.
amp_command master_volume(uint8_t volume, bool muted);
amp_command mute(bool muted);

// 0x0A: output gain (0-250) of one channel, the other left unchanged.
amp_command output_gain(amp_channel ch, uint8_t gain);

// 0x07 family.
amp_command route(uint8_t route);  // 0 Bypass, 1 CH 1, 2 CH 2, 3 Mixed, 4 Swap
amp_command pbtl(bool on);
amp_command power_source(bool manual, uint8_t power_class);
amp_command find_me();

// 0x29: output polarity.
amp_command polarity(bool inverted);

// 0x10: dB match gain in tenths of a dB (-100 to +100).
amp_command match_gain(amp_channel ch, int8_t tenths_db);

// 0x2C: one grouped setting.
amp_command grouped(uint8_t group, uint8_t item, uint8_t index, uint16_t value);
// The group byte of a power set (DC In uses the PoE++ group).
uint8_t power_group(power_set set);

amp_command limiter_threshold(amp_channel ch, uint8_t code);   // dB + 90
amp_command limiter_ratio(amp_channel ch, uint16_t ratio100);  // ratio * 100
amp_command limiter_attack(amp_channel ch, uint16_t ms);
amp_command limiter_release(amp_channel ch, uint16_t ms);
amp_command limiter_hold(amp_channel ch, uint16_t ms);
amp_command limiter_knee(amp_channel ch, uint16_t knee);
// The limiter item of a block field, for pages that edit one at a time.
amp_command limiter_setting(amp_channel ch, limiter_item item, uint16_t value);

amp_command power_limit(power_set set, limit_slot slot, uint16_t tenths_watt);
amp_command power_limit_enable(power_set set, bool pbtl, bool on);
amp_command current_limit_threshold(power_set set, uint16_t units_25ma);
amp_command current_limit_release(power_set set, uint16_t seconds);
amp_command current_limit_enable(power_set set, bool on);
amp_command speaker_impedance(uint8_t ohms);

// 0x22: a high- or low-pass filter. Unset fields are sent as "unchanged".
struct filter_change {
    bool enable = false;
    std::optional<uint16_t> freq;  // Hz, 15 bits
    std::optional<uint8_t> slope;  // slope code 0-4
};
amp_command filter(amp_channel ch, filter_kind kind, const filter_change& change);

// 0x4A: one parametric-equaliser band (0-4).
struct eq_change {
    bool enable = false;
    std::optional<uint8_t> gain;   // dB * 2 + 40
    std::optional<uint16_t> freq;  // Hz, 15 bits
    std::optional<uint16_t> q;     // Q * 100
};
amp_command eq_band(amp_channel ch, uint8_t band, const eq_change& change);

// 0xC4: up to 16 bytes of location text, zero-padded (cut at a character boundary).
amp_command location(std::string_view text);

// 0x34: load defaults and restart.
amp_command factory_reset();

}  // namespace cmd

namespace frames {

// 0xE3 write of a whole parameter block (520 bytes).
frame_bytes parameter_write(const param_block& block);

// Firmware update.
constexpr size_t firmware_block_size = 256;
frame_bytes fw_resume_query();
frame_bytes fw_start();
// `bytes` holds firmware_block_size image bytes.
frame_bytes fw_block(uint16_t index, const uint8_t* bytes);
frame_bytes fw_end_marker();
frame_bytes fw_checksum_query();
frame_bytes fw_version_write(const std::array<uint8_t, 4>& version);
frame_bytes fw_finish();

}  // namespace frames

}  // namespace tavrin
