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
    // The value was cut back because of other values as they stood (a power budget
    // shared by two limits): `set` applies it once more after the other settings.
    bool cut_by_others = false;
};

// Shows a setting's value in a block, in the units `set` takes.
using setting_show_fn = std::function<std::string(const param_block& block)>;

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
    setting_show_fn show;
    // `set` applies lower stages first, then the order of all_settings(). Stage 0
    // holds what decides where other values land: the power class (its own limits),
    // PBTL and the speaker impedance (its own limiter set).
    int stage = 1;
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
// The settings named in `names`, in the order `set` applies them.
std::vector<const setting_def*> apply_order(const std::vector<const setting_def*>& names);

// One NAME=VALUE of `set`, and what became of it.
struct setting_request {
    const setting_def* def = nullptr;
    std::string value;  // as typed
};
struct setting_result {
    const setting_def* def = nullptr;
    std::string typed;
    setting_outcome outcome;
};

// Applies every request through the page logic, in apply_order. A value cut back by
// the others as they stood (two limits sharing a budget) is applied once more after
// the rest, so that lowering one limit makes room for raising the other whatever the
// order they were named in.
std::vector<setting_result> apply_settings(page_context& ctx,
                                           const std::vector<setting_request>& requests);
// "ch1.level=-3.8 (typed -3.75)"; the typed value only when it differs.
std::string applied_line(const setting_result& result);
// The applied settings that `answer` shows otherwise: "ch1.level=-3.0 (set -3.8)".
std::vector<std::string> disagreements(const std::vector<setting_result>& results,
                                       const param_block& answer);

// --- Reading values -----------------------------------------------------------------

// The whole text as a decimal number ("-3.75", "10", ".5"); nothing else around it.
std::optional<double> number_value(std::string_view text);
// The text of a number field as the page reads it: at most `width` characters, the
// longest leading decimal number; unreadable text reads as 0.
double read_typed_decimal(std::string_view text, size_t width);
// As read_typed_decimal, but a whole number: "3.7" reads as 3.
long read_typed_int(std::string_view text, size_t width);
// "on"/"off" in any case.
std::optional<bool> parse_on_off(std::string_view text);
// Lower-case ASCII copy.
std::string lower_case(std::string_view text);

// Ready-made parts of a setting_def.
// A value that must be a number; the error names the setting.
std::function<std::optional<std::string>(std::string_view)> number_check(std::string name);
// A value that must be one of `words` (any case).
std::function<std::optional<std::string>(std::string_view)> word_check(
    std::string name, std::vector<std::string> words);
std::string on_off_text(bool on);
// A value that was applied: the setting as the mirror now holds it.
setting_outcome applied_outcome(const amp_params& params, const setting_show_fn& show);
setting_outcome refused_outcome(std::string error);
// Fixed notation with `digits` decimals, always with a point.
std::string fixed_text(double value, int digits);

}  // namespace tavrin
