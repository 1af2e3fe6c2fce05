#include "link/session_receiver.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <vector>

#include "tests/protocol/protocol_fakes.h"

namespace tavrin {
namespace {

using bytes = std::vector<uint8_t>;
using testing::make_answer;
using testing::make_segment;
using testing::reseal;

bytes full_answer() {
    bytes data(512);
    std::iota(data.begin(), data.end(), uint8_t{3});
    return make_answer(0xE3, data);
}
bytes location() {
    return make_answer(0xC4, bytes(16, 'A'));
}
bytes edited(bytes b, size_t at, uint8_t value, bool seal = true) {
    b[at] = value;
    if (seal)
        reseal(b);
    return b;
}

struct rig {
    rig() : clock(10000), receiver(device, inbox, clock) {
        device.set_name("PA22-Lobby");
        device.renew_copy();
    }
    receive_status deliver(const bytes& body, const char* sender = "PA22-Lobby",
                           bool amp_vendor = true) {
        return receiver.on_amp_message(sender, body.data(), body.size(), amp_vendor);
    }
    std::vector<bytes> taken() {
        std::vector<bytes> out;
        inbox_frame f;
        while (inbox.pop(f))
            out.emplace_back(f.bytes.begin(), f.bytes.begin() + f.size);
        return out;
    }
    selected_device device;
    frame_inbox inbox;
    fake_time clock;
    session_receiver receiver;
};

TEST(SessionReceiver, TheReceiveCheckTakesOnlyWholeFramesOfTheAmplifier) {
    struct row {
        const char* name;
        bytes body;
        const char* sender;
        receive_status status;
        bool taken;
        uint64_t corrupted;
    };
    const bytes answer = location();
    bytes longer = answer;
    longer.push_back(0);
    const std::vector<row> rows = {
        {"a whole frame", answer, "PA22-Lobby", receive_status::accepted, true, 0},
        {"a seven-byte answer needs no checksum",
         {0x55, 0x01, 0xAA, 0xD5, 0xE3, 0x00, 0x00},
         "PA22-Lobby",
         receive_status::accepted,
         true,
         0},
        {"names compare exactly", answer, "pa22-lobby", receive_status::wrong_sender, false, 0},
        {"a longer name is another", answer, "PA22-Lobby2", receive_status::wrong_sender, false, 0},
        {"no name", answer, nullptr, receive_status::wrong_sender, false, 0},
        {"too short", bytes(answer.begin(), answer.begin() + 6), "PA22-Lobby",
         receive_status::too_short, false, 0},
        {"a length that disagrees", longer, "PA22-Lobby", receive_status::bad_length, false, 1},
        {"a broken checksum", edited(answer, 10, answer[10] ^ 1, false), "PA22-Lobby",
         receive_status::bad_checksum, false, 1},
        {"larger than any answer", make_answer(0xE3, bytes(1100, 1)), "PA22-Lobby",
         receive_status::accepted, false, 0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        rig t;
        EXPECT_EQ(t.deliver(r.body, r.sender), r.status);
        EXPECT_EQ(t.taken().size(), r.taken ? 1u : 0u);
        EXPECT_EQ(t.receiver.corrupted(), r.corrupted);
    }
    // Another vendor's body from the amplifier (its Audinate answers) is not corrupt.
    rig t;
    t.deliver(longer, "PA22-Lobby", false);
    EXPECT_EQ(t.receiver.corrupted(), 0u);
}

TEST(SessionReceiver, TheNameCopyIsWhatCounts) {
    rig t;
    t.device.set_name("Other");
    EXPECT_EQ(t.deliver(location(), "Other"), receive_status::wrong_sender);
    t.device.renew_copy();
    EXPECT_EQ(t.deliver(location(), "Other"), receive_status::accepted);
}

TEST(SessionReceiver, SegmentsAreReassembledWithinTheGapAndOnlyWhole) {
    const bytes frame = full_answer();
    using step = std::function<void(rig&)>;
    const auto piece = [&](size_t offset, size_t n, uint8_t id) {
        return [=](rig& t) { t.deliver(make_segment(frame, offset, n, id)); };
    };
    const auto wait = [](uint32_t ms) { return [=](rig& t) { t.clock.advance(ms); }; };
    struct row {
        const char* name;
        std::vector<step> steps;
        size_t frames;  // whole frames taken
        uint64_t dropped;
    };
    bytes past_end = make_segment(frame, 400, 120, 9);
    past_end = edited(edited(past_end, 11, 0x03, false), 12, 0x90);  // offset 912 + 120 > 1024
    bytes huge_total = edited(edited(make_segment(frame, 0, 400, 9), 9, 0x04, false), 10, 0x01);
    bytes stub{0x55, 0x01, 0xAA, 0xD5, 0xD1, 0x00, 0x02, 0x09, 0x00};
    reseal(stub);
    const std::vector<row> rows = {
        {"two pieces within the gap", {piece(0, 400, 9), wait(1400), piece(400, 120, 9)}, 1, 0},
        {"out of order", {piece(400, 120, 9), piece(0, 400, 9)}, 1, 0},
        {"after the gap a new transfer starts",
         {piece(0, 400, 9), wait(1600), piece(400, 120, 9)},
         0,
         0},
        {"the restarted transfer completes",
         {piece(0, 400, 9), wait(1600), piece(400, 120, 9), wait(100), piece(0, 400, 9)},
         1,
         0},
        {"the gap across the tick's wrap-around",
         {[](rig& t) { t.clock.set(0xFFFFFF00u); }, piece(0, 400, 9), wait(0x200),
          piece(400, 120, 9)},
         1,
         0},
        {"another transfer is ignored while one runs",
         {piece(0, 400, 9), wait(1000), piece(400, 120, 10)},
         0,
         0},
        {"an ignored piece does not refresh the gap",
         {piece(0, 400, 9), wait(1000), piece(400, 120, 10), wait(600), piece(400, 120, 10),
          piece(0, 400, 10)},
         1,
         0},
        {"a repeated piece overshoots",
         {piece(0, 400, 9), piece(0, 400, 9), piece(400, 120, 9)},
         0,
         0},
        {"overlapping pieces that leave a hole", {piece(0, 260, 9), piece(100, 260, 9)}, 0, 1},
        {"a piece past the buffer", {[&](rig& t) { t.deliver(past_end); }}, 0, 1},
        {"a total larger than the buffer", {[&](rig& t) { t.deliver(huge_total); }}, 0, 1},
        {"transfer id 0", {piece(0, 400, 0)}, 0, 1},
        {"too short for a segment", {[&](rig& t) { t.deliver(stub); }}, 0, 1},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        rig t;
        for (const step& s : r.steps)
            s(t);
        const std::vector<bytes> got = t.taken();
        ASSERT_EQ(got.size(), r.frames);
        if (r.frames == 1) {
            EXPECT_EQ(got[0], frame);
        }
        EXPECT_EQ(t.receiver.dropped(), r.dropped);
    }
}

TEST(FrameInbox, AFullInboxMakesRoomByDroppingTheOldest) {
    frame_inbox inbox;
    for (uint8_t i = 0; i < frame_inbox::slot_count + 2; ++i) {
        const bytes f = make_answer(0xC4, bytes(1, i));
        frame_view v;
        ASSERT_EQ(decode_frame(f.data(), f.size(), v), frame_status::ok);
        inbox.push(f.data(), f.size(), v);
    }
    EXPECT_EQ(inbox.dropped(), 2u);
    inbox_frame f;
    ASSERT_TRUE(inbox.pop(f));
    EXPECT_EQ(f.view.data[0], 2);  // 0 and 1 made room
    EXPECT_EQ(f.view.code, 0xC4);
    EXPECT_EQ(inbox.waiting(), frame_inbox::slot_count - 1);
}

}  // namespace
}  // namespace tavrin
