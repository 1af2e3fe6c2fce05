// The Input page's settings: ch1.trim, ch2.trim and each channel's limiter
// (ch1.limiter.threshold ... ch2.limiter.release), in the set of the speaker
// impedance in force.
#include <algorithm>
#include <cmath>

#include "pages/setting_table.h"

namespace tavrin {
namespace {

using namespace setting_table;

setting_def trim(amp_channel ch) {
    const param_field field =
        ch == amp_channel::ch1 ? param_field::match_gain_ch1 : param_field::match_gain_ch2;
    return number(
        {channel_prefix(ch) + "trim", "dB", "-10.0 to 10.0", "0.1, the nearest"},
        [field](const param_block& b) { return fixed_text(field_value_in(b, field) / 10.0, 1); },
        [ch](setting_desk& desk, double db) {
            // The slider's positions are tenths of a dB.
            const auto t = static_cast<int>(std::lround(std::clamp(db, -10.0, 10.0) * 10));
            desk.input().trim_scrolled(ch, t);
            return apply_note{};
        });
}

struct limiter_name {
    limiter_item item;
    const char* word;
    const char* unit;
    const char* range;
    const char* step;
};

// In the order they are applied: the attack before the hold it may raise.
constexpr limiter_name limiter_names[] = {
    {limiter_item::threshold, "threshold", "dB", "-90 to 6", "1, a fraction is dropped"},
    {limiter_item::ratio, "ratio", "1:X", "1.00 to 100.00", "0.01, cut"},
    {limiter_item::knee, "knee", "", "1 to 100", "1, a fraction is dropped"},
    {limiter_item::attack, "attack", "ms", "1 to 500", "1, a fraction is dropped"},
    {limiter_item::hold, "hold", "ms", "the attack to 500", "1, a fraction is dropped"},
    {limiter_item::release, "release", "ms", "1 to 2000", "1, a fraction is dropped"},
};

std::string limiter_text(const amp_params& p, amp_channel ch, limiter_item item) {
    const uint16_t v = p.limiter_value(p.active_limiter_set(), ch, item);
    switch (item) {
        case limiter_item::threshold:
            return std::to_string(int{v} - 90);
        case limiter_item::ratio:
            return fixed_text(v / 100.0, 2);
        default:
            return std::to_string(v);
    }
}

setting_def limiter(amp_channel ch, const limiter_name& n) {
    const limiter_item item = n.item;
    return number(
        {channel_prefix(ch) + "limiter." + n.word, n.unit, n.range, n.step},
        [ch, item](const param_block& b) {
            return with_params(b, [&](const amp_params& p) { return limiter_text(p, ch, item); });
        },
        [ch, item](setting_desk& desk, double v) {
            desk.input().set_limiter(ch, item, v);
            return apply_note{};
        });
}

}  // namespace

std::vector<setting_def> input_page_settings() {
    std::vector<setting_def> out;
    out.push_back(trim(amp_channel::ch1));
    out.push_back(trim(amp_channel::ch2));
    for (amp_channel ch : {amp_channel::ch1, amp_channel::ch2}) {
        for (const limiter_name& n : limiter_names)
            out.push_back(limiter(ch, n));
    }
    return out;
}

}  // namespace tavrin
