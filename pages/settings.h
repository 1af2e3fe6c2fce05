#pragma once
// The settings of the pages by name, in the units a person reads: what `tavrin-cli
// set NAME=VALUE` applies (through the same page logic as a click or a typed value,
// with the same clamps and the same command bytes) and what `tavrin-cli show` prints.
// Each page family lists its own settings (volume_setting_names.cpp and so on); the order
// of all_settings() is the order `show` prints them in.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/page_context.h"
#include "protocol/amp_params.h"

namespace tavrin {

struct setting_outcome {
    bool ok = false;
    // The value as applied after clamping, in the setting's own units ("3.5").
    std::string applied;
    // Why the value was refused (ok false): names the value at fault.
    std::string error;
};

struct setting_def {
    std::string name;   // "ch1.peq2.gain"
    std::string unit;   // "dB", "Hz", "%", "W", "mA", "s", "ms" or empty
    std::string range;  // for the documentation: "-20.0 to 20.0", "on|off"
    // Checks a typed value without touching anything; the error text when it is not
    // readable. `set` checks every value first, so that nothing is sent on a bad one.
    std::function<std::optional<std::string>(std::string_view value)> check;
    // Applies a typed value through the page logic: writes amp_params and queues the
    // page's command.
    std::function<setting_outcome(page_context& ctx, std::string_view value)> apply;
    // The value in a block, in the same units, as `set` would take it back.
    std::function<std::string(const param_block& block)> show;
};

// Each family's settings; an empty list until the family's page exists.
std::vector<setting_def> volume_setting_names();
std::vector<setting_def> input_setting_names();
std::vector<setting_def> peq_setting_names();
std::vector<setting_def> filter_setting_names();
std::vector<setting_def> power_setting_names();

// Every setting, in the order of the tabs.
const std::vector<setting_def>& all_settings();
// The setting of that name, or null.
const setting_def* find_setting(std::string_view name);

}  // namespace tavrin
