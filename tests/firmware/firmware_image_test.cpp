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
using testing::firmware_data_file;
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
        const image_result r = parse(firmware_text({1}, 16, header));
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
}

TEST(FirmwareImage, AddressRecordsAndGapsJoinWithoutAGap) {
    std::string text = "10D5150B1101\r\n";
    text += hex_record(0x02, 0x0000, {0x10, 0x00});  // extended segment: 0x10000
    text += hex_record(0x00, 0x0000, {1, 2, 3, 4});
    text += hex_record(0x00, 0x0010, {5, 6});              // a gap: joined in file order
    text += hex_record(0x03, 0x0000, {0, 0, 0x80, 0});     // start segment address
    text += hex_record(0x04, 0x0000, {0x00, 0x08});        // extended linear: 0x80000
    text += hex_record(0x05, 0x0000, {0, 8, 0x01, 0x00});  // start linear address
    text += hex_record(0x00, 0x0000, {7});
    text += hex_record(0x01, 0x0000, {});
    text += "\r\n \r\n";  // blank lines after the end are no records
    const image_result r = parse(text);
    ASSERT_EQ(r.status, image_status::ok) << r.detail;
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

    // Mixed line ends, blank lines and trailing blanks change nothing.
    std::string mixed = "10D5150B1101\n\n" + hex_record(0, 0, {9, 8}, " \t\r\n") + "\r\n\n" +
                        hex_record(0, 2, {7}, "\n") + hex_record(1, 0, {}, "");
    EXPECT_EQ(head(parse(mixed).image, 3), (bytes{9, 8, 7}));
}

// The data files are what showed each fault: a file the tool once sent and reported
// "Update Finished." for. good.hex is a well-formed file of the maker's kind.
TEST(FirmwareFiles, EveryDamagedFileIsRefusedAtItsFault) {
    struct file_case {
        const char* file;
        image_status status;
        size_t line;
    };
    const file_case cases[] = {
        {"cut_at_2000.hex", image_status::bad_digits, 46},
        {"header_only.hex", image_status::no_data, 0},
        {"one_digit_changed.hex", image_status::bad_checksum, 12},
        {"records_reversed.hex", image_status::out_of_order, 4},
        {"stamp_ffffffff.hex", image_status::bad_version, 1},
        {"stamp_00000000.hex", image_status::bad_version, 1},
    };
    for (const file_case& c : cases) {
        const file_read read = read_firmware_file(firmware_data_file(c.file));
        ASSERT_EQ(read.status, file_status::ok) << c.file;
        EXPECT_EQ(read.image.status, c.status) << c.file << ": " << read.image.detail;
        EXPECT_EQ(read.image.line, c.line) << c.file;
        EXPECT_FALSE(read.image.detail.empty()) << c.file;
        EXPECT_TRUE(read.image.image.bytes.empty()) << c.file;
    }

    // The well-formed file: 3840 bytes (i * 7 + 11) % 251 from address 0.
    const file_read good = read_firmware_file(firmware_data_file("good.hex"));
    ASSERT_EQ(good.image.status, image_status::ok) << good.image.detail;
    bytes data(4096, 0);
    for (size_t i = 0; i < 3840; ++i)
        data[i] = static_cast<uint8_t>((i * 7 + 11) % 251);
    EXPECT_EQ(good.image.image.bytes, data);
    EXPECT_EQ(good.image.image.version, (std::array<uint8_t, 4>{23, 10, 15, 14}));
}

