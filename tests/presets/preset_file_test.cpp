#include "presets/preset_file.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace tavrin {
namespace {

using bytes = std::vector<uint8_t>;

bytes as_vector(const preset_bytes& b) {
    return bytes(b.begin(), b.end());
}

TEST(PresetFile, AllZeroBlockIsHeaderZerosAndChecksum2A) {
    const bytes file = as_vector(build_preset_file(param_block{}));
    bytes expected(523, 0);
    expected[0] = 0x55;
    expected[1] = 0xD5;
    expected[522] = 0x2A;
    EXPECT_EQ(file, expected);
}

TEST(PresetFile, LayoutCarriesFirmwareDateBlockAndSum) {
    param_block block{};
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<uint8_t>(i * 7 + 3);
    const preset_bytes file = build_preset_file(block);
    // Firmware date (block bytes 508..511) in front, then four zeros.
    EXPECT_EQ((bytes{file[2], file[3], file[4], file[5]}),
              (bytes{block[508], block[509], block[510], block[511]}));
    EXPECT_EQ((bytes{file[6], file[7], file[8], file[9]}), (bytes{0, 0, 0, 0}));
    EXPECT_TRUE(std::equal(block.begin(), block.end(), file.begin() + 10));
    const unsigned sum = std::accumulate(file.begin(), file.begin() + 522, 0u);
    EXPECT_EQ(file[522], static_cast<uint8_t>(sum));

    const preset_read back = read_preset_file(file.data(), file.size());
    ASSERT_EQ(back.status, preset_status::ok);
    EXPECT_EQ(back.block, block);
}

TEST(PresetFile, WrongSizeOrHeaderIsFileError) {
    const bytes good = as_vector(build_preset_file(param_block{}));
    bytes short_file(good.begin(), good.end() - 1);
    bytes long_file = good;
    long_file.push_back(0);
    bytes bad_header = good;
    bad_header[1] = 0xD6;
    bad_header[522] += 1;  // still summing right: only the header is wrong
    bytes bad_first = good;
    bad_first[0] = 0x54;
    bad_first[522] -= 1;
    for (const bytes* b : {&short_file, &long_file, &bad_header, &bad_first}) {
        const preset_read r = read_preset_file(b->data(), b->size());
        EXPECT_EQ(r.status, preset_status::file_error);
        EXPECT_EQ(r.block, param_block{});
    }
    EXPECT_EQ(read_preset_file(nullptr, 0).status, preset_status::file_error);
    EXPECT_EQ(preset_status_text(preset_status::file_error), "File error.");
}

TEST(PresetFile, AnyChangedByteIsChecksumErrorOnlyTheUninterpretedOnesAreNot) {
    const bytes good = as_vector(build_preset_file(param_block{}));
    for (size_t at : {size_t{2}, size_t{9}, size_t{10}, size_t{300}, size_t{521}, size_t{522}}) {
        bytes changed = good;
        changed[at] ^= 0x01;
        EXPECT_EQ(read_preset_file(changed.data(), changed.size()).status,
                  preset_status::checksum_error)
            << "byte " << at;
    }
    // Bytes 2..9 are carried along but not interpreted: a file whose front date
    // disagrees with its block still loads when the sum is right.
    bytes odd_date = good;
    odd_date[3] = 0x10;
    odd_date[522] = static_cast<uint8_t>(odd_date[522] + 0x10);
    EXPECT_EQ(read_preset_file(odd_date.data(), odd_date.size()).status, preset_status::ok);
    EXPECT_EQ(preset_status_text(preset_status::checksum_error), "Load file error.");
}

}  // namespace
}  // namespace tavrin
