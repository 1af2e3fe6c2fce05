#pragma once
// The device search without a window: restart the runtime, let the browse run for the
// scan period, ping every device, ask each active one for its manufacturer and
// interface information, and list the names the brand rule admits.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/brand_rule.h"
#include "app/discovery_port.h"
#include "link/session_events.h"
#include "platform/time_source.h"
#include "qxapi/dante_wrapper.h"

namespace tavrin {

constexpr uint32_t discovery_scan_ms = 6000;

// The active nodes the rule admits, sorted.
std::vector<std::string> fill_device_list(const dante_wrapper& wrapper, brand_rule rule);

// The whole end-of-scan step ends within this bound, however many devices there are.
constexpr uint32_t end_of_scan_bound_ms = 10000;

// The end-of-scan step: ping sweep, the two information requests to each active node
// in node-list order (each waited for, all of them within bound_ms), then the list.
std::vector<std::string> end_of_discovery(dante_wrapper& wrapper, brand_rule rule,
                                          session_events& events, time_source& time,
                                          uint32_t bound_ms = end_of_scan_bound_ms);

// One whole search: restart on the start-up thread, wait the scan period (and for the
// start-up thread, so the end-of-scan step never meets a half-built runtime), then
// the end-of-scan step.
std::vector<std::string> discover_devices(dante_wrapper& wrapper, time_source& time,
                                          brand_rule rule, session_events& events,
                                          uint32_t scan_ms = discovery_scan_ms);

// The discovery steps of the window, run on the wrapper.
class wrapper_discovery : public discovery_port {
  public:
    wrapper_discovery(dante_wrapper& wrapper, session_events& events, time_source& time)
        : wrapper_(wrapper), events_(events), time_(time) {}

    void restart_runtime() override;
    std::vector<std::string> end_of_scan(brand_rule rule) override;
    std::vector<std::string> refill(brand_rule rule) override;
    void select_interfaces(uint32_t primary, uint32_t secondary) override;

  private:
    dante_wrapper& wrapper_;
    session_events& events_;
    time_source& time_;
};

}  // namespace tavrin