TEST(FirmwareRecords, EachFaultIsNamedWithItsLine) {
    const std::string head = "10D5150B1101\r\n" + hex_record(0, 0x0100, {1, 2, 3, 4});
    const std::string end = hex_record(1, 0, {});
    struct record_case {
        std::string text;
        image_status status;
        size_t line;
    };
    std::string changed_checksum = hex_record(0, 0x0104, {5});
    changed_checksum[changed_checksum.size() - 3] ^= 1;
    const record_case cases[] = {
        // Characters that are no hexadecimal digits, anywhere in a record of any type.
        {head + ":030104001234G6AB\r\n" + end, image_status::bad_digits, 3},
        {head + ":02000004zzzz??\r\n" + end, image_status::bad_digits, 3},
        {head + "03010400123456AB\r\n" + end, image_status::bad_digits, 3},
        // A digit too few or too many, and a count larger than the digits.
        {head + ":030104001234561\r\n" + end, image_status::bad_digits, 3},
        {head + ":03010400123456A1B\r\n" + end, image_status::bad_digits, 3},
        {head + ":1001040012\r\n" + end, image_status::bad_digits, 3},
        {head + std::string(2000, '0') + "\r\n" + end, image_status::bad_digits, 3},
        {head + ":020000040001F8\r\n" + end, image_status::bad_checksum, 3},
        {head + changed_checksum + end, image_status::bad_checksum, 3},
        {head + ":0100000400FB\r\n" + end, image_status::bad_digits, 3},
        // No end record, or records after it.
        {head, image_status::no_end, 0},
        {head + end + hex_record(0, 0x0104, {5}), image_status::after_end, 4},
        {head + end + end, image_status::after_end, 4},
        // Data that goes back or overlaps, also across an extended address.
        {head + hex_record(0, 0x0103, {5}) + end, image_status::out_of_order, 3},
        {head + hex_record(0, 0x0000, {5}) + end, image_status::out_of_order, 3},
        {"10D5150B1101\r\n" + hex_record(4, 0, {0, 1}) + hex_record(0, 0, {1}) +
             hex_record(4, 0, {0, 0}) + hex_record(0, 0xFFFF, {2}) + end,
         image_status::out_of_order, 5},
        // Only records without data.
        {"10D5150B1101\r\n" + hex_record(0, 0, {}) + hex_record(4, 0, {0, 1}) + end,
         image_status::no_data, 0},
        // Stamps that are no date: month 13 and 0, day 0 and 32, hour 24.
        {"10D5150D1101\r\n" + hex_record(0, 0, {1}) + end, image_status::bad_version, 1},
        {"10D515001101\r\n" + hex_record(0, 0, {1}) + end, image_status::bad_version, 1},
        {"10D5150B0001\r\n" + hex_record(0, 0, {1}) + end, image_status::bad_version, 1},
        {"10D5150B2001\r\n" + hex_record(0, 0, {1}) + end, image_status::bad_version, 1},
        {"10D5150B1118\r\n" + hex_record(0, 0, {1}) + end, image_status::bad_version, 1},
        {"10D5150B1101x\r\n" + hex_record(0, 0, {1}) + end, image_status::bad_header, 1},
    };
    for (const record_case& c : cases) {
        const image_result r = parse(c.text);
        EXPECT_EQ(r.status, c.status) << c.text << "\n" << r.detail;
        EXPECT_EQ(r.line, c.line) << c.text;
        EXPECT_FALSE(r.detail.empty()) << c.text;
        EXPECT_TRUE(r.image.bytes.empty()) << c.text;
    }
    // The edges of a date pass: month 12, day 31, hour 23 and day 1, hour 0.
    for (const std::string stamp : {"10D5170C1F17", "10D517010100"}) {
        EXPECT_EQ(parse(stamp + "\r\n" + hex_record(0, 0, {1}) + end).status, image_status::ok)
            << stamp;
    }
}

TEST(FirmwareImage, MoreBlocksThanSixteenBitNumbersIsRefused) {
    // 255-byte records up to the last byte that still fits 65536 blocks.
    const bytes data(firmware_max_data, 0xA5);
    std::string text = firmware_text(data, 255);
    const image_result largest = parse(text);
    ASSERT_EQ(largest.status, image_status::ok) << largest.detail;
    EXPECT_EQ(largest.image.blocks(), firmware_max_blocks);
    EXPECT_TRUE(largest.image.valid());

    // One byte more, before the end record.
    text.insert(text.size() - hex_record(1, 0, {}).size(), hex_record(0, 0xFFFF, {0x01}));
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
