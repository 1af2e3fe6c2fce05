#include "sim/amp_block.h"

namespace tavrin::sim {

namespace {

void write_filters(amp_block& b, size_t at) {
    b[at + 0] = 0;  // high-pass off at 20 Hz, 24 dB/oct
    b[at + 1] = 0;
    b[at + 2] = 20;
    b[at + 3] = 2;
    b[at + 4] = 0;  // low-pass off at 20 kHz, 24 dB/oct
    b[at + 5] = 20000 >> 8;
    b[at + 6] = 20000 & 0xFF;
    b[at + 7] = 2;
}

void write_eq(amp_block& b, size_t at) {
    for (size_t band = 0; band < 5; ++band) {
        b[at + band] = 0;                // off
        b[at + 5 + band] = 40;           // 0 dB
        b[at + 10 + band] = 141 >> 8;    // Q 1.41
        b[at + 15 + band] = 141 & 0xFF;  //
        b[at + 20 + band] = static_cast<uint8_t>(default_eq_freq[band] >> 8);
        b[at + 25 + band] = static_cast<uint8_t>(default_eq_freq[band] & 0xFF);
    }
}

void write_limiter(amp_block& b, size_t at) {
    b[at + limiter_field::threshold] = 90;  // 0 dB
    b[at + limiter_field::knee] = 10;
    write_be16(b, at + limiter_field::ratio, 1000);  // 1:10
    write_be16(b, at + limiter_field::attack, 10);
    write_be16(b, at + limiter_field::release, 200);
    write_be16(b, at + limiter_field::hold, 50);
}

// Power limits in 0.1 W for CH1, CH2 and PBTL, per class.
void write_power_class(amp_block& b, size_t enable_at, size_t hi_at, const uint16_t (&limits)[3]) {
    b[enable_at] = 0;
    for (size_t i = 0; i < 3; ++i) {
        b[enable_at + 1 + i] = static_cast<uint8_t>(limits[i] & 0xFF);
        b[hi_at + i] = static_cast<uint8_t>(limits[i] >> 8);
    }
}

void write_current_class(amp_block& b, size_t at, uint8_t threshold) {
    b[at] = 0;
    b[at + 1] = threshold;
    b[at + 2] = 5;  // seconds
}

}  // namespace

amp_block factory_block(firmware_date date) {
    amp_block b{};
    b[amp_offset::master_volume] = 30;
    b[amp_offset::gain_ch1] = 250;
    b[amp_offset::gain_ch1 + 1] = 250;
    b[amp_offset::mute] = 0;
    write_filters(b, amp_offset::filters_ch1);
    write_filters(b, amp_offset::filters_ch2);
    write_eq(b, amp_offset::peq_ch1);
    write_eq(b, amp_offset::peq_ch2);
    b[amp_offset::pbtl_mode] = 0;
    b[amp_offset::power_source] = 2;  // PoE++, detected automatically
    write_power_class(b, amp_offset::poe_power_limit, amp_offset::poe_power_limit_hi,
                      {50, 50, 100});
    write_power_class(b, amp_offset::poeplus_power_limit, amp_offset::poeplus_power_limit_hi,
                      {100, 100, 200});
    write_power_class(b, amp_offset::poeplusplus_power_limit,
                      amp_offset::poeplusplus_power_limit_hi, {300, 300, 300});
    write_current_class(b, amp_offset::poe_current_limit, 14);
    write_current_class(b, amp_offset::poeplus_current_limit, 24);
    write_current_class(b, amp_offset::poeplusplus_current_limit, 72);
    write_limiter(b, amp_offset::limiter_8ohm_ch1);
    write_limiter(b, amp_offset::limiter_8ohm_ch2);
    write_limiter(b, amp_offset::limiter_4ohm_ch1);
    write_limiter(b, amp_offset::limiter_4ohm_ch2);
    b[amp_offset::speaker_impedance] = 8;
    b[amp_offset::speaker_impedance_2] = 8;
    b[amp_offset::invert] = 0;
    b[amp_offset::route] = 0;
    write_firmware_date(b, date);
    return b;
}

firmware_date read_firmware_date(const amp_block& block) {
    const size_t at = amp_offset::firmware_date;
    return {block[at], block[at + 1], block[at + 2], block[at + 3]};
}

void write_firmware_date(amp_block& block, firmware_date date) {
    const size_t at = amp_offset::firmware_date;
    block[at] = date.year;
    block[at + 1] = date.month;
    block[at + 2] = date.day;
    block[at + 3] = date.hour;
}

uint16_t read_be16(const amp_block& block, size_t offset) {
    return static_cast<uint16_t>(block[offset] << 8 | block[offset + 1]);
}

void write_be16(amp_block& block, size_t offset, uint16_t value) {
    block[offset] = static_cast<uint8_t>(value >> 8);
    block[offset + 1] = static_cast<uint8_t>(value & 0xFF);
}

size_t active_limiter(const amp_block& block, int channel) {
    const bool four_ohm = block[amp_offset::speaker_impedance] == 4;
    if (channel == 2)
        return four_ohm ? amp_offset::limiter_4ohm_ch2 : amp_offset::limiter_8ohm_ch2;
    return four_ohm ? amp_offset::limiter_4ohm_ch1 : amp_offset::limiter_8ohm_ch1;
}

}  // namespace tavrin::sim
