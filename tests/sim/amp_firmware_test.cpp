#include <gtest/gtest.h>

#include "amp_test_frames.h"

namespace tavrin::sim {
namespace {

using testing::answer;
using testing::command;
using testing::send;
using testing::single_answer;

// The fixed update frames, byte for byte as the tool queues them.
const byte_vector resume_query = {0x55, 0x11, 0xAA, 0xD5, 0xF8, 0x00, 0x03, 0x00, 0x02, 0xE2};
const byte_vector checksum_query = {0x55, 0x11, 0xAA, 0xD5, 0xF8, 0x00, 0x03, 0x00, 0x00, 0xE0};
const byte_vector finishing = {0x55, 0x10, 0xAA, 0xD5, 0xF0, 0x00, 0x01, 0xD5};
const byte_vector start_command = command(0xF8, 0x10, {0x00, 0x01, 0x00, 0x00, 0x00, 0x00});
const byte_vector end_marker = command(0xF9, 0x10, {0x00, 0xFF, 0xFF, 0x00});

byte_vector version_write(firmware_date d) {
    return command(0xF8, 0x10, {0x00, 0x01, d.year, d.month, d.day, d.hour});
}

std::vector<uint8_t> make_image(size_t blocks) {
    std::vector<uint8_t> image(blocks * 256);
    uint32_t x = 12345;
    for (auto& b : image) {
        x = x * 1103515245 + 12345;
        b = static_cast<uint8_t>(x >> 16);
    }
    return image;
}

byte_vector block_frame(const std::vector<uint8_t>& image, uint16_t index) {
    std::vector<uint8_t> data = {0x00, static_cast<uint8_t>(index >> 8),
                                 static_cast<uint8_t>(index), 0x08};
    data.insert(data.end(), image.begin() + index * 256, image.begin() + (index + 1) * 256);
    return command(0xF9, 0x10, data);
}

uint16_t block_sum(const std::vector<uint8_t>& image, size_t index) {
    uint32_t s = 0;
    for (size_t i = 0; i < 256; ++i)
        s += image[index * 256 + i];
    return static_cast<uint16_t>(s);
}

uint16_t be16(const answer& a, size_t at) {
    return static_cast<uint16_t>(a.data.at(at) << 8 | a.data.at(at + 1));
}

class AmpFirmware : public ::testing::Test {
  protected:
    fake_time clock{5000};
    virtual_amp amp{clock, amp_config{{22, 1, 1, 1}, 4000}};

    answer expect_answer(const byte_vector& frame, uint8_t unit, uint8_t code) {
        auto a = single_answer(send(amp, frame));
        EXPECT_TRUE(a);
        if (!a)
            return {};
        EXPECT_EQ(a->unit, unit);
        EXPECT_EQ(a->code, code);
        return *a;
    }

