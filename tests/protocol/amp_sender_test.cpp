#include "protocol/amp_sender.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "protocol/frame.h"
#include "protocol/hex_text.h"
#include "protocol_fakes.h"

namespace tavrin {
namespace {

using bytes = std::vector<uint8_t>;

class AmpSender : public ::testing::Test {
  protected:
    AmpSender() { device.set_name("PA22-Lobby"); }

    amp_sender make(uint32_t random_value = 6) {
        return amp_sender(
            library, device, [this](const std::string& l) { log.push_back(l); },
            [random_value] { return random_value; });
    }

    static bytes frame_of_size(size_t total) {
        bytes data(total - frame_overhead);
        std::iota(data.begin(), data.end(), uint8_t{0});
        bytes out(total);
        build_frame(0xE3, 0x10, data.data(), data.size(), out.data(), out.size());
        return out;
    }

    testing::recording_sender library;
    selected_device device;
    std::vector<std::string> log;
};

TEST_F(AmpSender, SmallFrameGoesOutWhole) {
    auto sender = make();
    const bytes poll{0x55, 0x11, 0xAA, 0xD5, 0xE3, 0x00, 0x02, 0x01, 0xCB};
    EXPECT_TRUE(sender.send_frame(poll.data(), poll.size()).sent());
    ASSERT_EQ(library.sent.size(), 1u);
    const auto& s = library.sent[0];
    EXPECT_EQ(s.device_name, "PA22-Lobby");
    EXPECT_EQ(s.message_class, 0xFFFF);
    EXPECT_EQ(s.vendor_id, (vendor_id_bytes{'V', 'a', 'r', 'n', 'o', 'l', 'l', 0}));
    EXPECT_EQ(s.body, poll);
    EXPECT_EQ(log,
              std::vector<std::string>{"send 9 bytes to PA22-Lobby device on CONTROL channel"});
}

TEST_F(AmpSender, SegmentsAtTheThreshold) {
    auto sender = make();
    const bytes f399 = frame_of_size(399);
    sender.send_frame(f399.data(), f399.size());
    ASSERT_EQ(library.sent.size(), 1u);
    EXPECT_EQ(library.sent[0].body, f399);

    library.sent.clear();
    const bytes f400 = frame_of_size(400);
    sender.send_frame(f400.data(), f400.size());
    ASSERT_EQ(library.sent.size(), 1u);
    const bytes& seg = library.sent[0].body;
    ASSERT_EQ(seg.size(), 414u);
    EXPECT_EQ(seg[4], segment_code);
    EXPECT_EQ((seg[5] << 8) | seg[6], 407);
}

TEST_F(AmpSender, ParameterWriteTravelsAsTwoSegmentsThatRebuildTheFrame) {
    auto sender = make(300);  // transfer_id = 300 % 255 + 1
    const bytes f = frame_of_size(520);
    EXPECT_TRUE(sender.send_frame(f.data(), f.size()).sent());
    ASSERT_EQ(library.sent.size(), 2u);

    const bytes& a = library.sent[0].body;
    const bytes& b = library.sent[1].body;
    const bytes header_a{0x55, 0x10, 0xA0, 0x7C, 0xD1, 0x01, 0x97,
                         46,   0x00, 0x02, 0x08, 0x00, 0x00};
    const bytes header_b{0x55, 0x10, 0xA0, 0x7C, 0xD1, 0x00, 0x7F,
                         46,   0x00, 0x02, 0x08, 0x01, 0x90};
    EXPECT_EQ(bytes(a.begin(), a.begin() + 13), header_a);
    EXPECT_EQ(bytes(b.begin(), b.begin() + 13), header_b);
    EXPECT_EQ(a.size(), 414u);
    EXPECT_EQ(b.size(), 134u);
    EXPECT_EQ(a.back(), frame_checksum(a.data(), a.size() - 1));
    EXPECT_EQ(b.back(), frame_checksum(b.data(), b.size() - 1));

    bytes joined(a.begin() + 13, a.end() - 1);
    joined.insert(joined.end(), b.begin() + 13, b.end() - 1);
    EXPECT_EQ(joined, f);
}

TEST_F(AmpSender, TransferIdIsNeverZero) {
    auto sender = make(254);  // 254 % 255 + 1 = 255; 255 % 255 + 1 = 1
    const bytes f = frame_of_size(400);
    sender.send_segmented(f.data(), f.size(), 400);
    auto sender2 = make(255);
    sender2.send_segmented(f.data(), f.size(), 400);
    ASSERT_EQ(library.sent.size(), 2u);
    EXPECT_EQ(library.sent[0].body[7], 255);
    EXPECT_EQ(library.sent[1].body[7], 1);
}

TEST_F(AmpSender, HexTextRefusalsAreReportedAndSendNothing) {
    auto sender = make();
    EXPECT_EQ(sender.send_hex_text("PA22-Lobby", "").check, hex_send_check::no_message_data);
    EXPECT_EQ(sender.send_hex_text("nOnE", "55 ").check, hex_send_check::gateway_name);
    EXPECT_TRUE(library.sent.empty());

    // A name merely containing "none" is a real device.
    sender.send_hex_text("nonesuch", "01 ");
    EXPECT_EQ(library.sent.size(), 1u);
}

TEST_F(AmpSender, LogsLocalForNoNameAndTheErrorTextOnFailure) {
    auto sender = make();
    sender.send_hex_text("", "01 02 ");
    library.result = 7;
    EXPECT_EQ(sender.send_hex_text("PA22-Lobby", "01 ").error, 7);
    EXPECT_EQ(log, (std::vector<std::string>{"send 2 bytes to Local device on CONTROL channel",
                                             "ERR- send control message (error 7)"}));
}

TEST_F(AmpSender, OversizedTextIsDroppedAndCounted) {
    auto sender = make();
    const bytes big(hex_binary_capacity + 1, 0x00);
    EXPECT_EQ(sender.send_hex_text("PA22-Lobby", format_hex_text(big.data(), big.size())).check,
              hex_send_check::too_many_tokens);
    EXPECT_TRUE(library.sent.empty());
    EXPECT_EQ(sender.dropped_texts(), 1u);
}

TEST_F(AmpSender, RefusesSegmentationItCannotExpress) {
    auto sender = make();
    const bytes f = frame_of_size(400);
    EXPECT_FALSE(sender.send_segmented(f.data(), f.size(), 0).sent());
    EXPECT_FALSE(sender.send_segmented(f.data(), f.size(), hex_binary_capacity).sent());
    EXPECT_TRUE(library.sent.empty());
}

}  // namespace
}  // namespace tavrin
