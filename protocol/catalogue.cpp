#include "protocol/catalogue.h"

#include <algorithm>

#include "protocol/frame.h"

namespace tavrin {
namespace {

constexpr uint8_t unit_setting = 0x10;
constexpr uint8_t unit_query = 0x11;
constexpr uint8_t unit_system = 0x01;
constexpr uint8_t unchanged = 0xFF;
constexpr uint8_t unchanged7 = 0x7F;
// Bit 0 of the sending page's initialised flag, always set when a page sends.
constexpr uint8_t page_ready = 0x01;

constexpr uint8_t group_limiter = 3;
constexpr uint8_t group_speaker = 4;

uint8_t ch_byte(amp_channel ch) {
    return static_cast<uint8_t>(ch);
}
uint8_t hi(uint16_t v) {
    return static_cast<uint8_t>(v >> 8);
}
uint8_t lo(uint16_t v) {
    return static_cast<uint8_t>(v);
}

// A flag in bit 7 over the high 7 bits of a 15-bit frequency (0x7F = unchanged).
uint8_t flag_and_high(bool flag, const std::optional<uint16_t>& freq) {
    const uint8_t high = freq ? static_cast<uint8_t>((*freq >> 8) & 0x7F) : unchanged7;
    return static_cast<uint8_t>((flag ? 0x80 : 0x00) | high);
}

uint8_t limiter_item_code(limiter_item item) {
    switch (item) {
        case limiter_item::threshold:
            return 0x01;
        case limiter_item::ratio:
            return 0x02;
        case limiter_item::attack:
            return 0x04;
        case limiter_item::release:
            return 0x08;
        case limiter_item::hold:
            return 0x10;
        case limiter_item::knee:
            return 0x20;
    }
    return 0;
}

frame_bytes make_frame(uint8_t code, uint8_t unit, const uint8_t* data, size_t count) {
    frame_bytes out(count + frame_overhead);
    out.resize(build_frame(code, unit, data, count, out.data(), out.size()));
    return out;
}

frame_bytes make_frame(uint8_t code, uint8_t unit, std::initializer_list<uint8_t> data) {
    return make_frame(code, unit, data.begin(), data.size());
}

}  // namespace

frame_bytes frame_of(const amp_command& command) {
    return make_frame(command.code, command.unit, command.data.data(), command.data.size());
}

namespace cmd {

amp_command poll() {
    return {0xE3, unit_query, {0x01}};
}

amp_command master_volume(uint8_t volume, bool muted) {
    return {0x08,
            unit_setting,
            {static_cast<uint8_t>((muted ? 0x80 : 0x00) | (volume & 0x7F)), unchanged}};
}

amp_command mute(bool muted) {
    return {0x08, unit_setting, {static_cast<uint8_t>(muted ? 0xFF : 0x7F), unchanged}};
}

amp_command output_gain(amp_channel ch, uint8_t gain) {
    const bool two = ch == amp_channel::ch2;
    return {0x0A,
            unit_setting,
            {page_ready, page_ready, two ? unchanged : gain, two ? gain : unchanged}};
}

amp_command route(uint8_t route) {
    return {0x07, unit_setting, {0x06, route}};
}

amp_command pbtl(bool on) {
    return {0x07, unit_setting, {0xA0, 0x00, 0x00, 0x00, static_cast<uint8_t>(on ? 1 : 0)}};
}

amp_command power_source(bool manual, uint8_t power_class) {
    return {
        0x07, unit_setting, {0xA1, static_cast<uint8_t>(manual ? 1 : 0), power_class, 0x00, 0x00}};
}

amp_command find_me() {
    return {0x07, unit_setting, {0xF0, 0x01}};
}

amp_command polarity(bool inverted) {
    return {
        0x29, unit_setting, {page_ready, page_ready, 0x02, static_cast<uint8_t>(inverted ? 1 : 0)}};
}

amp_command match_gain(amp_channel ch, int8_t tenths_db) {
    return {0x10, unit_setting, {0x01, ch_byte(ch), static_cast<uint8_t>(tenths_db)}};
}

amp_command grouped(uint8_t group, uint8_t item, uint8_t index, uint16_t value) {
    return {0x2C, unit_setting, {group, item, index, hi(value), lo(value)}};
}

uint8_t power_group(power_set set) {
    switch (set) {
        case power_set::poe:
            return 1;
        case power_set::poeplus:
            return 2;
        case power_set::poeplusplus:
            return 5;
    }
    return 5;
}

amp_command limiter_setting(amp_channel ch, limiter_item item, uint16_t value) {
    return grouped(group_limiter, limiter_item_code(item), ch_byte(ch), value);
}

amp_command limiter_threshold(amp_channel ch, uint8_t code) {
    return limiter_setting(ch, limiter_item::threshold, code);
}
amp_command limiter_ratio(amp_channel ch, uint16_t ratio100) {
    return limiter_setting(ch, limiter_item::ratio, ratio100);
}
amp_command limiter_attack(amp_channel ch, uint16_t ms) {
    return limiter_setting(ch, limiter_item::attack, ms);
}
amp_command limiter_release(amp_channel ch, uint16_t ms) {
    return limiter_setting(ch, limiter_item::release, ms);
}
amp_command limiter_hold(amp_channel ch, uint16_t ms) {
    return limiter_setting(ch, limiter_item::hold, ms);
}
amp_command limiter_knee(amp_channel ch, uint16_t knee) {
    return limiter_setting(ch, limiter_item::knee, knee);
}

amp_command power_limit(power_set set, limit_slot slot, uint16_t tenths_watt) {
    // Stereo limits are item 1 index 1 or 2; the bridged limit is item 4 index 2.
    if (slot == limit_slot::pbtl)
        return grouped(power_group(set), 0x04, 2, tenths_watt);
    return grouped(power_group(set), 0x01, slot == limit_slot::ch2 ? 2 : 1, tenths_watt);
}

amp_command power_limit_enable(power_set set, bool pbtl, bool on) {
    return grouped(power_group(set), pbtl ? 0x04 : 0x01, 3, on ? 0x8000 : 0x0000);
}

amp_command current_limit_threshold(power_set set, uint16_t units_25ma) {
    return grouped(power_group(set), 0x02, 1, units_25ma);
}

amp_command current_limit_release(power_set set, uint16_t seconds) {
    return grouped(power_group(set), 0x02, 4, seconds);
}

amp_command current_limit_enable(power_set set, bool on) {
    return grouped(power_group(set), 0x02, 3, on ? 0x8000 : 0x0000);
}

amp_command speaker_impedance(uint8_t ohms) {
    return grouped(group_speaker, 0x01, 1, ohms);
}

amp_command filter(amp_channel ch, filter_kind kind, const filter_change& change) {
    return {0x22,
            unit_setting,
            {page_ready, page_ready, ch_byte(ch), static_cast<uint8_t>(kind),
             flag_and_high(change.enable, change.freq), change.freq ? lo(*change.freq) : unchanged,
             change.slope ? *change.slope : unchanged}};
}

amp_command eq_band(amp_channel ch, uint8_t band, const eq_change& change) {
    return {0x4A,
            unit_setting,
            {page_ready, page_ready, ch_byte(ch), unchanged, band, unchanged,
             change.gain ? *change.gain : unchanged, flag_and_high(change.enable, change.freq),
             change.freq ? lo(*change.freq) : unchanged, change.q ? hi(*change.q) : unchanged,
             change.q ? lo(*change.q) : unchanged}};
}

amp_command location(std::string_view text) {
    constexpr size_t width = 16;
    size_t n = std::min(text.size(), width);
    // Do not cut a multibyte character in half.
    if (n < text.size()) {
        while (n > 0 && (static_cast<uint8_t>(text[n]) & 0xC0) == 0x80)
            --n;
    }
    amp_command c{0xC4, unit_setting, std::vector<uint8_t>(width, 0)};
    std::copy(text.begin(), text.begin() + static_cast<long>(n), c.data.begin());
    return c;
}

amp_command factory_reset() {
    return {0x34, unit_system, {0xC0}};
}

}  // namespace cmd

namespace frames {

frame_bytes parameter_write(const param_block& block) {
    return make_frame(0xE3, unit_setting, block.data(), block.size());
}

frame_bytes fw_resume_query() {
    return make_frame(0xF8, unit_query, {0x00, 0x02});
}

frame_bytes fw_start() {
    return make_frame(0xF8, unit_setting, {0x00, 0x01, 0x00, 0x00, 0x00, 0x00});
}

frame_bytes fw_block(uint16_t index, const uint8_t* bytes) {
    std::vector<uint8_t> data{0x00, hi(index), lo(index), 0x08};
    data.insert(data.end(), bytes, bytes + firmware_block_size);
    return make_frame(0xF9, unit_setting, data.data(), data.size());
}

frame_bytes fw_end_marker() {
    return make_frame(0xF9, unit_setting, {0x00, 0xFF, 0xFF, 0x00});
}

frame_bytes fw_checksum_query() {
    return make_frame(0xF8, unit_query, {0x00, 0x00});
}

frame_bytes fw_version_write(const std::array<uint8_t, 4>& version) {
    return make_frame(0xF8, unit_setting,
                      {0x00, 0x01, version[0], version[1], version[2], version[3]});
}

frame_bytes fw_finish() {
    return make_frame(0xF0, unit_setting, {});
}

}  // namespace frames

}  // namespace tavrin
