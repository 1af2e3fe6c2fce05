#include "protocol/amp_params.h"

#include <algorithm>
#include <cstring>

namespace tavrin {
namespace {

size_t channel_index(amp_channel ch) {
    return ch == amp_channel::ch2 ? 1 : 0;
}

int decode(const uint8_t* at, field_encoding encoding) {
    switch (encoding) {
        case field_encoding::s8:
            return static_cast<int8_t>(at[0]);
        case field_encoding::be16:
            return (at[0] << 8) | at[1];
        default:
            return at[0];
    }
}

void encode(uint8_t* at, field_encoding encoding, int value) {
    if (encoding == field_encoding::be16) {
        at[0] = static_cast<uint8_t>(value >> 8);
        at[1] = static_cast<uint8_t>(value);
    } else {
        at[0] = static_cast<uint8_t>(value);
    }
}

// Position of element `index` of a field, or -1 when the index is out of range.
long element_offset(const param_field_def& def, size_t index) {
    if (index >= def.count)
        return -1;
    return static_cast<long>(def.offset + index * def.width);
}

// Writes one element of a field into a block; text and limiter fields have their
// own writers.
void put(param_block& block, param_field f, int value, size_t index = 0) {
    const auto& def = field_def(f);
    const long at = element_offset(def, index);
    if (at < 0 || def.encoding == field_encoding::text || def.encoding == field_encoding::limiter) {
        return;
    }
    encode(block.data() + at, def.encoding, value);
}

// The composite accessors below step through consecutive fields.
static_assert(static_cast<int>(param_field::hpf_ch1_slope) -
                  static_cast<int>(param_field::hpf_ch1_enable) ==
              2);
static_assert(static_cast<int>(param_field::lpf_ch2_slope) -
                  static_cast<int>(param_field::lpf_ch2_enable) ==
              2);
static_assert(static_cast<int>(param_field::peq_ch1_freq_lo) -
                  static_cast<int>(param_field::peq_ch1_enable) ==
              5);
static_assert(static_cast<int>(param_field::peq_ch2_freq_lo) -
                  static_cast<int>(param_field::peq_ch2_enable) ==
              5);

param_field filter_field(amp_channel ch, filter_kind kind, int part) {
    // part 0 enable, 1 freq, 2 slope; the four filters are consecutive triples.
    static constexpr param_field first[2][2] = {
        {param_field::hpf_ch1_enable, param_field::lpf_ch1_enable},
        {param_field::hpf_ch2_enable, param_field::lpf_ch2_enable}};
    const auto base = first[channel_index(ch)][kind == filter_kind::low_pass ? 1 : 0];
    return static_cast<param_field>(static_cast<int>(base) + part);
}

param_field peq_field(amp_channel ch, int part) {
    // part 0 enable, 1 gain, 2 q_hi, 3 q_lo, 4 freq_hi, 5 freq_lo.
    const auto base =
        ch == amp_channel::ch2 ? param_field::peq_ch2_enable : param_field::peq_ch1_enable;
    return static_cast<param_field>(static_cast<int>(base) + part);
}

param_field power_field(power_set set, int part) {
    // part 0 enable, 1 lo, 2 hi, 3 current limit.
    static constexpr param_field fields[3][4] = {
        {param_field::poe_power_limit_enable, param_field::poe_power_limit_lo,
         param_field::poe_power_limit_hi, param_field::poe_current_limit},
        {param_field::poeplus_power_limit_enable, param_field::poeplus_power_limit_lo,
         param_field::poeplus_power_limit_hi, param_field::poeplus_current_limit},
        {param_field::poeplusplus_power_limit_enable, param_field::poeplusplus_power_limit_lo,
         param_field::poeplusplus_power_limit_hi, param_field::poeplusplus_current_limit}};
    return fields[static_cast<size_t>(set)][part];
}

param_field limiter_field(limiter_set set, amp_channel ch) {
    if (set == limiter_set::ohm4) {
        return ch == amp_channel::ch2 ? param_field::limiter_4ohm_ch2
                                      : param_field::limiter_4ohm_ch1;
    }
    return ch == amp_channel::ch2 ? param_field::limiter_8ohm_ch2 : param_field::limiter_8ohm_ch1;
}

const param_field_def& item_def(limiter_item item) {
    return limiter_item_table[static_cast<size_t>(item)];
}

uint16_t read_limiter(const param_block& block, limiter_set s, amp_channel ch, limiter_item item) {
    const auto& def = item_def(item);
    return static_cast<uint16_t>(
        decode(block.data() + field_def(limiter_field(s, ch)).offset + def.offset, def.encoding));
}

void write_limiter(param_block& block, limiter_set s, amp_channel ch, limiter_item item,
                   uint16_t v) {
    const auto& def = item_def(item);
    encode(block.data() + field_def(limiter_field(s, ch)).offset + def.offset, def.encoding, v);
}

}  // namespace

power_set power_set_for_class(uint8_t power_class) {
    switch (power_class & 0x7F) {
        case 0:
            return power_set::poe;
        case 1:
            return power_set::poeplus;
        default:
            return power_set::poeplusplus;
    }
}

uint8_t slope_code_of(uint8_t stored) {
    return stored >= 1 && stored <= 4 ? stored : 0;
}

int field_value_in(const param_block& block, param_field f, size_t index) {
    const auto& def = field_def(f);
    const long at = element_offset(def, index);
    if (at < 0)
        return 0;
    return decode(block.data() + at, def.encoding);
}

param_block amp_params::snapshot() const {
    std::lock_guard lock(mutex_);
    return block_;
}

void amp_params::replace(const param_block& block) {
    std::lock_guard lock(mutex_);
    block_ = block;
}

bool amp_params::replace_if_different(const uint8_t* bytes) {
    std::lock_guard lock(mutex_);
    if (std::memcmp(block_.data(), bytes, block_.size()) == 0)
        return false;
    std::memcpy(block_.data(), bytes, block_.size());
    return true;
}

void amp_params::clear_params() {
    std::lock_guard lock(mutex_);
    block_.fill(0);
}

int amp_params::get(param_field f, size_t index) const {
    std::lock_guard lock(mutex_);
    return field_value_in(block_, f, index);
}

void amp_params::set(param_field f, int value, size_t index) {
    std::lock_guard lock(mutex_);
    put(block_, f, value, index);
}

std::vector<field_value> amp_params::list_fields() const {
    const param_block block = snapshot();
    std::vector<field_value> out;
    out.reserve(param_field_count + 3 * limiter_item_table.size());
    for (const auto& def : param_field_table) {
        if (def.encoding == field_encoding::text) {
            field_value v{std::string(def.name), def.offset, {}, {}, true};
            const uint8_t* p = block.data() + def.offset;
            for (size_t i = 0; i < def.width && p[i] != 0; ++i)
                v.text.push_back(static_cast<char>(p[i]));
            out.push_back(std::move(v));
        } else if (def.encoding == field_encoding::limiter) {
            for (const auto& item : limiter_item_table) {
                field_value v{std::string(def.name) + "." + std::string(item.name),
                              static_cast<uint16_t>(def.offset + item.offset),
                              {},
                              {},
                              false};
                v.values.push_back(decode(block.data() + def.offset + item.offset, item.encoding));
                out.push_back(std::move(v));
            }
        } else {
            field_value v{std::string(def.name), def.offset, {}, {}, false};
            for (size_t i = 0; i < def.count; ++i) {
                v.values.push_back(decode(block.data() + def.offset + i * def.width, def.encoding));
            }
            out.push_back(std::move(v));
        }
    }
    return out;
}

uint8_t amp_params::gain(amp_channel ch) const {
    return u(ch == amp_channel::ch2 ? param_field::gain_ch2 : param_field::gain_ch1);
}

void amp_params::set_gain(amp_channel ch, uint8_t v) {
    set(ch == amp_channel::ch2 ? param_field::gain_ch2 : param_field::gain_ch1, v);
}

filter_settings amp_params::filter(amp_channel ch, filter_kind kind) const {
    std::lock_guard lock(mutex_);
    filter_settings s;
    s.enable = static_cast<uint8_t>(field_value_in(block_, filter_field(ch, kind, 0)));
    s.freq = static_cast<uint16_t>(field_value_in(block_, filter_field(ch, kind, 1)));
    s.slope = static_cast<uint8_t>(field_value_in(block_, filter_field(ch, kind, 2)));
    return s;
}

void amp_params::set_filter(amp_channel ch, filter_kind kind, const filter_settings& s) {
    std::lock_guard lock(mutex_);
    put(block_, filter_field(ch, kind, 0), s.enable);
    put(block_, filter_field(ch, kind, 1), s.freq);
    put(block_, filter_field(ch, kind, 2), s.slope);
}

peq_band amp_params::peq(amp_channel ch, size_t band) const {
    std::lock_guard lock(mutex_);
    auto at = [&](int part) { return field_value_in(block_, peq_field(ch, part), band); };
    peq_band b;
    b.enable = static_cast<uint8_t>(at(0));
    b.gain = static_cast<uint8_t>(at(1));
    b.q = static_cast<uint16_t>((at(2) << 8) | at(3));
    b.freq = static_cast<uint16_t>((at(4) << 8) | at(5));
    return b;
}

void amp_params::set_peq(amp_channel ch, size_t band, const peq_band& b) {
    std::lock_guard lock(mutex_);
    put(block_, peq_field(ch, 0), b.enable, band);
    put(block_, peq_field(ch, 1), b.gain, band);
    put(block_, peq_field(ch, 2), b.q >> 8, band);
    put(block_, peq_field(ch, 3), b.q & 0xFF, band);
    put(block_, peq_field(ch, 4), b.freq >> 8, band);
    put(block_, peq_field(ch, 5), b.freq & 0xFF, band);
}

uint8_t amp_params::power_limit_enable(power_set s) const {
    return u(power_field(s, 0));
}

void amp_params::set_power_limit_enable(power_set s, uint8_t v) {
    set(power_field(s, 0), v);
}

uint16_t amp_params::power_limit(power_set s, limit_slot slot) const {
    const auto i = static_cast<size_t>(slot);
    std::lock_guard lock(mutex_);
    return static_cast<uint16_t>((field_value_in(block_, power_field(s, 2), i) << 8) |
                                 field_value_in(block_, power_field(s, 1), i));
}

void amp_params::set_power_limit(power_set s, limit_slot slot, uint16_t tenths_watt) {
    const auto i = static_cast<size_t>(slot);
    std::lock_guard lock(mutex_);
    put(block_, power_field(s, 2), tenths_watt >> 8, i);
    put(block_, power_field(s, 1), tenths_watt & 0xFF, i);
}

current_limit amp_params::current_limit_of(power_set s) const {
    std::lock_guard lock(mutex_);
    const auto f = power_field(s, 3);
    return {static_cast<uint8_t>(field_value_in(block_, f, 0)),
            static_cast<uint8_t>(field_value_in(block_, f, 1)),
            static_cast<uint8_t>(field_value_in(block_, f, 2))};
}

void amp_params::set_current_limit(power_set s, const current_limit& c) {
    const auto f = power_field(s, 3);
    std::lock_guard lock(mutex_);
    put(block_, f, c.enable, 0);
    put(block_, f, c.threshold, 1);
    put(block_, f, c.release, 2);
}

int8_t amp_params::match_gain(amp_channel ch) const {
    return static_cast<int8_t>(
        get(ch == amp_channel::ch2 ? param_field::match_gain_ch2 : param_field::match_gain_ch1));
}

void amp_params::set_match_gain(amp_channel ch, int8_t tenths_db) {
    set(ch == amp_channel::ch2 ? param_field::match_gain_ch2 : param_field::match_gain_ch1,
        tenths_db);
}

uint16_t amp_params::limiter_value(limiter_set s, amp_channel ch, limiter_item item) const {
    std::lock_guard lock(mutex_);
    return read_limiter(block_, s, ch, item);
}

void amp_params::set_limiter_value(limiter_set s, amp_channel ch, limiter_item item, uint16_t v) {
    std::lock_guard lock(mutex_);
    write_limiter(block_, s, ch, item, v);
}

limiter_settings amp_params::limiter(limiter_set s, amp_channel ch) const {
    std::lock_guard lock(mutex_);
    limiter_settings out;
    out.threshold = static_cast<uint8_t>(read_limiter(block_, s, ch, limiter_item::threshold));
    out.knee = static_cast<uint8_t>(read_limiter(block_, s, ch, limiter_item::knee));
    out.ratio = read_limiter(block_, s, ch, limiter_item::ratio);
    out.attack = read_limiter(block_, s, ch, limiter_item::attack);
    out.release = read_limiter(block_, s, ch, limiter_item::release);
    out.hold = read_limiter(block_, s, ch, limiter_item::hold);
    return out;
}

void amp_params::set_limiter(limiter_set s, amp_channel ch, const limiter_settings& v) {
    std::lock_guard lock(mutex_);
    write_limiter(block_, s, ch, limiter_item::threshold, v.threshold);
    write_limiter(block_, s, ch, limiter_item::knee, v.knee);
    write_limiter(block_, s, ch, limiter_item::ratio, v.ratio);
    write_limiter(block_, s, ch, limiter_item::attack, v.attack);
    write_limiter(block_, s, ch, limiter_item::release, v.release);
    write_limiter(block_, s, ch, limiter_item::hold, v.hold);
}

limiter_set amp_params::active_limiter_set() const {
    return speaker_impedance() == 4 ? limiter_set::ohm4 : limiter_set::ohm8;
}

std::array<uint8_t, 16> amp_params::location_bytes() const {
    const auto& def = field_def(param_field::location);
    std::array<uint8_t, 16> out{};
    std::lock_guard lock(mutex_);
    std::memcpy(out.data(), block_.data() + def.offset, out.size());
    return out;
}

std::string amp_params::location() const {
    const auto bytes = location_bytes();
    std::string text;
    for (uint8_t b : bytes) {
        if (b == 0)
            break;
        text.push_back(static_cast<char>(b));
    }
    return text;
}

void amp_params::set_location(const uint8_t* bytes, size_t n) {
    const auto& def = field_def(param_field::location);
    n = bytes ? std::min<size_t>(n, def.width) : 0;
    std::lock_guard lock(mutex_);
    uint8_t* at = block_.data() + def.offset;
    std::memset(at, 0, def.width);
    if (n > 0)
        std::memcpy(at, bytes, n);
}

void amp_params::set_fw_date(uint8_t year, uint8_t month, uint8_t day, uint8_t hour) {
    std::lock_guard lock(mutex_);
    put(block_, param_field::fw_year, year);
    put(block_, param_field::fw_month, month);
    put(block_, param_field::fw_day, day);
    put(block_, param_field::fw_hour, hour);
}

}  // namespace tavrin
