#include "dante/runtime/byte_view.h"

#include <gtest/gtest.h>

namespace {

TEST(ByteView, ReadsBigEndianAndRefusesShortReadsWithoutMoving) {
    const uint8_t bytes[] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE};
    aud_byte_reader r = aud_reader_make(bytes, sizeof bytes);
    uint8_t u8 = 0;
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    ASSERT_TRUE(aud_read_be16(&r, &u16));
    EXPECT_EQ(u16, 0x1234);
    ASSERT_TRUE(aud_read_be32(&r, &u32));
    EXPECT_EQ(u32, 0x56789ABCu);
    EXPECT_FALSE(aud_read_be16(&r, &u16));
    EXPECT_EQ(r.pos, 6u);
    EXPECT_FALSE(aud_read_be32(&r, &u32));
    ASSERT_TRUE(aud_read_u8(&r, &u8));
    EXPECT_EQ(u8, 0xDE);
    EXPECT_FALSE(aud_read_u8(&r, &u8));
    EXPECT_EQ(aud_reader_remaining(&r), 0u);
}

TEST(ByteView, SkipSeekCopyAndHugeLengthsAreBounded) {
    const uint8_t bytes[] = {1, 2, 3, 4};
    aud_byte_reader r = aud_reader_make(bytes, sizeof bytes);
    uint8_t out[8] = {};
    EXPECT_FALSE(aud_reader_skip(&r, SIZE_MAX));
    EXPECT_FALSE(aud_read_bytes(&r, out, 5));
    EXPECT_TRUE(aud_reader_skip(&r, 1));
    EXPECT_TRUE(aud_read_bytes(&r, out, 3));
    EXPECT_EQ(out[2], 4);
    EXPECT_TRUE(aud_reader_seek(&r, 4));
    EXPECT_FALSE(aud_reader_seek(&r, 5));
    aud_byte_reader sub{};
    EXPECT_TRUE(aud_reader_seek(&r, 1));
    EXPECT_TRUE(aud_read_view(&r, 2, &sub));
    EXPECT_EQ(sub.size, 2u);
    EXPECT_EQ(sub.data[0], 2);
    EXPECT_FALSE(aud_read_view(&r, 2, &sub));

    aud_byte_reader empty = aud_reader_make(nullptr, 100);
    EXPECT_FALSE(aud_read_u8(&empty, out));
}

TEST(ByteView, RandomAccessAndStrings) {
    const uint8_t bytes[] = {0, 6, 'a', 'b', 0, 'c', 'd'};
    aud_byte_reader r = aud_reader_make(bytes, sizeof bytes);
    uint16_t off = 0;
    ASSERT_TRUE(aud_peek_be16_at(&r, 0, &off));
    EXPECT_EQ(off, 6);
    EXPECT_FALSE(aud_peek_be16_at(&r, 6, &off));
    EXPECT_FALSE(aud_peek_be16_at(&r, SIZE_MAX, &off));
    uint32_t u32 = 0;
    EXPECT_FALSE(aud_peek_be32_at(&r, 4, &u32));
    const char* s = nullptr;
    size_t len = 0;
    ASSERT_TRUE(aud_peek_string_at(&r, 2, &s, &len));
    EXPECT_STREQ(s, "ab");
    EXPECT_EQ(len, 2u);
    // No terminator before the end: refused rather than read past it.
    EXPECT_FALSE(aud_peek_string_at(&r, 5, &s, &len));
    EXPECT_FALSE(aud_peek_string_at(&r, 7, &s, &len));
    EXPECT_EQ(r.pos, 0u);
}

TEST(ByteView, WriterStopsAtTheEndAndPatches) {
    uint8_t buf[6] = {};
    aud_byte_writer w = aud_writer_make(buf, sizeof buf);
    ASSERT_TRUE(aud_write_be16(&w, 0));
    ASSERT_TRUE(aud_write_be32(&w, 0x01020304));
    EXPECT_FALSE(aud_write_u8(&w, 9));
    EXPECT_FALSE(aud_write_bytes(&w, "x", 1));
    ASSERT_TRUE(aud_write_be16_at(&w, 0, 0xA0B0));
    EXPECT_FALSE(aud_write_be16_at(&w, 5, 1));
    const uint8_t want[] = {0xA0, 0xB0, 1, 2, 3, 4};
    EXPECT_EQ(memcmp(buf, want, sizeof want), 0);

    uint8_t host[4];
    aud_byte_writer hw = aud_writer_make(host, sizeof host);
    ASSERT_TRUE(aud_write_h32(&hw, 0xCAFEF00D));
    aud_byte_reader hr = aud_reader_make(host, sizeof host);
    uint32_t back = 0;
    ASSERT_TRUE(aud_read_h32(&hr, &back));
    EXPECT_EQ(back, 0xCAFEF00Du);
}

}  // namespace
