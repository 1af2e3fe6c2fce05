#include "pages/peq_typed_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tavrin {
namespace {

TEST(TypedText, EditsReadTheLeadingNumberOfFiveCharacters) {
    EXPECT_EQ(typed_int("440"), 440);
    EXPECT_EQ(typed_int("12.7"), 12);
    EXPECT_EQ(typed_int("-5"), -5);
    EXPECT_EQ(typed_int(""), 0);
    EXPECT_EQ(typed_int("abc"), 0);
    EXPECT_EQ(typed_int("-"), 0);
    EXPECT_EQ(typed_int("1234567"), 12345);
    EXPECT_EQ(typed_int(" +7"), 7);

    EXPECT_DOUBLE_EQ(typed_decimal("3.7"), 3.7);
    EXPECT_DOUBLE_EQ(typed_decimal("-.5"), -0.5);
    EXPECT_DOUBLE_EQ(typed_decimal("0.29"), 0.29);
    EXPECT_DOUBLE_EQ(typed_decimal("1.2.3"), 1.2);
    EXPECT_DOUBLE_EQ(typed_decimal("-12.55"), -12.5);  // five characters
    EXPECT_EQ(typed_decimal("."), 0);
    EXPECT_EQ(typed_decimal("--1"), 0);
    // No exponents, infinities or NaNs, which the C conversion would take.
    EXPECT_EQ(typed_decimal("1e3"), 1);
    EXPECT_EQ(typed_decimal("inf"), 0);
    EXPECT_EQ(typed_decimal("nan"), 0);
}

TEST(TypedText, CommandLineWordsMustBeNumbersThroughout) {
    EXPECT_EQ(strict_number("1000", true), 1000);
    EXPECT_EQ(strict_number("-3.5", false), -3.5);
    EXPECT_EQ(strict_number(".5", false), 0.5);
    EXPECT_EQ(strict_number("5.", false), 5);
    for (const char* bad : {"", "-", ".", "1.5x", "1e3", "+1", " 1", "1.2.3", "inf", "nan", "0x10"})
        EXPECT_FALSE(strict_number(bad, false)) << bad;
    EXPECT_FALSE(strict_number("1.5", true));
    // Digits beyond a double's range are still numbers, far out or nothing at all.
    const std::string huge(400, '9');
    EXPECT_EQ(*strict_number(huge, true), HUGE_VAL);
    EXPECT_EQ(*strict_number("-" + huge, true), -HUGE_VAL);
    EXPECT_EQ(*strict_number("0." + std::string(400, '0') + "1", false), 0);
}

}  // namespace
}  // namespace tavrin
