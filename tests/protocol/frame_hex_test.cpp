#include <gtest/gtest.h>

#include <vector>

#include "protocol/frame.h"
#include "protocol/hex_text.h"

namespace tavrin {
namespace {

using bytes = std::vector<uint8_t>;

bytes frame(uint8_t code, uint8_t unit, const bytes& data) {
    bytes out(data.size() + frame_overhead);
    out.resize(build_frame(code, unit, data.data(), data.size(), out.data(), out.size()));
    return out;
}

TEST(Framing, PollAndEmptyFramesHaveTheDocumentedBytes) {
    EXPECT_EQ(frame(0xE3, 0x11, {0x01}),
              (bytes{0x55, 0x11, 0xAA, 0xD5, 0xE3, 0x00, 0x02, 0x01, 0xCB}));
    // No data: length 1, checksum of the first seven bytes.
    const bytes empty = frame(0xF0, 0x10, {});
    ASSERT_EQ(empty.size(), 8u);
    EXPECT_EQ(empty[5], 0x00);
    EXPECT_EQ(empty[6], 0x01);
    EXPECT_EQ(empty[7], 0xD5);
}

TEST(Framing, LengthFieldCarriesLargeFramesBigEndian) {
    const bytes f = frame(0xE3, 0x10, bytes(512, 0x01));
    ASSERT_EQ(f.size(), 520u);
    EXPECT_EQ(f[5], 0x02);
    EXPECT_EQ(f[6], 0x01);
    EXPECT_EQ(f.back(), frame_checksum(f.data(), f.size() - 1));
}

TEST(Framing, RefusesFramesThatDoNotFit) {
    uint8_t out[10];
    const uint8_t data[3] = {1, 2, 3};
    EXPECT_EQ(build_frame(0x01, 0x10, data, 3, out, 10), 0u);
    EXPECT_EQ(build_frame(0x01, 0x10, data, 2, out, 10), 10u);
}

TEST(HexText, FormatsLowercaseWithTrailingBlank) {
    const uint8_t data[] = {0x55, 0x0a, 0xff, 0x00};
    EXPECT_EQ(format_hex_text(data, 4), "55 0a ff 00 ");
    EXPECT_EQ(format_hex_text(data, 0), "");
}

TEST(HexText, ParseRoundTripsEveryByteValue) {
    bytes all(256);
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<uint8_t>(i);
    hex_binary_buffer out;
    size_t size = 0;
    ASSERT_EQ(parse_hex_text(format_hex_text(all.data(), all.size()), out, size), hex_status::ok);
    ASSERT_EQ(size, all.size());
    EXPECT_TRUE(std::equal(all.begin(), all.end(), out.begin()));
}

TEST(HexText, ParseTakesLowByteAndToleratesOddTokens) {
    hex_binary_buffer out;
    size_t size = 0;
    // Runs of blanks separate like one; long tokens keep their low 8 bits; a token
    // without hex digits reads as 0.
    ASSERT_EQ(parse_hex_text("  1ff   0x7C zz AB", out, size), hex_status::ok);
    ASSERT_EQ(size, 4u);
    EXPECT_EQ(out[0], 0xFF);
    EXPECT_EQ(out[1], 0x7C);
    EXPECT_EQ(out[2], 0x00);
    EXPECT_EQ(out[3], 0xAB);
}

TEST(HexText, ParseBoundsTheBinaryBuffer) {
    hex_binary_buffer out;
    size_t size = 99;
    EXPECT_EQ(parse_hex_text("   ", out, size), hex_status::empty);
    EXPECT_EQ(size, 0u);

    const bytes full(hex_binary_capacity, 0x11);
    std::string text = format_hex_text(full.data(), full.size());
    ASSERT_EQ(parse_hex_text(text, out, size), hex_status::ok);
    EXPECT_EQ(size, hex_binary_capacity);

    text += "22 ";
    EXPECT_EQ(parse_hex_text(text, out, size), hex_status::too_many_tokens);
    EXPECT_EQ(size, 0u);
}

}  // namespace
}  // namespace tavrin
