#pragma once
// The brand filter of the device list: which discovered devices are listed.
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// The brand filter's entries, in their order.
enum class brand_rule { model = 0, maker = 1, all = 2 };

constexpr std::string_view brand_manufacturer = "Varnoll AB";
constexpr std::string_view brand_model = "TAVRIN-PA22";

// Exact, case-sensitive comparison with the names the node keeps.
bool brand_admits(brand_rule rule, std::string_view manufacturer, std::string_view model);

// In the order of a sorted list box: without regard to case, ties by byte order.
void sort_device_names(std::vector<std::string>& names);

}  // namespace tavrin
