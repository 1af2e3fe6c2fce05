#pragma once
// The device search without a window: restart the runtime, let the browse run for the
// scan period, ping every device, ask each active one for its manufacturer and
// interface information, and list the names the brand rule admits.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/time_source.h"
#include "qxapi/dante_wrapper.h"

namespace tavrin {

// The brand filter's entries, in their order.
enum class brand_rule { model = 0, maker = 1, all = 2 };

constexpr std::string_view brand_manufacturer = "Varnoll AB";
constexpr std::string_view brand_model = "TAVRIN-PA22";
constexpr uint32_t discovery_scan_ms = 6000;

// Exact, case-sensitive comparison with the names the node keeps.
bool brand_admits(brand_rule rule, std::string_view manufacturer, std::string_view model);

// In the order of a sorted list box: without regard to case, ties by byte order.
void sort_device_names(std::vector<std::string>& names);

// The active nodes the rule admits, sorted.
std::vector<std::string> fill_device_list(const dante_wrapper& wrapper, brand_rule rule);

// The end-of-scan step: ping sweep, the two information requests to each active node
// in node-list order (each waited for), then the list.
std::vector<std::string> end_of_discovery(dante_wrapper& wrapper, brand_rule rule);

// One whole search: restart on the start-up thread, wait the scan period (and for the
// start-up thread, so the end-of-scan step never meets a half-built runtime), then
// the end-of-scan step.
std::vector<std::string> discover_devices(dante_wrapper& wrapper, time_source& time,
                                          brand_rule rule, uint32_t scan_ms = discovery_scan_ms);

}  // namespace tavrin
