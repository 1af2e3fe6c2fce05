#include "app/discovery_flow.h"

#include "app/service_report.h"
#include "link/send_report.h"

namespace tavrin {

std::vector<std::string> fill_device_list(const dante_wrapper& wrapper, brand_rule rule) {
    std::vector<std::string> names;
    for (const node_summary& node : wrapper.nodes()) {
        if (node.active && brand_admits(rule, node.manufacturer_name, node.model_name))
            names.push_back(node.name);
    }
    sort_device_names(names);
    return names;
}

std::vector<std::string> end_of_discovery(dante_wrapper& wrapper, brand_rule rule,
                                          session_events& events, time_source& time,
                                          uint32_t bound_ms) {
    const uint32_t start = time.now_ms();
    const auto left = [&]() -> uint32_t {
        const uint32_t spent = time.now_ms() - start;
        return spent >= bound_ms ? 0 : bound_ms - spent;
    };
    // An empty list says nothing of why; the message list does. Without avahi-daemon
    // the runtime stops before the ConMon client can connect: that one line says all.
    if (wrapper.browse_status() == AUD_ERR_NOTRUNNING && !wrapper.node_list().dnssd_lost())
        events.log_line(dnssd_not_running_text);
    else if (wrapper.server() == server_state::refused)
        events.log_line(server_unreachable_text);
    wrapper.ping_all();
    std::string name = wrapper.first_active_name();
    while (!name.empty()) {
        // Devices that stay silent must not hold the list back without end: past the
        // bound the rest are not asked, and are listed if what they told earlier admits
        // them.
        if (left() == 0) {
            events.log_line("Discovery: not every device answered in time");
            break;
        }
        report_send(wrapper.request_manf_versions(name, left()), events);
        report_send(wrapper.request_interface(name, left()), events);
        const std::string previous = name;
        wrapper.next_active_name(name);
        // A node removed meanwhile leaves the name unchanged; walking on would never end.
        if (name == previous)
            break;
    }
    return fill_device_list(wrapper, rule);
}

std::vector<std::string> discover_devices(dante_wrapper& wrapper, time_source& time,
                                          brand_rule rule, session_events& events,
                                          uint32_t scan_ms) {
    wrapper.start_restart_thread();
    time.sleep_ms(scan_ms);
    wrapper.join_restart_thread();
    return end_of_discovery(wrapper, rule, events, time);
}

void wrapper_discovery::restart_runtime() {
    wrapper_.start_restart_thread();
}

std::vector<std::string> wrapper_discovery::end_of_scan(brand_rule rule) {
    // The end step assumes the new runtime is up; never meet a half-built one.
    wrapper_.join_restart_thread();
    return end_of_discovery(wrapper_, rule, events_, time_);
}

std::vector<std::string> wrapper_discovery::refill(brand_rule rule) {
    wrapper_.ping_all();
    return fill_device_list(wrapper_, rule);
}

void wrapper_discovery::select_interfaces(uint32_t primary, uint32_t secondary) {
    wrapper_.reset_interfaces();
    wrapper_.select_interfaces(primary, secondary);
}

}  // namespace tavrin
