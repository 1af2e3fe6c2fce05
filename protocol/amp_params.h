#pragma once
// The 512-byte mirror of the amplifier's parameter block. Every field is named once
// in param_field_table; accessors go through that table, so no offset appears
// anywhere else. One lock covers every access, whole-block copies included.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

constexpr size_t amp_params_size = 512;
using param_block = std::array<uint8_t, amp_params_size>;

enum class field_encoding : uint8_t {
    u8,       // unsigned byte
    s8,       // signed byte
    be16,     // big-endian 16 bits
    text,     // zero-padded characters, not terminated when full
    limiter,  // one 10-byte input limiter block (limiter_item_table)
};

struct param_field_def {
    std::string_view name;
    uint16_t offset;
    uint8_t width;  // bytes per element
    uint8_t count;  // elements
    field_encoding encoding;
};

// Every named field of the block, once: name, offset, bytes per element, elements,
// encoding. Expanded into param_field and param_field_table below.
#define TAVRIN_PARAM_FIELDS(X)                      \
    X(master_volume, 0, 1, 1, u8)                   \
    X(gain_ch1, 1, 1, 1, u8)                        \
    X(gain_ch2, 2, 1, 1, u8)                        \
    X(mute, 3, 1, 1, u8)                            \
    X(hpf_ch1_enable, 4, 1, 1, u8)                  \
    X(hpf_ch1_freq, 5, 2, 1, be16)                  \
    X(hpf_ch1_slope, 7, 1, 1, u8)                   \
    X(lpf_ch1_enable, 8, 1, 1, u8)                  \
    X(lpf_ch1_freq, 9, 2, 1, be16)                  \
    X(lpf_ch1_slope, 11, 1, 1, u8)                  \
    X(hpf_ch2_enable, 13, 1, 1, u8)                 \
    X(hpf_ch2_freq, 14, 2, 1, be16)                 \
    X(hpf_ch2_slope, 16, 1, 1, u8)                  \
    X(lpf_ch2_enable, 17, 1, 1, u8)                 \
    X(lpf_ch2_freq, 18, 2, 1, be16)                 \
    X(lpf_ch2_slope, 20, 1, 1, u8)                  \
    X(peq_ch1_enable, 22, 1, 5, u8)                 \
    X(peq_ch1_gain, 27, 1, 5, u8)                   \
    X(peq_ch1_q_hi, 32, 1, 5, u8)                   \
    X(peq_ch1_q_lo, 37, 1, 5, u8)                   \
    X(peq_ch1_freq_hi, 42, 1, 5, u8)                \
    X(peq_ch1_freq_lo, 47, 1, 5, u8)                \
    X(peq_ch2_enable, 52, 1, 5, u8)                 \
    X(peq_ch2_gain, 57, 1, 5, u8)                   \
    X(peq_ch2_q_hi, 62, 1, 5, u8)                   \
    X(peq_ch2_q_lo, 67, 1, 5, u8)                   \
    X(peq_ch2_freq_hi, 72, 1, 5, u8)                \
    X(peq_ch2_freq_lo, 77, 1, 5, u8)                \
    X(pbtl_mode, 82, 1, 1, u8)                      \
    X(power_source, 83, 1, 1, u8)                   \
    X(poe_power_limit_enable, 84, 1, 1, u8)         \
    X(poe_power_limit_lo, 85, 1, 3, u8)             \
    X(poeplus_power_limit_enable, 88, 1, 1, u8)     \
    X(poeplus_power_limit_lo, 89, 1, 3, u8)         \
    X(poeplusplus_power_limit_enable, 92, 1, 1, u8) \
    X(poeplusplus_power_limit_lo, 93, 1, 3, u8)     \
    X(poe_current_limit, 96, 1, 3, u8)              \
    X(poeplus_current_limit, 99, 1, 3, u8)          \
    X(poeplusplus_current_limit, 102, 1, 3, u8)     \
    X(match_gain_ch1, 105, 1, 1, s8)                \
    X(match_gain_ch2, 106, 1, 1, s8)                \
    X(limiter_8ohm_ch1, 107, 10, 1, limiter)        \
    X(limiter_8ohm_ch2, 117, 10, 1, limiter)        \
    X(limiter_4ohm_ch1, 127, 10, 1, limiter)        \
    X(limiter_4ohm_ch2, 137, 10, 1, limiter)        \
    X(speaker_impedance, 147, 1, 1, u8)             \
    X(speaker_impedance_2, 148, 1, 1, u8)           \
    X(location, 149, 16, 1, text)                   \
    X(invert, 165, 1, 1, u8)                        \
    X(route, 166, 1, 1, u8)                         \
    X(poe_power_limit_hi, 167, 1, 3, u8)            \
    X(poeplus_power_limit_hi, 170, 1, 3, u8)        \
    X(poeplusplus_power_limit_hi, 173, 1, 3, u8)    \
    X(fw_year, 508, 1, 1, u8)                       \
    X(fw_month, 509, 1, 1, u8)                      \
    X(fw_day, 510, 1, 1, u8)                        \
    X(fw_hour, 511, 1, 1, u8)

