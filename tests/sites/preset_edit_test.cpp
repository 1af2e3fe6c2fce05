// Editing a preset file offline, and two blocks side by side.
#include <gtest/gtest.h>

#include "pages/settings.h"
#include "sites/block_rows.h"
#include "sites/preset_edit.h"

namespace tavrin {
namespace {

std::vector<uint8_t> file_of(const param_block& block) {
    const preset_bytes b = build_preset_file(block);
    return std::vector<uint8_t>(b.begin(), b.end());
}

std::vector<setting_request> requests_of(std::vector<std::string> words) {
    std::vector<setting_request> out;
    for (const std::string& w : words)
        EXPECT_EQ(add_request(out, w), "") << w;
    return out;
}

TEST(preset_edit, only_the_settings_and_the_checksum_change) {
    param_block block{};
    block[147] = 4;  // 4 ohm
    for (size_t i = 176; i < 512; ++i)
        block[i] = static_cast<uint8_t>(i * 13 + 1);
    std::vector<uint8_t> file = file_of(block);
    file[6] = 0x5A;  // bytes 2 to 9 are not interpreted: kept as they are
    uint8_t sum = 0;
    for (size_t i = 0; i < preset_checksum_offset; ++i)
        sum = static_cast<uint8_t>(sum + file[i]);
    file[preset_checksum_offset] = sum;

    const preset_edit e =
        edit_preset(file, requests_of({"master=73", "ch1.level=-40", "speaker=8"}));
    ASSERT_EQ(e.status, preset_status::ok);
    EXPECT_TRUE(e.changed);
    EXPECT_FALSE(e.refused);
    std::vector<std::string> lines;
    for (const setting_result& r : e.results)
        lines.push_back(applied_line(r));
    EXPECT_EQ(lines, (std::vector<std::string>{"speaker=8", "master=74 (typed 73)",
                                               "ch1.level=-25.0 (typed -40)"}));
    const preset_read back = read_preset_file(e.bytes.data(), e.bytes.size());
    ASSERT_EQ(back.status, preset_status::ok);
    EXPECT_EQ(back.block[0], 37);
    EXPECT_EQ(back.block[147], 8);
    EXPECT_TRUE(std::equal(file.begin(), file.begin() + 10, e.bytes.begin()));
    EXPECT_TRUE(
        std::equal(file.begin() + 10 + 176, file.begin() + 522, e.bytes.begin() + 10 + 176));

    // Nothing to change, and a file that is no preset.
    EXPECT_FALSE(edit_preset(e.bytes, requests_of({"master=74"})).changed);
    file[300] ^= 1;
    EXPECT_EQ(edit_preset(file, {}).status, preset_status::checksum_error);
}

TEST(block_rows, settings_or_every_field_side_by_side_in_columns) {
    param_block a{}, b{};
    a[0] = 30;
    b[0] = 40;
    a[1] = 250;
    b[1] = 215;
    EXPECT_EQ(aligned_rows(setting_rows(a, b)),
              "master     60   80\n"
              "ch1.level  0.0  -3.5\n");
    b[511] = 7;
    b[149] = 'X';
    const std::string raw = aligned_rows(field_rows(a, b), "> ");
    EXPECT_NE(raw.find("> location       \"\"   \"X\"\n"), std::string::npos) << raw;
    EXPECT_NE(raw.find("> fw_hour        0    7\n"), std::string::npos) << raw;
    EXPECT_TRUE(setting_rows(a, a).empty());
}

}  // namespace
}  // namespace tavrin
