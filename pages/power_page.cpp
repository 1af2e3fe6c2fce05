#include "pages/power_page.h"

#include <algorithm>

#include "pages/settings.h"

namespace tavrin {
namespace {

constexpr uint8_t manual_bit = 0x80;
constexpr uint8_t class_mask = 0x7F;
constexpr int class_dc_in = 3;

constexpr limit_slot all_slots[] = {limit_slot::ch1, limit_slot::ch2, limit_slot::pbtl};

bool known_class(uint8_t power_class) {
    return power_class < power_class_count;
}

}  // namespace

int power_limit_slider(limit_slot slot) {
    switch (slot) {
        case limit_slot::ch1:
            return power_item::ch1_limit;
        case limit_slot::ch2:
            return power_item::ch2_limit;
        case limit_slot::pbtl:
            return power_item::pbtl_limit;
    }
    return 0;
}

int power_limit_label(limit_slot slot) {
    return power_limit_slider(slot) - power_item::ch1_limit + power_item::ch1_limit_text;
}

std::optional<slider_range> power_limit_range(uint8_t power_class, limit_slot slot,
                                              uint8_t impedance) {
    if (!known_class(power_class) || (impedance != 4 && impedance != 8))
        return std::nullopt;
    switch (power_class) {
        case 0:
            return slider_range{1, 100};
        case 1:
            return slider_range{1, 200};
        default:
            if (slot == limit_slot::pbtl)
                return slider_range{1, impedance == 4 ? 600 : 300};
            return slider_range{1, impedance == 4 ? 550 : 400};
    }
}

slider_range threshold_range(uint8_t power_class) {
    switch (power_class) {
        case 0:
            return {1, 14};
        case 1:
            return {1, 24};
        default:
            return {1, 72};
    }
}

slider_range release_range() {
    return {1, 30};
}

int power_budget(uint8_t power_class) {
    switch (power_class) {
        case 0:
            return 100;
        case 1:
            return 200;
        default:
            return 600;
    }
}

std::string power_limit_text(int tenths_watt) {
    return fixed_text(tenths_watt / 10.0, 1) + " W";
}

std::string threshold_text(int units_25ma) {
    return std::to_string(units_25ma * 25) + " mA";
}

std::string release_text(int seconds) {
    return std::to_string(seconds) + " sec";
}

power_page_logic::power_page_logic(page_context& ctx, power_view& view)
    : ctx_(ctx), view_(view), limit_send_(ctx, view, [c = &ctx](const waiting_limit& w) {
          c->ring.ring_push(cmd::power_limit(w.set, w.slot, c->params.power_limit(w.set, w.slot)));
      }) {}

void power_page_logic::init() {
    for (const char* name : power_class_names)
        view_.add_entry(power_item::power_class, name);
    refresh();
}

std::optional<power_set> power_page_logic::current_set() const {
    const uint8_t c = ctx_.params.power_class();
    if (!known_class(c))
        return std::nullopt;
    return power_set_for_class(c);
}

void power_page_logic::refresh() {
    amp_params& p = ctx_.params;
    const uint8_t c = p.power_class();
    const bool manual = p.power_class_manual();
    view_.select_entry(power_item::power_class, known_class(c) ? c : -1);
    view_.set_check(power_item::manual, manual);
    view_.set_enabled(power_item::power_class, manual);
    view_.set_check(power_item::pbtl, p.pbtl_mode());
    const bool four = p.speaker_impedance() == 4;
    view_.set_check(power_item::speaker_4, four);
    view_.set_check(power_item::speaker_8, !four);

    // An unknown class leaves the limits as they are shown.
    if (const std::optional<power_set> set = current_set()) {
        const bool limit_on = p.power_limit_enable(*set) != 0;
        view_.set_check(power_item::limit_enable, limit_on);
        for (limit_slot slot : all_slots) {
            const uint8_t impedance =
                slot == limit_slot::ch1 ? p.speaker_impedance() : p.speaker_impedance_2();
            if (const auto range = power_limit_range(c, slot, impedance))
                view_.set_slider_range(power_limit_slider(slot), range->min, range->max);
            const int v = p.power_limit(*set, slot);
            view_.set_slider_position(power_limit_slider(slot), v);
            view_.set_item_text(power_limit_label(slot), power_limit_text(v));
        }
        const current_limit cur = p.current_limit_of(*set);
        view_.set_check(power_item::current_enable, cur.enable != 0);
        const slider_range t = threshold_range(c);
        const slider_range r = release_range();
        view_.set_slider_range(power_item::threshold, t.min, t.max);
        view_.set_slider_position(power_item::threshold, cur.threshold);
        view_.set_item_text(power_item::threshold_text, threshold_text(cur.threshold));
        view_.set_slider_range(power_item::release, r.min, r.max);
        view_.set_slider_position(power_item::release, cur.release);
        view_.set_item_text(power_item::release_text, release_text(cur.release));

        enable_limit_sliders(limit_on, p.pbtl_mode());
        view_.set_enabled(power_item::threshold, cur.enable != 0);
        view_.set_enabled(power_item::release, cur.enable != 0);
        budget_ = power_budget(c);
    }
    view_.invalidate();
}

void power_page_logic::enable_limit_sliders(bool limit_on, bool pbtl_on) {
    view_.set_enabled(power_item::ch1_limit, limit_on && !pbtl_on);
    view_.set_enabled(power_item::ch2_limit, limit_on && !pbtl_on);
    view_.set_enabled(power_item::pbtl_limit, limit_on && pbtl_on);
}

void power_page_logic::params_changed(field_mask changed) {
    constexpr field_mask shown =
        layout_fields |
        field_range(param_field::pbtl_mode, param_field::poeplusplus_current_limit) |
        field_range(param_field::poe_power_limit_hi, param_field::poeplusplus_power_limit_hi);
    if ((changed & shown) != 0)
        refresh();
}

void power_page_logic::manual_clicked(bool checked) {
    amp_params& p = ctx_.params;
    const uint8_t c = p.power_class();
    ctx_.ring.ring_push(cmd::power_source(checked, c));
    p.set_power_source(static_cast<uint8_t>(checked ? c | manual_bit : c & class_mask));
    view_.set_enabled(power_item::power_class, checked);
}

void power_page_logic::class_chosen(int selection) {
    if (selection < 0 || selection > class_dc_in)
        return;
    const auto c = static_cast<uint8_t>(selection);
    ctx_.params.set_power_source(c | manual_bit);
    ctx_.ring.ring_push(cmd::power_source(true, c));
    refresh();
}

void power_page_logic::pbtl_clicked(bool checked) {
    ctx_.params.set_pbtl_mode(checked);
    // The bridged output is driven by channel 2's processing.
    if (checked)
        ctx_.shared.selected_channel.store(2);
    ctx_.ring.ring_push(cmd::pbtl(checked));
    refresh();
}

void power_page_logic::speaker_clicked(uint8_t ohms) {
    amp_params& p = ctx_.params;
    if (p.speaker_impedance() == ohms)
        return;
    p.set_speaker_impedance(ohms);
    p.set_speaker_impedance_2(ohms);
    ctx_.ring.ring_push(cmd::speaker_impedance(ohms));
    refresh();
}

void power_page_logic::limit_enable_clicked(bool checked) {
    const std::optional<power_set> set = current_set();
    if (!set)
        return;
    amp_params& p = ctx_.params;
    const bool pbtl_on = p.pbtl_mode();
    p.set_power_limit_enable(*set, checked ? 1 : 0);
    ctx_.ring.ring_push(cmd::power_limit_enable(*set, pbtl_on, checked));
    enable_limit_sliders(checked, pbtl_on);
}

void power_page_logic::current_enable_clicked(bool checked) {
    const std::optional<power_set> set = current_set();
    if (!set)
        return;
    current_limit cur = ctx_.params.current_limit_of(*set);
    cur.enable = checked ? 1 : 0;
    ctx_.params.set_current_limit(*set, cur);
    ctx_.ring.ring_push(cmd::current_limit_enable(*set, checked));
    view_.set_enabled(power_item::threshold, checked);
    view_.set_enabled(power_item::release, checked);
}

std::optional<int> power_page_logic::limit_scrolled(limit_slot slot, int position) {
    const std::optional<power_set> set = current_set();
    if (!set)
        return std::nullopt;
    amp_params& p = ctx_.params;
    // In PBTL mode the bridged output has the budget alone; otherwise CH1 and CH2
    // share it. The mode decides, not the slider that moved.
    const int old = p.power_limit(*set, slot);
    const int total =
        p.pbtl_mode() ? p.power_limit(*set, limit_slot::pbtl)
                      : p.power_limit(*set, limit_slot::ch1) + p.power_limit(*set, limit_slot::ch2);
    int v = std::max(position, 0);
    if (total - old + v > budget_) {
        // Limits that already exceed the budget on their own leave nothing.
        v = std::max(budget_ - (total - old), 0);
        view_.set_slider_position(power_limit_slider(slot), v);
    }
    p.set_power_limit(*set, slot, static_cast<uint16_t>(v));
    view_.set_item_text(power_limit_label(slot), power_limit_text(v));
    limit_send_.moved(waiting_limit{*set, slot});
    return v;
}

bool power_page_logic::threshold_scrolled(int position) {
    const std::optional<power_set> set = current_set();
    if (!set)
        return false;
    current_limit cur = ctx_.params.current_limit_of(*set);
    cur.threshold = static_cast<uint8_t>(std::clamp(position, 0, 255));
    ctx_.params.set_current_limit(*set, cur);
    view_.set_item_text(power_item::threshold_text, threshold_text(cur.threshold));
    ctx_.ring.ring_push(cmd::current_limit_threshold(*set, cur.threshold));
    return true;
}

bool power_page_logic::release_scrolled(int position) {
    const std::optional<power_set> set = current_set();
    if (!set)
        return false;
    current_limit cur = ctx_.params.current_limit_of(*set);
    cur.release = static_cast<uint8_t>(std::clamp(position, 0, 255));
    ctx_.params.set_current_limit(*set, cur);
    view_.set_item_text(power_item::release_text, release_text(cur.release));
    ctx_.ring.ring_push(cmd::current_limit_release(*set, cur.release));
    return true;
}

void power_page_logic::send_timer_fired() {
    limit_send_.timer_fired();
}

void power_page_logic::flush() {
    limit_send_.flush();
}

}  // namespace tavrin