    // Sends blocks [from, to) and checks each echoed sum.
    void send_blocks(const std::vector<uint8_t>& image, size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            answer a = expect_answer(block_frame(image, static_cast<uint16_t>(i)), 0x01, 0xF9);
            EXPECT_EQ(be16(a, 0), block_sum(image, i)) << "block " << i;
        }
    }
};

TEST(FirmwareChecksum, SumsTheLowHalvesOfLittleEndianWords) {
    std::vector<uint8_t> image(256, 0);
    for (uint8_t i = 0; i < 8; ++i)
        image[i] = i + 1;
    EXPECT_EQ(firmware_checksum(image.data(), image.size()), 0x0806);
    std::vector<uint8_t> ff(65536 * 4, 0xFF);  // wraps at 16 bits
    EXPECT_EQ(firmware_checksum(ff.data(), ff.size()), static_cast<uint16_t>(65536u * 0xFFFF));
}

TEST_F(AmpFirmware, FreshTransferInstallsTheImageAndRestartsWithTheNewDate) {
    const auto image = make_image(2);
    send(amp, testing::setting(0x08, {0x05, 0xFF}));

    answer r = expect_answer(resume_query, 0x01, 0xF8);
    EXPECT_EQ(r.data.at(2), 0);  // nothing to resume
    expect_answer(start_command, 0x20, 0xF8);
    send_blocks(image, 0, 2);
    expect_answer(end_marker, 0x20, 0xF9);
    answer c = expect_answer(checksum_query, 0x01, 0xF8);
    EXPECT_EQ(be16(c, 2), firmware_checksum(image.data(), image.size()));
    EXPECT_EQ(send(amp, version_write({25, 3, 4, 5})).size(), 1u);
    EXPECT_EQ(amp.firmware(), (firmware_date{22, 1, 1, 1}));  // not before the install

    EXPECT_TRUE(send(amp, finishing).empty());
    EXPECT_TRUE(amp.is_silent());
    EXPECT_EQ(amp.block(), factory_block({25, 3, 4, 5}));
    EXPECT_TRUE(send(amp, finishing).empty());  // the tool's second one finds it restarting
    EXPECT_EQ(amp.restart_count(), 1u);

    clock.advance(4000);
    r = expect_answer(resume_query, 0x01, 0xF8);
    EXPECT_EQ(r.data.at(2), 0);  // an installed image is not resumable
}

TEST_F(AmpFirmware, InterruptedTransferOffersItsWholePagesForResume) {
    const auto image = make_image(40);
    expect_answer(start_command, 0x20, 0xF8);
    send_blocks(image, 0, 37);  // two pages and five blocks, then the tool gives up

    answer r = expect_answer(resume_query, 0x01, 0xF8);
    EXPECT_EQ(r.data.at(2), 1);
    EXPECT_EQ(r.data.at(3), 2);
    EXPECT_EQ(be16(r, 4), firmware_checksum(image.data(), 8192));
    EXPECT_EQ(amp.firmware_blocks_held(), 32u);

    EXPECT_TRUE(send(amp, block_frame(image, 33)).empty());  // out of order: no answer
    send_blocks(image, 32, 40);
    expect_answer(end_marker, 0x20, 0xF9);
    answer c = expect_answer(checksum_query, 0x01, 0xF8);
    EXPECT_EQ(be16(c, 2), firmware_checksum(image.data(), image.size()));
}

TEST_F(AmpFirmware, ResumeWithNoWholePageStartsAtBlockZeroWithoutStartCommand) {
    const auto image = make_image(20);
    expect_answer(start_command, 0x20, 0xF8);
    send_blocks(image, 0, 5);
    answer r = expect_answer(resume_query, 0x01, 0xF8);
    EXPECT_EQ(r.data.at(2), 1);
    EXPECT_EQ(r.data.at(3), 0);
    EXPECT_EQ(be16(r, 4), 0);
    EXPECT_TRUE(send(amp, block_frame(image, 1)).empty());
    send_blocks(image, 0, 20);
    expect_answer(end_marker, 0x20, 0xF9);
}

TEST_F(AmpFirmware, BlockDamagedOnTheWayIsEchoedWithItsOwnSumAndCanBeResent) {
    const auto image = make_image(3);
    expect_answer(start_command, 0x20, 0xF8);
    send_blocks(image, 0, 1);

    auto damaged = block_frame(image, 1);
    damaged[7 + 4 + 10] ^= 0x40;
    damaged.back() = frame_checksum(damaged.data(), damaged.size() - 1);
    answer a = expect_answer(damaged, 0x01, 0xF9);
    EXPECT_NE(be16(a, 0), block_sum(image, 1));  // the tool sees the wrong sum

    send_blocks(image, 1, 3);  // the resend replaces it
    expect_answer(end_marker, 0x20, 0xF9);
    answer c = expect_answer(checksum_query, 0x01, 0xF8);
    EXPECT_EQ(be16(c, 2), firmware_checksum(image.data(), image.size()));
}

TEST_F(AmpFirmware, StepsOutOfOrderInstallNothing) {
    const auto image = make_image(2);
    EXPECT_TRUE(send(amp, block_frame(image, 0)).empty());  // no transfer started
    EXPECT_TRUE(send(amp, end_marker).empty());
    expect_answer(start_command, 0x20, 0xF8);
    EXPECT_TRUE(send(amp, end_marker).empty());  // no block yet
    send_blocks(image, 0, 2);
    EXPECT_EQ(send(amp, version_write({30, 1, 1, 1})).size(), 1u);  // too early: ignored
    EXPECT_TRUE(send(amp, finishing).empty());
    EXPECT_FALSE(amp.is_silent());  // nothing to install before the end marker

    expect_answer(end_marker, 0x20, 0xF9);
    send(amp, finishing);
    EXPECT_TRUE(amp.is_silent());
    EXPECT_EQ(amp.firmware(), (firmware_date{22, 1, 1, 1}));  // no version was written
}

TEST_F(AmpFirmware, StartCommandDiscardsAPreviousPartialImage) {
    const auto image = make_image(20);
    expect_answer(start_command, 0x20, 0xF8);
    send_blocks(image, 0, 18);
    expect_answer(start_command, 0x20, 0xF8);
    EXPECT_EQ(amp.firmware_blocks_held(), 0u);
    EXPECT_TRUE(send(amp, block_frame(image, 1)).empty());
}

}  // namespace
}  // namespace tavrin::sim
