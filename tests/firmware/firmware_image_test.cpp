#include "firmware/firmware_image.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "firmware/firmware_load.h"
#include "firmware_fakes.h"

namespace tavrin {
namespace {

using testing::bytes;
using testing::counting_data;
using testing::firmware_text;
using testing::hex_record;
using testing::scripted_events;
using testing::view_of;

image_result parse(const std::string& text) {
    return parse_firmware_image(view_of(text));
}

bytes head(const firmware_image& image, size_t n) {
    return bytes(image.bytes.begin(), image.bytes.begin() + static_cast<long>(n));
}

TEST(FirmwareHeader, VersionStampInEitherCase) {
    for (const char* header : {"10D5150B1101", "10d5150b1101"}) {
        const image_result r = parse(firmware_text({}, 16, header));
        ASSERT_EQ(r.status, image_status::ok) << header;
        EXPECT_EQ(r.image.version, (std::array<uint8_t, 4>{21, 11, 17, 1})) << header;
    }
}

TEST(FirmwareHeader, RefusesWhatIsNotOurHeader) {
    // A plain Intel HEX file starts with its first record.
    EXPECT_EQ(parse(hex_record(0, 0, {1, 2, 3}) + hex_record(1, 0, {})).status,
              image_status::bad_header);
    EXPECT_EQ(parse("10D6150B1101\r\n").status, image_status::bad_header);
    EXPECT_EQ(parse("11D5150B1101\r\n").status, image_status::bad_header);
    // Stray characters in the marker or the version, and a line cut short.
    EXPECT_EQ(parse("1GD5150B1101\r\n").status, image_status::bad_header);
    EXPECT_EQ(parse("10D5150B11x1\r\n").status, image_status::bad_header);
    EXPECT_EQ(parse("10D5150B11").status, image_status::bad_header);
    EXPECT_EQ(parse("1").status, image_status::bad_header);
    EXPECT_EQ(parse("").status, image_status::empty);
}

TEST(FirmwareImage, PaddedToWholeBlocksWithOneMoreWhenExact) {
    const bytes data = counting_data(48);
    const image_result three = parse(firmware_text(data));
    ASSERT_EQ(three.status, image_status::ok);
    ASSERT_EQ(three.image.size(), 256u);
    EXPECT_EQ(head(three.image, 48), data);
    EXPECT_EQ(bytes(three.image.bytes.begin() + 48, three.image.bytes.end()), bytes(208, 0));

    EXPECT_EQ(parse(firmware_text(counting_data(512))).image.size(), 768u);
    EXPECT_EQ(parse(firmware_text(counting_data(257))).image.size(), 512u);
    // No data records at all: one block of zeros.
    const image_result none = parse(firmware_text({}));
    EXPECT_EQ(none.image.bytes, bytes(256, 0));
    EXPECT_EQ(none.image.checksum, 0);
}

TEST(FirmwareImage, OtherRecordTypesSkippedWithoutGap) {
    std::string text = "10D5150B1101\r\n";
    text += hex_record(0x00, 0x0000, {1, 2, 3, 4});
    text += hex_record(0x04, 0x0000, {0x00, 0x01});  // extended linear address
    text += hex_record(0x01, 0x0000, {});            // end of file
    text += hex_record(0x00, 0x9000, {5, 6});        // address ignored: file order counts
    text += hex_record(0x05, 0x0000, {0, 0, 0x80, 0});
    text += hex_record(0x00, 0x0000, {7});
    const image_result r = parse(text);
    ASSERT_EQ(r.status, image_status::ok);
    EXPECT_EQ(head(r.image, 8), (bytes{1, 2, 3, 4, 5, 6, 7, 0}));
}

TEST(FirmwareImage, ChecksumOfLittleEndianWords) {
    const image_result r = parse(firmware_text({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(r.image.checksum, 0x0806);

    // Only the low 16 bits are kept, and the upper half of each word never counts.
    bytes big(1024, 0);
    for (size_t k = 0; k < big.size(); k += 4)
        big[k] = big[k + 1] = big[k + 2] = big[k + 3] = 0xFF;
    EXPECT_EQ(firmware_checksum(big.data(), big.size()), static_cast<uint16_t>(256 * 0xFFFF));
    EXPECT_EQ(firmware_checksum(big.data(), 0), 0);
}

TEST(FirmwareImage, LinesEndingInLineFeedOnly) {
    const bytes data = counting_data(40);
    const image_result lf = parse(firmware_text(data, 16, "10D5150B1101", "\n"));
    ASSERT_EQ(lf.status, image_status::ok);
    EXPECT_EQ(head(lf.image, 40), data);
    EXPECT_EQ(lf.image.checksum, parse(firmware_text(data)).image.checksum);

    // Mixed line ends and blank lines between records change nothing.
    std::string mixed = "10D5150B1101\n\n" + hex_record(0, 0, {9, 8}, "\r\n") + "\r\n\n" +
                        hex_record(0, 0, {7}, "\n");
    EXPECT_EQ(head(parse(mixed).image, 3), (bytes{9, 8, 7}));
    // A header line without any line end carries no records.
    EXPECT_EQ(parse("10D5150B1101").image.bytes, bytes(256, 0));
}

TEST(FirmwareImage, DataRecordsWithStrayOrMissingDigitsAreRefused) {
    const std::string good = hex_record(0, 0, {0x12, 0x34, 0x56});  // ":03000000123456" + sum
    auto with = [](const std::string& record) {
        return parse("10D5150B1101\r\n" + hex_record(0, 0, {1}) + record + hex_record(1, 0, {}))
            .status;
    };
    ASSERT_EQ(with(good), image_status::ok);

    std::string stray = good;
    stray[11] = 'G';  // inside the data digits
    EXPECT_EQ(with(stray), image_status::bad_digits);
    std::string count = good;
    count[2] = 'z';
    EXPECT_EQ(with(count), image_status::bad_digits);
    // One digit too few or too many between the type and the record checksum.
    EXPECT_EQ(with(":030000001234561\r\n"), image_status::bad_digits);
    EXPECT_EQ(with(":03000000123456AB1\r\n"), image_status::bad_digits);
    // A count larger than the digits on the line, also on the last line of the file.
    EXPECT_EQ(with(":10000000123456AB\r\n"), image_status::bad_digits);
    EXPECT_EQ(parse("10D5150B1101\r\n:1000000012").status, image_status::bad_digits);
    // Trailing blanks are harmless; other record types are not examined at all.
    EXPECT_EQ(with(":0300000012345601 \t\r\n"), image_status::ok);
    EXPECT_EQ(with(":02000004zzzz??\r\n"), image_status::ok);
}

TEST(FirmwareImage, MoreBlocksThanSixteenBitNumbersIsRefused) {
    // 255-byte records up to the last byte that still fits 65536 blocks.
    const std::string record = hex_record(0, 0, bytes(255, 0xA5));
    const size_t full_records = firmware_max_data / 255;
    std::string text = "10D5150B1101\r\n";
    text.reserve(text.size() + (full_records + 2) * record.size());
    for (size_t i = 0; i < full_records; ++i)
        text += record;
    text += hex_record(0, 0, bytes(firmware_max_data - full_records * 255, 0xA5));

    const image_result largest = parse(text);
    ASSERT_EQ(largest.status, image_status::ok);
    EXPECT_EQ(largest.image.blocks(), firmware_max_blocks);
    EXPECT_TRUE(largest.image.valid());

    text += hex_record(0, 0, {0x01});
    const image_result over = parse(text);
    EXPECT_EQ(over.status, image_status::too_large);
    EXPECT_TRUE(over.image.bytes.empty());
}

class FirmwareFile : public ::testing::Test {
  protected:
    FirmwareFile()
        : dir_(std::filesystem::temp_directory_path() /
               ("fw_load_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        std::filesystem::create_directories(dir_);
    }
    ~FirmwareFile() override { std::filesystem::remove_all(dir_); }

    std::string write(const std::string& name, const std::string& text) {
        const std::filesystem::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }

    std::filesystem::path dir_;
    scripted_events events;
};

TEST_F(FirmwareFile, LoadsFromPath) {
    const std::string path = write("amp.hex", firmware_text({1, 2, 3, 4, 5, 6, 7, 8}));
    const std::optional<firmware_image> image = load_firmware(path, events);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->checksum, 0x0806);
    EXPECT_TRUE(events.logs.empty());
    EXPECT_TRUE(events.boxes.empty());
}

TEST_F(FirmwareFile, MissingEmptyOrDirectoryFailsWithoutAMessage) {
    EXPECT_FALSE(load_firmware((dir_ / "none.hex").string(), events));
    EXPECT_FALSE(load_firmware(write("empty.hex", ""), events));
    EXPECT_FALSE(load_firmware(dir_.string(), events));
    EXPECT_TRUE(events.logs.empty());
    EXPECT_TRUE(events.boxes.empty());
}

TEST_F(FirmwareFile, FormatErrorsAreLoggedAndShown) {
    for (const std::string& text :
         {hex_record(0, 0, {1, 2}), std::string("10D5150B1101\r\n:02000000zz0000\r\n")}) {
        events = scripted_events();
        EXPECT_FALSE(load_firmware(write("bad.hex", text), events));
        EXPECT_EQ(events.logs, std::vector<std::string>{"Firmware error."});
        ASSERT_EQ(events.boxes.size(), 1u);
        EXPECT_EQ(events.boxes[0].q.text, "Firmware format error.");
        EXPECT_EQ(events.boxes[0].q.caption, "Error");
        EXPECT_EQ(events.boxes[0].q.buttons, box_buttons::ok);
    }
}

TEST_F(FirmwareFile, HugeFileRefusedBeforeReading) {
    // A sparse file: large on paper, no disk space used.
    const std::string path = write("huge.hex", "10D5150B1101\r\n");
    std::filesystem::resize_file(path, firmware_max_file + 1);
    EXPECT_FALSE(load_firmware(path, events));
    ASSERT_EQ(events.boxes.size(), 1u);
    EXPECT_EQ(events.boxes[0].q.text, firmware_too_large_text);
    EXPECT_EQ(events.boxes[0].q.caption, "Error");
}

}  // namespace
}  // namespace tavrin
