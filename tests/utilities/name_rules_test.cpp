// What the amplifier accepts as a name and a location, and the location's bytes.
#include "utilities/name_rules.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

// The rename field, tavrin-cli rename and their error texts share this rule: at most
// 16 characters (counted as characters), of A-Z, a-z, 0-9 and "-".
TEST(name_rules, device_names_a_rename_may_give) {
    for (const char* ok : {"Amp-1", "A", "stage-left-2", "0123456789abcdef"})
        EXPECT_EQ(device_name_problem(ok), "") << ok;
    std::string accented;
    for (int i = 0; i < 16; ++i)
        accented += "\xC3\xA9";
    const struct {
        std::string name;
        const char* why;
    } refused[] = {
        {"", "a device name cannot be empty"},
        {"0123456789abcdefg", "a device name has at most 16 characters"},
        {accented, "a device name holds only the letters A to Z and a to z, digits and hyphens"},
        {"Amp 1", "a device name holds only the letters A to Z and a to z, digits and hyphens"},
        {"Amp_1", "a device name holds only the letters A to Z and a to z, digits and hyphens"},
        {"Amp.1", "a device name holds only the letters A to Z and a to z, digits and hyphens"},
        {"-Amp", "a device name cannot start or end with a hyphen"},
        {"Amp-", "a device name cannot start or end with a hyphen"},
    };
    for (const auto& r : refused)
        EXPECT_EQ(device_name_problem(r.name), r.why) << r.name;
    EXPECT_EQ(max_rename_chars, 16u);
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
