#pragma once
// The virtual amplifier's 512-byte parameter block: offsets of the fields the
// commands touch, and the factory defaults a reset restores.
#include <array>
#include <cstddef>
#include <cstdint>

namespace tavrin::sim {

constexpr size_t amp_block_size = 512;
using amp_block = std::array<uint8_t, amp_block_size>;

// Firmware build date as kept in the last four block bytes.
struct firmware_date {
    uint8_t year = 0;  // year - 2000
    uint8_t month = 0;
    uint8_t day = 0;
    uint8_t hour = 0;
    bool operator==(const firmware_date&) const = default;
};

namespace amp_offset {
constexpr size_t master_volume = 0;
constexpr size_t gain_ch1 = 1;  // gain_ch2 follows
constexpr size_t mute = 3;
// Filters: per channel a 9-byte group (hpf enable, freq hi, freq lo, slope, lpf
// enable, freq hi, freq lo, slope, unused) starting here.
constexpr size_t filters_ch1 = 4;
constexpr size_t filters_ch2 = 13;
// EQ: per channel six arrays of five bytes (enable, gain, q hi, q lo, freq hi, freq lo).
constexpr size_t peq_ch1 = 22;
constexpr size_t peq_ch2 = 52;
constexpr size_t pbtl_mode = 82;
constexpr size_t power_source = 83;
// Per class (PoE, PoE+, PoE++): enable, then the low bytes of CH1, CH2, PBTL.
constexpr size_t poe_power_limit = 84;
constexpr size_t poeplus_power_limit = 88;
constexpr size_t poeplusplus_power_limit = 92;
// Per class: enable, threshold (25 mA), release (s).
constexpr size_t poe_current_limit = 96;
constexpr size_t poeplus_current_limit = 99;
constexpr size_t poeplusplus_current_limit = 102;
constexpr size_t match_gain_ch1 = 105;  // match_gain_ch2 follows
constexpr size_t limiter_8ohm_ch1 = 107;
constexpr size_t limiter_8ohm_ch2 = 117;
constexpr size_t limiter_4ohm_ch1 = 127;
constexpr size_t limiter_4ohm_ch2 = 137;
constexpr size_t speaker_impedance = 147;
constexpr size_t speaker_impedance_2 = 148;
constexpr size_t location = 149;
constexpr size_t location_size = 16;
constexpr size_t invert = 165;
constexpr size_t route = 166;
// High bytes of the power limits (CH1, CH2, PBTL) per class.
constexpr size_t poe_power_limit_hi = 167;
constexpr size_t poeplus_power_limit_hi = 170;
constexpr size_t poeplusplus_power_limit_hi = 173;
constexpr size_t firmware_date = 508;
}  // namespace amp_offset

// Offsets inside one 10-byte limiter block.
namespace limiter_field {
constexpr size_t threshold = 0;
constexpr size_t knee = 1;
constexpr size_t ratio = 2;
constexpr size_t attack = 4;
constexpr size_t release = 6;
constexpr size_t hold = 8;
}  // namespace limiter_field

constexpr uint16_t default_eq_freq[5] = {100, 300, 1000, 3000, 10000};

amp_block factory_block(firmware_date date);

firmware_date read_firmware_date(const amp_block& block);
void write_firmware_date(amp_block& block, firmware_date date);

uint16_t read_be16(const amp_block& block, size_t offset);
void write_be16(amp_block& block, size_t offset, uint16_t value);

// Offset of the limiter block the amplifier uses now for channel 1 or 2: the
// 4 ohm blocks when the speaker impedance is 4, the 8 ohm blocks otherwise.
size_t active_limiter(const amp_block& block, int channel);

}  // namespace tavrin::sim
