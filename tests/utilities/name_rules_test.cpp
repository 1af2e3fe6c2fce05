// What the amplifier accepts as a name and a location, and the location's bytes.
#include "utilities/name_rules.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(name_rules, device_names_the_routing_layer_accepts) {
    for (const char* ok : {"Amp-1", "A", "stage-left-2", "0123456789012345678901234567890"})
        EXPECT_EQ(device_name_problem(ok), "") << ok;
    EXPECT_NE(device_name_problem(""), "");
    EXPECT_NE(device_name_problem("01234567890123456789012345678901"), "");  // 32
    for (const char* bad : {"-Amp", "Amp-", "Amp 1", "Amp_1", "Amp.1", "Amp\xC3\xA9"})
        EXPECT_NE(device_name_problem(bad), "") << bad;
}

TEST(name_rules, location_bytes_are_latin1) {
    EXPECT_EQ(location_bytes_of(""), std::string());
    EXPECT_EQ(location_bytes_of("Hall A"), "Hall A");
    EXPECT_EQ(location_bytes_of("\xC3\xA9t\xC3\xA9 \xC2\xA0\xC3\xBF"), "\xE9t\xE9 \xA0\xFF");
    // Sixteen characters fit although they take more than 16 UTF-8 bytes.
    const std::string sixteen =
        "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
        "abcdefghijkl";
    ASSERT_TRUE(location_bytes_of(sixteen));
    EXPECT_EQ(location_bytes_of(sixteen)->size(), 16u);
    EXPECT_EQ(location_problem(sixteen), "");

    EXPECT_FALSE(location_bytes_of(sixteen + "x"));
    EXPECT_NE(location_problem(sixteen + "x").find("16 characters (this one has 17)"),
              std::string::npos);
    // Beyond Latin-1, control characters, broken or overlong UTF-8.
    for (const char* bad : {"\xE2\x82\xAC", "a\nb", "\x7F", "\xC2\x85", "\xC3", "\xC3(", "\xC1\x81",
                            "\xE0\x80\xA0", "\xFF"}) {
        EXPECT_FALSE(location_bytes_of(bad)) << bad;
        EXPECT_NE(location_problem(bad).find("Latin-1"), std::string::npos) << bad;
    }
}

TEST(name_rules, location_text_reads_back_what_was_sent) {
    location_field bytes{};
    const std::string sent = *location_bytes_of("Caf\xC3\xA9 du Nord");
    std::copy(sent.begin(), sent.end(), bytes.begin());
    EXPECT_EQ(location_text_of(bytes), "Caf\xC3\xA9 du Nord");
    // Sixteen bytes without a zero end at the end; a zero ends the text early.
    bytes.fill('x');
    EXPECT_EQ(location_text_of(bytes), std::string(16, 'x'));
    bytes[3] = 0;
    EXPECT_EQ(location_text_of(bytes), "xxx");
}

}  // namespace
}  // namespace tavrin
