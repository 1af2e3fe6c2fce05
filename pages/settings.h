#pragma once
// The settings of the pages by name, in the units a person reads: one table per page
// (volume_settings.cpp, input_settings.cpp, peq_settings.cpp, filter_settings.cpp,
// power_settings.cpp) gives each setting's name, unit, range and step, how to read it
// from a parameter block and how to apply it through the page logic. Everything that
// takes settings by name goes through this one mechanism: `set` and `show`, their
// `--names` list and completion, and the editing and comparing of blocks without an
// amplifier (preset files, site files).
//
// A value is read as the block stores it ("printed as stored"), in the grammar `set`
// takes back. Applying a value through the page logic gives the page's clamps and
// dependent fields (the power budget, a hold raised by the attack); a value equal to
// what the block already holds is left alone, so that `set B $(show A)` copies A
// exactly, even a value the page could not give.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/page_context.h"
#include "protocol/amp_params.h"

namespace tavrin {

class setting_desk;

// A checked value: a number, or the index of one of the setting's words.
struct setting_value {
    double number = 0;
    size_t word = 0;
};

// What applying a value through the page logic came to, besides the block it left.
struct apply_note {
    // Why the block's state does not allow the setting (a power class this tool does
    // not know); empty when it was applied.
    std::string refused;
    // The value was cut back by other values as they stood (two power limits sharing
    // a budget): `apply_settings` applies it once more after the others.
    bool cut_by_others = false;
};

struct setting_def {
    std::string name;   // "ch1.peq2.gain"
    std::string unit;   // "dB", "Hz", "%", "W", "mA", "s", "ms", "ohm", "dB/oct" or empty
    std::string range;  // "-20.0 to 20.0"; the words for a setting of words
    std::string step;   // how a value between steps is taken: "0.5, toward 0"; empty for words
    // The words the value is one of (any case); empty for a number.
    std::vector<std::string> words;
    // A number without a fraction ("440", not "440.5").
    bool whole = false;
    // The value as the block stores it, in `set`'s grammar; nothing when the block
    // gives none (the limits of a power class this tool does not know).
    std::function<std::optional<std::string>(const param_block&)> read;
    // Applies a checked value through the page logic of `desk`.
    std::function<apply_note(setting_desk& desk, const setting_value& value)> apply;
    // Lower stages are applied first. Stage 0 holds what decides where other values
    // land: the power class (its own limits), PBTL and the speaker impedance (its own
    // limiter set).
    int stage = 1;
};

// Each page's table.
std::vector<setting_def> volume_page_settings();
std::vector<setting_def> input_page_settings();
std::vector<setting_def> peq_page_settings();
std::vector<setting_def> filter_page_settings();
std::vector<setting_def> power_page_settings();

// Every setting, in the order of the tabs: the order `show` prints them in.
const std::vector<setting_def>& all_settings();
// The setting of that name, or null.
const setting_def* find_setting(std::string_view name);

// The value as typed, checked against the setting's grammar; the error names both.
std::optional<setting_value> parse_value(const setting_def& def, std::string_view text,
                                         std::string* error = nullptr);

// One NAME=VALUE, and what became of it.
struct setting_request {
    const setting_def* def = nullptr;
    std::string value;  // as typed
};
// Reads "NAME=VALUE" into `requests`; an error text (unknown name, unreadable value,
// a setting given twice) and nothing added when it is not one.
std::string add_request(std::vector<setting_request>& requests, std::string_view word);

struct setting_outcome {
    bool ok = false;
    // The setting as the block holds it afterwards ("3.5").
    std::string applied;
    // Why it was not applied (ok false).
    std::string error;
    // The block held the given value already: nothing was applied or sent.
    bool left_alone = false;
};
struct setting_result {
    const setting_def* def = nullptr;
    std::string typed;
    setting_outcome outcome;
};

// The settings named in `names`, in the order they are applied.
std::vector<const setting_def*> apply_order(const std::vector<const setting_def*>& names);

// Applies every request through the page logic in apply_order: on the amplifier of
// `ctx` (the mirror and the commands its pages queue), or on `block` alone (nothing
// is sent anywhere). A value cut back by the others as they stood (two limits sharing
// a budget) is applied once more after the rest, so that lowering one limit makes room
// for raising the other whatever the order they were named in.
std::vector<setting_result> apply_settings(page_context& ctx,
                                           const std::vector<setting_request>& requests);
std::vector<setting_result> apply_to_block(param_block& block,
                                           const std::vector<setting_request>& requests);
// "ch1.level=-3.8 (typed -3.75)"; the typed value only when it differs.
std::string applied_line(const setting_result& result);
// The applied settings that `answer` shows otherwise: "ch1.level=-3.0 (set -3.8)".
std::vector<std::string> disagreements(const std::vector<setting_result>& results,
                                       const param_block& answer);

// Every setting of a block as `show` prints it, in its order; `value` is empty where
// the block gives none.
struct setting_reading {
    const setting_def* def = nullptr;
    std::optional<std::string> value;
};
std::vector<setting_reading> read_settings(const param_block& block);

// The settings two blocks hold differently, in `show`'s order.
struct setting_difference {
    const setting_def* def = nullptr;
    std::optional<std::string> first;
    std::optional<std::string> second;
};
std::vector<setting_difference> compare_settings(const param_block& first,
                                                 const param_block& second);

// --- Reading and writing values -------------------------------------------------------

// The whole text as a decimal number ("-3.75", "+10", ".5"); nothing else around it.
std::optional<double> number_value(std::string_view text);
// The text of a number field as the page reads it: at most `width` characters, the
// longest leading decimal number; unreadable text reads as 0.
double read_typed_decimal(std::string_view text, size_t width);
// As read_typed_decimal, but a whole number: "3.7" reads as 3.
long read_typed_int(std::string_view text, size_t width);
// Lower-case ASCII copy.
std::string lower_case(std::string_view text);
// Fixed notation with `digits` decimals, always with a point; never "-0.0".
std::string fixed_text(double value, int digits);

}  // namespace tavrin
