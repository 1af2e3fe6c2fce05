#include "platform/utf8.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(Utf8, CutsOnlyBetweenCharacters) {
    EXPECT_EQ(first_chars("Amp-\xc3\xa9t\xc3\xa9", 5), "Amp-\xc3\xa9");
    EXPECT_EQ(first_chars("ab\xc3", 5), "ab");  // a sequence cut short by the text
    EXPECT_EQ(first_bytes("Amp-\xc3\xa9", 5), "Amp-");
    EXPECT_EQ(first_bytes("Amp-\xc3\xa9", 6), "Amp-\xc3\xa9");
    EXPECT_EQ(first_bytes("\xf0\x9f\x94\x8a", 3), "");
}

}  // namespace
}  // namespace tavrin
