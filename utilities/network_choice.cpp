#include "utilities/network_choice.h"

#include "qxapi/dante_wrapper.h"

namespace tavrin {

void wrapper_selection::get_selected_interfaces(uint32_t& primary, uint32_t& secondary) const {
    wrapper_.get_selected_interfaces(primary, secondary);
}

void wrapper_selection::select_interfaces(uint32_t primary, uint32_t secondary) {
    wrapper_.select_interfaces(primary, secondary);
}

network_choice::network_choice(interface_selection& selection, adapter_source& source,
                               network_view& view)
    : selection_(selection), source_(source), view_(view) {}

network_choice::side* network_choice::side_of(int item) {
    for (side& s : sides_) {
        if (s.list == item)
            return &s;
    }
    return nullptr;
}

uint32_t network_choice::index(int item) const {
    for (const side& s : sides_) {
        if (s.list == item)
            return s.index;
    }
    return 0;
}

void network_choice::set_mode(mode m) {
    mode_ = m;
    const bool customer = m == mode::customer;
    view_.set_check(idc_net_auto, !customer);
    view_.set_check(idc_net_customer, customer);
    view_.enable_item(idc_net_primary, customer);
    view_.enable_item(idc_net_secondary, customer);
}

void network_choice::show_adapter(const side& s, const adapter_info* a) {
    view_.set_item_text(s.ip, a ? a->ip : std::string());
    view_.set_item_text(s.mac, a ? a->mac : std::string());
}

void network_choice::open() {
    selection_.get_selected_interfaces(sides_[0].index, sides_[1].index);
    adapters_ = source_.adapters();
    view_.set_check(idc_net_auto, false);
    view_.set_check(idc_net_customer, false);
    if (sides_[0].index == 0) {
        set_mode(mode::automatic);
        return;
    }
    set_mode(mode::customer);
    for (side& s : sides_) {
        // Only the chosen adapter is listed until the list is opened; an index with
        // no adapter (a missing one given on the command line) stays in force.
        s.name.clear();
        std::vector<std::string> entries;
        const adapter_info* shown = nullptr;
        for (const adapter_info& a : adapters_) {
            if (s.index == 0 || a.index != s.index)
                continue;
            entries.push_back(a.friendly_name);
            s.name = a.friendly_name;
            shown = &a;
        }
        view_.fill_drop_down(s.list, entries, static_cast<int>(entries.size()) - 1);
        show_adapter(s, shown);
    }
}

void network_choice::auto_clicked() {
    set_mode(mode::automatic);
}

void network_choice::customer_clicked() {
    set_mode(mode::customer);
}

void network_choice::drop_down_opens(int item) {
    const side* s = side_of(item);
    if (s == nullptr)
        return;
    std::vector<std::string> entries;
    int selected = -1;
    for (const adapter_info& a : adapters_) {
        // The first entry that carries the stored name, as an exact search finds it.
        if (selected < 0 && !s->name.empty() && a.friendly_name == s->name)
            selected = static_cast<int>(entries.size());
        entries.push_back(a.friendly_name);
    }
    view_.fill_drop_down(item, entries, selected);
}

void network_choice::drop_down_chosen(int item, const std::string& chosen) {
    side* s = side_of(item);
    if (s == nullptr)
        return;
    s->name = chosen;
    // Names are matched, not positions: of adapters that share a name the last wins.
    const adapter_info* found = nullptr;
    for (const adapter_info& a : adapters_) {
        if (a.friendly_name == chosen)
            found = &a;
    }
    if (found == nullptr)
        return;
    s->index = found->index;
    show_adapter(*s, found);
}

void network_choice::ok_clicked() {
    // A primary of 0 (Customer without an adapter) restores the defaults as well.
    if (mode_ == mode::automatic)
        selection_.select_interfaces(0, 0);
    else
        selection_.select_interfaces(sides_[0].index, sides_[1].index);
    view_.close_window();
}

}  // namespace tavrin
