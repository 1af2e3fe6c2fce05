#include "sim/amp_commands.h"

#include <algorithm>

namespace tavrin::sim {

namespace {

constexpr uint8_t unchanged = 0xFF;
constexpr uint8_t unchanged7 = 0x7F;

bool valid_channel(uint8_t ch) {
    return ch == 1 || ch == 2;
}

void set_if(amp_block& b, size_t at, uint8_t value) {
    if (value != unchanged)
        b[at] = value;
}

// A 15-bit frequency whose high byte carries an on/off flag in bit 7: the flag
// always applies, 0x7F / 0xFF leave the frequency bytes as they are.
void set_flagged_freq(amp_block& b, size_t enable_at, size_t hi_at, size_t lo_at,
                      uint8_t flagged_hi, uint8_t lo) {
    b[enable_at] = (flagged_hi & 0x80) ? 1 : 0;
    if ((flagged_hi & 0x7F) != unchanged7)
        b[hi_at] = flagged_hi & 0x7F;
    set_if(b, lo_at, lo);
}

command_result master_volume(amp_block& b, const uint8_t* d, size_t n) {
    if (n != 2)
        return command_result::rejected;
    b[amp_offset::mute] = (d[0] & 0x80) ? 1 : 0;
    if ((d[0] & 0x7F) != unchanged7)
        b[amp_offset::master_volume] = d[0] & 0x7F;
    return command_result::applied;
}

command_result output_gain(amp_block& b, const uint8_t* d, size_t n) {
    if (n != 4)
        return command_result::rejected;
    set_if(b, amp_offset::gain_ch1, d[2]);
    set_if(b, amp_offset::gain_ch1 + 1, d[3]);
    return command_result::applied;
}

// Code 0x07 carries four commands told apart by the first data byte.
command_result output_setting(amp_block& b, const uint8_t* d, size_t n) {
    if (n < 1)
        return command_result::rejected;
    switch (d[0]) {
        case 0x06:
            if (n != 2)
                return command_result::rejected;
            b[amp_offset::route] = d[1];
            return command_result::applied;
        case 0xA0:
            if (n != 5)
                return command_result::rejected;
            b[amp_offset::pbtl_mode] = d[4];
            return command_result::applied;
        case 0xA1:
            if (n != 5)
                return command_result::rejected;
            b[amp_offset::power_source] =
                static_cast<uint8_t>((d[1] ? 0x80 : 0x00) | (d[2] & 0x7F));
            return command_result::applied;
        case 0xF0:
            if (n != 2)
                return command_result::rejected;
            return command_result::identify;
        default:
            return command_result::rejected;
    }
}

command_result polarity(amp_block& b, const uint8_t* d, size_t n) {
    if (n != 4)
        return command_result::rejected;
    b[amp_offset::invert] = d[3];
    return command_result::applied;
}

// The channel is named, so every byte value is a gain: 0xFF is -0.1 dB here.
command_result match_gain(amp_block& b, const uint8_t* d, size_t n) {
    if (n != 3 || !valid_channel(d[1]))
        return command_result::rejected;
    b[amp_offset::match_gain_ch1 + d[1] - 1] = d[2];
    return command_result::applied;
}

command_result limiter_setting(amp_block& b, uint8_t item, uint8_t ch, uint16_t value) {
    if (!valid_channel(ch))
        return command_result::rejected;
    const size_t at = active_limiter(b, ch);
    const auto low = static_cast<uint8_t>(value & 0xFF);
    switch (item) {
        case 0x01:
            b[at + limiter_field::threshold] = low;
            break;
        case 0x02:
            write_be16(b, at + limiter_field::ratio, value);
            break;
        case 0x04:
            write_be16(b, at + limiter_field::attack, value);
            break;
        case 0x08:
            write_be16(b, at + limiter_field::release, value);
            break;
        case 0x10:
            write_be16(b, at + limiter_field::hold, value);
            break;
        case 0x20:
            b[at + limiter_field::knee] = low;
            break;
        default:
            return command_result::rejected;
    }
    return command_result::applied;
}

struct power_class_offsets {
    size_t limit;     // enable, then CH1, CH2, PBTL low bytes
    size_t limit_hi;  // CH1, CH2, PBTL high bytes
    size_t current;   // enable, threshold, release
};

void set_limit(amp_block& b, const power_class_offsets& c, size_t which, uint16_t value) {
    b[c.limit + 1 + which] = static_cast<uint8_t>(value & 0xFF);
    b[c.limit_hi + which] = static_cast<uint8_t>(value >> 8);
}

command_result power_setting(amp_block& b, const power_class_offsets& c, uint8_t item,
                             uint8_t index, const uint8_t* value) {
    const auto v16 = static_cast<uint16_t>(value[0] << 8 | value[1]);
    const uint8_t on = (value[0] & 0x80) ? 1 : 0;
    if (item == 0x01 && (index == 1 || index == 2)) {
        set_limit(b, c, index - 1, v16);
    } else if ((item == 0x01 || item == 0x04) && index == 3) {
        b[c.limit] = on;  // one switch for stereo and bridged limits
    } else if (item == 0x04 && index == 2) {
        set_limit(b, c, 2, v16);
    } else if (item == 0x02 && index == 1) {
        b[c.current + 1] = value[1];
    } else if (item == 0x02 && index == 3) {
        b[c.current] = on;
    } else if (item == 0x02 && index == 4) {
        b[c.current + 2] = value[1];
    } else {
        return command_result::rejected;
    }
    return command_result::applied;
}

command_result grouped_setting(amp_block& b, const uint8_t* d, size_t n) {
    if (n != 5)
        return command_result::rejected;
    const uint8_t group = d[0], item = d[1], index = d[2];
    switch (group) {
        case 1:
            return power_setting(b,
                                 {amp_offset::poe_power_limit, amp_offset::poe_power_limit_hi,
                                  amp_offset::poe_current_limit},
                                 item, index, d + 3);
        case 2:
            return power_setting(
                b,
                {amp_offset::poeplus_power_limit, amp_offset::poeplus_power_limit_hi,
                 amp_offset::poeplus_current_limit},
                item, index, d + 3);
        case 5:
            return power_setting(
                b,
                {amp_offset::poeplusplus_power_limit, amp_offset::poeplusplus_power_limit_hi,
                 amp_offset::poeplusplus_current_limit},
                item, index, d + 3);
        case 3:
            return limiter_setting(b, item, index, static_cast<uint16_t>(d[3] << 8 | d[4]));
        case 4:
            if (item != 0x01 || index != 1)
                return command_result::rejected;
            b[amp_offset::speaker_impedance] = d[4];
            b[amp_offset::speaker_impedance_2] = d[4];
            return command_result::applied;
        default:
            return command_result::rejected;
    }
}

// Per channel: hpf enable, freq hi, freq lo, slope, then the same for the lpf.
command_result filter(amp_block& b, const uint8_t* d, size_t n) {
    if (n != 7 || !valid_channel(d[2]) || (d[3] != 1 && d[3] != 2)) {
        return command_result::rejected;
    }
    const size_t base = d[2] == 1 ? amp_offset::filters_ch1 : amp_offset::filters_ch2;
    const size_t at = base + (d[3] == 1 ? 0 : 4);
    set_flagged_freq(b, at, at + 1, at + 2, d[4], d[5]);
    set_if(b, at + 3, d[6]);
    return command_result::applied;
}

command_result eq_band(amp_block& b, const uint8_t* d, size_t n) {
    if (n != 11 || !valid_channel(d[2]) || d[4] > 4)
        return command_result::rejected;
    const size_t base = d[2] == 1 ? amp_offset::peq_ch1 : amp_offset::peq_ch2;
    const size_t band = d[4];
    set_if(b, base + 5 + band, d[6]);
    set_flagged_freq(b, base + band, base + 20 + band, base + 25 + band, d[7], d[8]);
    set_if(b, base + 10 + band, d[9]);
    set_if(b, base + 15 + band, d[10]);
    return command_result::applied;
}

command_result location(amp_block& b, const uint8_t* d, size_t n) {
    if (n != amp_offset::location_size)
        return command_result::rejected;
    std::copy(d, d + n, b.begin() + amp_offset::location);
    return command_result::applied;
}

}  // namespace

command_result apply_command(amp_block& block, uint8_t code, const uint8_t* data, size_t count) {
    if (count > 0 && data == nullptr)
        return command_result::rejected;
    switch (code) {
        case 0x08:
            return master_volume(block, data, count);
        case 0x0A:
            return output_gain(block, data, count);
        case 0x07:
            return output_setting(block, data, count);
        case 0x29:
            return polarity(block, data, count);
        case 0x10:
            return match_gain(block, data, count);
        case 0x2C:
            return grouped_setting(block, data, count);
        case 0x22:
            return filter(block, data, count);
        case 0x4A:
            return eq_band(block, data, count);
        case 0xC4:
            return location(block, data, count);
        default:
            return command_result::unknown;
    }
}

}  // namespace tavrin::sim