enum class param_field : uint8_t {
#define TAVRIN_FIELD_ENUM(name, offset, width, count, encoding) name,
    TAVRIN_PARAM_FIELDS(TAVRIN_FIELD_ENUM)
#undef TAVRIN_FIELD_ENUM
};

// In the order of param_field.
inline constexpr param_field_def param_field_table[] = {
#define TAVRIN_FIELD_DEF(name, offset, width, count, encoding) \
    {#name, offset, width, count, field_encoding::encoding},
    TAVRIN_PARAM_FIELDS(TAVRIN_FIELD_DEF)
#undef TAVRIN_FIELD_DEF
};
inline constexpr size_t param_field_count = std::size(param_field_table);

// Items of one input limiter block, in the order of limiter_item_table.
enum class limiter_item : uint8_t { threshold, knee, ratio, attack, release, hold };
inline constexpr std::array<param_field_def, 6> limiter_item_table{{
    {"threshold", 0, 1, 1, field_encoding::u8},
    {"knee", 1, 1, 1, field_encoding::u8},
    {"ratio", 2, 2, 1, field_encoding::be16},
    {"attack", 4, 2, 1, field_encoding::be16},
    {"release", 6, 2, 1, field_encoding::be16},
    {"hold", 8, 2, 1, field_encoding::be16},
}};

// The table is the single source of offsets: fields stay inside the block, in
// ascending order, without overlapping.
constexpr bool fields_are_disjoint() {
    size_t end = 0;
    for (const auto& f : param_field_table) {
        if (f.offset < end)
            return false;
        end = size_t{f.offset} + size_t{f.width} * f.count;
    }
    return end <= amp_params_size;
}
static_assert(fields_are_disjoint());
static_assert(param_field_table[param_field_count - 1].offset == 511);
static_assert(static_cast<size_t>(param_field::fw_hour) + 1 == param_field_count);

constexpr const param_field_def& field_def(param_field f) {
    return param_field_table[static_cast<size_t>(f)];
}

enum class amp_channel : uint8_t { ch1 = 1, ch2 = 2 };
enum class filter_kind : uint8_t { high_pass = 1, low_pass = 2 };
// The three power-limit and current-limit sets; DC In uses the PoE++ set.
enum class power_set : uint8_t { poe, poeplus, poeplusplus };
enum class limit_slot : uint8_t { ch1, ch2, pbtl };
enum class limiter_set : uint8_t { ohm8, ohm4 };

// power_source bits 0-6: 0 PoE, 1 PoE+, 2 PoE++, 3 DC In.
power_set power_set_for_class(uint8_t power_class);
// Stored slope: 1-4 = 18-36 dB/oct; anything else is 12 dB/oct (code 0).
uint8_t slope_code_of(uint8_t stored);

struct filter_settings {
    uint8_t enable = 0;
    uint16_t freq = 0;
    uint8_t slope = 0;
};

struct peq_band {
    uint8_t enable = 0;
    uint8_t gain = 0;   // dB * 2 + 40
    uint16_t q = 0;     // Q * 100
    uint16_t freq = 0;  // Hz
};

struct current_limit {
    uint8_t enable = 0;
    uint8_t threshold = 0;  // 25 mA units
    uint8_t release = 0;    // seconds
};

struct limiter_settings {
    uint8_t threshold = 0;  // dB + 90
    uint8_t knee = 0;
    uint16_t ratio = 0;  // ratio * 100
    uint16_t attack = 0;
    uint16_t release = 0;
    uint16_t hold = 0;
};

// One named field and its decoded value(s), for listings.
struct field_value {
    std::string name;
    uint16_t offset = 0;
    std::vector<int> values;  // one per element; empty for text
    std::string text;         // text fields only, cut at the first zero
    bool is_text = false;
};

class amp_params {
  public:
    // Whole-block access.
    param_block snapshot() const;
    void replace(const param_block& block);
    // Copies `bytes` (512) in unless they already equal the block; returns whether
    // the block changed.
    bool replace_if_different(const uint8_t* bytes);
    void clear_params();

    // Pages reload from the block when this is set, and clear it.
    void mark_changed() { record_changed_.store(true); }
    bool record_changed() const { return record_changed_.load(); }
    void clear_record_changed() { record_changed_.store(false); }
    bool take_record_changed() { return record_changed_.exchange(false); }

    // Generic access by field; `index` selects an array element. Out-of-range
    // indexes read 0 and write nothing.
    int get(param_field f, size_t index = 0) const;
    void set(param_field f, int value, size_t index = 0);

    // Every named field with its value, from one consistent copy.
    std::vector<field_value> list_fields() const;

    // Typed accessors.
    uint8_t master_volume() const { return u(param_field::master_volume); }
    void set_master_volume(uint8_t v) { set(param_field::master_volume, v); }
    uint8_t gain(amp_channel ch) const;
    void set_gain(amp_channel ch, uint8_t v);
    uint8_t gain_ch1() const { return gain(amp_channel::ch1); }
    uint8_t gain_ch2() const { return gain(amp_channel::ch2); }
    bool mute() const { return u(param_field::mute) == 1; }
    void set_mute(bool on) { set(param_field::mute, on ? 1 : 0); }

    filter_settings filter(amp_channel ch, filter_kind kind) const;
    void set_filter(amp_channel ch, filter_kind kind, const filter_settings& s);

    peq_band peq(amp_channel ch, size_t band) const;  // band 0-4
    void set_peq(amp_channel ch, size_t band, const peq_band& b);

    bool pbtl_mode() const { return u(param_field::pbtl_mode) != 0; }
    void set_pbtl_mode(bool on) { set(param_field::pbtl_mode, on ? 1 : 0); }
    uint8_t power_source() const { return u(param_field::power_source); }
    void set_power_source(uint8_t v) { set(param_field::power_source, v); }
    uint8_t power_class() const { return power_source() & 0x7F; }
    bool power_class_manual() const { return (power_source() & 0x80) != 0; }

    uint8_t power_limit_enable(power_set set) const;
    void set_power_limit_enable(power_set set, uint8_t v);
    // hi * 256 + lo, in 0.1 W.
    uint16_t power_limit(power_set set, limit_slot slot) const;
    void set_power_limit(power_set set, limit_slot slot, uint16_t tenths_watt);

    current_limit current_limit_of(power_set set) const;
    void set_current_limit(power_set set, const current_limit& c);

    int8_t match_gain(amp_channel ch) const;
    void set_match_gain(amp_channel ch, int8_t tenths_db);

    limiter_settings limiter(limiter_set set, amp_channel ch) const;
    void set_limiter(limiter_set set, amp_channel ch, const limiter_settings& s);
    uint16_t limiter_value(limiter_set set, amp_channel ch, limiter_item item) const;
    void set_limiter_value(limiter_set set, amp_channel ch, limiter_item item, uint16_t v);
    // The blocks that apply: 4 ohm when speaker_impedance is 4, 8 ohm otherwise.
    limiter_set active_limiter_set() const;

    uint8_t speaker_impedance() const { return u(param_field::speaker_impedance); }
    void set_speaker_impedance(uint8_t v) { set(param_field::speaker_impedance, v); }
    uint8_t speaker_impedance_2() const { return u(param_field::speaker_impedance_2); }
    void set_speaker_impedance_2(uint8_t v) { set(param_field::speaker_impedance_2, v); }

    // The raw 16 location bytes, and as text cut at the first zero.
    std::array<uint8_t, 16> location_bytes() const;
    std::string location() const;
    // Stores up to 16 bytes and zero-pads the rest.
    void set_location(const uint8_t* bytes, size_t n);

    bool invert() const { return u(param_field::invert) != 0; }
    void set_invert(bool on) { set(param_field::invert, on ? 1 : 0); }
    uint8_t route() const { return u(param_field::route); }
    void set_route(uint8_t v) { set(param_field::route, v); }

    uint8_t fw_year() const { return u(param_field::fw_year); }
    uint8_t fw_month() const { return u(param_field::fw_month); }
    uint8_t fw_day() const { return u(param_field::fw_day); }
    uint8_t fw_hour() const { return u(param_field::fw_hour); }
    void set_fw_date(uint8_t year, uint8_t month, uint8_t day, uint8_t hour);

  private:
    uint8_t u(param_field f, size_t index = 0) const { return static_cast<uint8_t>(get(f, index)); }

    mutable std::mutex mutex_;
    param_block block_{};
    std::atomic<bool> record_changed_{false};
};

// The amplifier's firmware build date as one number:
// year * 8760 + month * 720 + day * 24 + hour.
constexpr uint32_t firmware_date_value(uint8_t year, uint8_t month, uint8_t day, uint8_t hour) {
    return ((uint32_t{year} * 365 + uint32_t{month} * 30 + day) * 24) + hour;
}
// Firmware built at or before 21-11-17 hour 0 is too old for this tool.
constexpr uint32_t min_firmware_date = 192289;
// The block of a full parameter answer: data bytes + 1.
constexpr uint16_t full_parameter_length = amp_params_size + 1;

// Decodes one field from a whole block (used by listings and by code holding a copy).
int field_value_in(const param_block& block, param_field f, size_t index = 0);

}  // namespace tavrin
