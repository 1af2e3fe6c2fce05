#include "protocol/answer_parser.h"

#include <gtest/gtest.h>

#include <vector>

#include "protocol_fakes.h"

namespace tavrin {
namespace {

using bytes = std::vector<uint8_t>;
using testing::make_answer;

TEST(AnswerParserFrames, HandsBackTheFirstCompleteFrame) {
    answer_parser parser;
    bytes buffer = make_answer(0xF8, {0x00, 0x01, 0x07}, 0x20);
    const bytes next = make_answer(0xC4, bytes(16, 'A'));
    buffer.insert(buffer.end(), next.begin(), next.end());
    const auto answer = parser.parse_answer(buffer.data(), buffer.size());
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->unit, 0x20);
    EXPECT_EQ(answer->code, 0xF8);
    EXPECT_EQ(answer->length, 4);
    ASSERT_EQ(answer->count, 3u);
    EXPECT_EQ(answer->data[2], 0x07);
    EXPECT_EQ(parser.state(), 0);
}

TEST(AnswerParserFrames, NothingForBrokenOrUnfinishedFrames) {
    answer_parser parser;
    bytes bad = make_answer(0xC4, bytes(16, 'C'));
    bad.back() ^= 1;
    EXPECT_FALSE(parser.parse_answer(bad.data(), bad.size()));
    const bytes good = make_answer(0xC4, bytes(16, 'D'));
    EXPECT_FALSE(parser.parse_answer(good.data(), 10));
    const auto rest = parser.parse_answer(good.data() + 10, good.size() - 10);
    ASSERT_TRUE(rest);
    EXPECT_EQ(rest->count, 16u);
    EXPECT_EQ(rest->data[15], 'D');
}

TEST(AnswerParserFrames, LengthZeroHasNoChecksumAndNoData) {
    answer_parser parser;
    const bytes empty{0x55, 0x01, 0xAA, 0xD5, 0xE3, 0x00, 0x00};
    const auto answer = parser.parse_answer(empty.data(), empty.size());
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->length, 0);
    EXPECT_EQ(answer->count, 0u);
}

}  // namespace
}  // namespace tavrin
