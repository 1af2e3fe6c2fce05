#pragma once
// How the Parametric EQ and Filter pages read their number edits, and how tavrin-cli
// reads the same settings. An edit never refuses its text: it reads like the C
// conversions (the leading number, 0 when there is none), from at most five
// characters. A command line is stricter: the whole word must be a number.
#include <optional>
#include <string_view>

namespace tavrin {

// The edits hold five characters; only that many are read.
constexpr size_t typed_text_limit = 5;

// The leading whole number of the text, or 0 ("12.7" reads 12, "abc" 0).
int typed_int(std::string_view text);
// The leading decimal number of the text, with a point whatever the locale, or 0.
double typed_decimal(std::string_view text);

// The whole word as a number, or nothing: an optional "-", digits and at most one
// point, with a digit somewhere. `whole` refuses the point.
std::optional<double> strict_number(std::string_view word, bool whole);

}  // namespace tavrin
