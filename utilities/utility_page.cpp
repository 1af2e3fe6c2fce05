#include "utilities/utility_page.h"

#include "link/answer_texts.h"
#include "protocol/catalogue.h"
#include "qxapi/dante_wrapper.h"
#include "utilities/name_rules.h"

namespace tavrin {

std::atomic<bool>& find_me_active() {
    static std::atomic<bool> active{false};
    return active;
}

rename_fn wrapper_rename(dante_wrapper* wrapper) {
    return [wrapper](const std::string& name, const std::string& new_name) {
        return wrapper != nullptr && wrapper->rename_device(name, new_name);
    };
}

names_fn wrapper_device_names(dante_wrapper* wrapper) {
    return [wrapper] {
        std::vector<std::string> names;
        if (wrapper != nullptr) {
            for (const node_summary& n : wrapper->nodes())
                names.push_back(n.name);
        }
        return names;
    };
}

rename_outcome rename_amplifier(const rename_fn& rename, const std::string& current,
                                amp_session* session, const std::string& new_name) {
    // An empty name asks the device for its factory name, which the tool would not
    // know; a name tavrin-cli rename refuses is refused here as well. Renaming to the
    // same name would only close the device's connection.
    if (!device_name_problem(new_name).empty() || !rename)
        return rename_outcome::refused;
    if (new_name == current)
        return rename_outcome::unchanged;
    if (!rename(current, new_name))
        return rename_outcome::refused;
    if (session != nullptr)
        session->renamed(new_name);
    return rename_outcome::renamed;
}

bool push_location(command_ring& ring, const std::string& text) {
    const std::optional<std::string> bytes = location_bytes_of(text);
    if (!bytes)
        return false;
    ring.ring_push(cmd::location(*bytes));
    return true;
}

void push_factory_reset(command_ring& ring, session_events& events) {
    events.log_line(reset_log_text);
    ring.ring_push(cmd::factory_reset());
}

utility_page_logic::utility_page_logic(utility_parts parts, utility_view& view)
    : parts_(std::move(parts)), view_(view) {}

void utility_page_logic::init() {
    fill();
    view_.set_item_text(idc_find_me_toggle, find_me_active().load() ? "Stop" : "Start");
}

void utility_page_logic::params_changed(field_mask changed) {
    if ((changed & field_bit(param_field::location)) != 0)
        fill();
}

void utility_page_logic::fill() {
    view_.set_item_text(idc_rename_field, parts_.device.name());
    view_.set_item_text(idc_location_field, location_text_of(parts_.params.location_bytes()));
    view_.invalidate();
}

void utility_page_logic::rename_clicked() {
    const std::string new_name = view_.item_text(idc_rename_field);
    // DNS-SD names are case-blind: another device's name in any case would collide,
    // and the renamed device would drop off the network.
    const std::string other =
        parts_.device_names ? name_conflict(new_name, parts_.device.name(), parts_.device_names())
                            : std::string();
    if (!other.empty()) {
        std::string text = name_taken_text(other) + ".";
        text[0] = 'A';
        parts_.events.ask({text, rename_caption, box_icon::warning, box_buttons::ok});
        return;
    }
    const rename_outcome outcome =
        rename_amplifier(parts_.rename, parts_.device.name(), parts_.session, new_name);
    if (outcome == rename_outcome::refused) {
        parts_.events.ask({rename_failed_text, rename_caption, box_icon::warning, box_buttons::ok});
        return;
    }
    // The window shows the new name at once; the session takes it at its next wake-up.
    if (outcome == rename_outcome::renamed)
        parts_.events.info_changed(device_info_text(new_name, parts_.params.location_bytes()));
    parts_.events.ask(
        {rename_success_text, rename_caption, box_icon::information, box_buttons::ok});
}

void utility_page_logic::location_clicked() {
    // The field admits only what fits; anything else is not sent.
    push_location(parts_.ring, view_.item_text(idc_location_field));
}

void utility_page_logic::reset_clicked() {
    const box_answer answer = parts_.events.ask(
        {reset_question_text, reset_caption, box_icon::question, box_buttons::yes_no});
    if (answer == box_answer::yes)
        push_factory_reset(parts_.ring, parts_.events);
}

void utility_page_logic::find_me_clicked() {
    if (find_me_active().load())
        stop_find_me();
    else
        start_find_me();
}

void utility_page_logic::start_find_me() {
    view_.start_timer(find_me_timer_id, find_me_period_ms);
    view_.set_item_text(idc_find_me_toggle, "Stop");
    find_me_active().store(true);
}

void utility_page_logic::stop_find_me() {
    view_.kill_timer(find_me_timer_id);
    view_.set_item_text(idc_find_me_toggle, "Start");
    find_me_active().store(false);
}

void utility_page_logic::find_me_tick() {
    if (!parts_.flags.connect_flag() || parts_.flags.update_mode()) {
        stop_find_me();
        return;
    }
    parts_.ring.ring_push(cmd::find_me());
}

void utility_page_logic::page_destroyed() {
    find_me_active().store(false);
    view_.kill_timer(find_me_timer_id);
}

}  // namespace tavrin
