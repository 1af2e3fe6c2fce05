// The update state machine driven by hand: answers fed in, wake-ups stepped, and the
// frames it leaves on the ring read back byte for byte.
#include "firmware/firmware_update.h"

#include <gtest/gtest.h>

#include "firmware_fakes.h"
#include "tests/support/session_fakes.h"

namespace tavrin {
namespace {

using testing::answer_frame;
using testing::bytes;
using testing::close_session;
using testing::counting_data;
using testing::image_of;
using testing::open_session;
using testing::scripted_events;
using testing::session_bench;

constexpr uint32_t start_ms = 1'000'000;

bytes block_frame(uint16_t index, const bytes& image) {
    bytes data{0x00, static_cast<uint8_t>(index >> 8), static_cast<uint8_t>(index), 0x08};
    data.insert(data.end(), image.begin() + index * 256, image.begin() + (index + 1) * 256);
    return answer_frame(0xF9, 0x10, data);
}

bytes block_answer(const bytes& image, uint16_t index, int error = 0) {
    unsigned sum = 0;
    for (size_t i = 0; i < 256; ++i)
        sum += image[index * 256u + i];
    sum += error;
    return answer_frame(0xF9, 0x01, {static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum)});
}

bytes resume_answer(uint8_t offer, uint8_t pages, uint16_t sum) {
    return answer_frame(
        0xF8, 0x01,
        {0, 0, offer, pages, static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum)});
}

const bytes resume_query{0x55, 0x11, 0xAA, 0xD5, 0xF8, 0x00, 0x03, 0x00, 0x02, 0xE2};
const bytes start_command{0x55, 0x10, 0xAA, 0xD5, 0xF8, 0x00, 0x07,
                          0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0xE4};
const bytes end_marker{0x55, 0x10, 0xAA, 0xD5, 0xF9, 0x00, 0x05, 0x00, 0xFF, 0xFF, 0x00, 0xE0};
const bytes checksum_query{0x55, 0x11, 0xAA, 0xD5, 0xF8, 0x00, 0x03, 0x00, 0x00, 0xE0};
const bytes version_write{0x55, 0x10, 0xAA, 0xD5, 0xF8, 0x00, 0x07,
                          0x00, 0x01, 0x15, 0x0B, 0x11, 0x01, 0x16};
const bytes finishing{0x55, 0x10, 0xAA, 0xD5, 0xF0, 0x00, 0x01, 0xD5};

class Update : public ::testing::Test {
  protected:
    void start(const bytes& data) {
        image = data;
        ASSERT_TRUE(update.update_start(image_of(data)));
    }
    void answer(const bytes& frame) {
        update.update_on_answer(frame.data(), frame.size(), frame.size());
    }
    // One worker wake-up's call, `ms` after the previous one.
    void step(uint32_t ms = 100) {
        time.advance(ms);
        update.update_step();
    }
    // Every frame waiting on the ring, oldest first.
    std::vector<bytes> drain() {
        std::vector<bytes> out;
        uint8_t buffer[command_ring::slot_size];
        while (size_t n = ring.ring_pop_into(buffer, sizeof buffer))
            out.emplace_back(buffer, buffer + n);
        return out;
    }
    // Through the resume check to the start of a fresh transfer; block 0 is on the ring.
    void to_block_zero() {
        step();
        ASSERT_EQ(drain(), std::vector<bytes>{resume_query});
        answer(resume_answer(0, 0, 0));
        step();      // fresh start decided
        step(2001);  // start command
        ASSERT_EQ(drain(), std::vector<bytes>{start_command});
        answer(answer_frame(0xF8, 0x20, {0}));
        ASSERT_EQ(drain(), std::vector<bytes>{block_frame(0, image)});
    }

    // The amplifier's link comes and goes with its session, driven by hand.
    void disconnect() { close_session(bench.session, bench.time); }
    void reconnect() {
        open_session(bench.session, bench.time);
        bench.step();  // the connecting poll leaves after the update gap
    }

    fake_time time{start_ms};
    session_bench bench;
    command_ring& ring = bench.session.outbox();
    scripted_events events{&time};
    firmware_update update{{bench.session, events, time}};
    bytes image;
};

TEST_F(Update, StartPreparesEverythingAndSetsUpdateModeLast) {
    uint8_t stale[] = {1, 2, 3};
    ring.ring_put_frame(stale, sizeof stale);
    start(counting_data(1024));
    EXPECT_TRUE(update.running());
    EXPECT_EQ(ring.waiting(), 0u);
    EXPECT_EQ(events.running, std::vector<bool>{true});
    EXPECT_EQ(events.progress, (std::vector<std::pair<uint32_t, uint32_t>>{{0, 4}}));
    EXPECT_EQ(update.state(), update_state::resume_check);

    // A second start while one runs changes nothing.
    EXPECT_FALSE(update.update_start(image_of(counting_data(256))));
    EXPECT_EQ(update.total_blocks(), 4u);
    // An image that is not whole blocks is refused.
    update.stop_transfer();
    EXPECT_FALSE(update.update_start(image_of(counting_data(300))));
    EXPECT_FALSE(update.update_start(firmware_image{}));
}

TEST_F(Update, FreshTransferFrameByFrame) {
    start(counting_data(512));
    step();
    EXPECT_EQ(events.statuses, std::vector<std::string>{"Check Resume"});
    EXPECT_EQ(drain(), std::vector<bytes>{resume_query});

    answer(resume_answer(0, 0, 0));
    EXPECT_EQ(update.state(), update_state::fresh_start);
    EXPECT_EQ(events.statuses.back(), "Start uploading firmware.");
    step();
    EXPECT_EQ(update.state(), update_state::start_sent);
    step(2000);
    EXPECT_TRUE(drain().empty());  // not yet more than 2 s
    step(1);
    EXPECT_EQ(drain(), std::vector<bytes>{start_command});

    answer(answer_frame(0xF8, 0x20, {0}));
    EXPECT_EQ(drain(), std::vector<bytes>{block_frame(0, image)});
    EXPECT_EQ(events.progress.back().first, 0u);
    answer(block_answer(image, 0));
    EXPECT_EQ(drain(), std::vector<bytes>{block_frame(1, image)});
    EXPECT_EQ(events.progress.back(), (std::pair<uint32_t, uint32_t>{1, 2}));
    EXPECT_EQ(events.statuses.back(), "Update Pre-Amplifier...");
    // Block 1 at offset 256 = S - 256 is the last: the end marker follows.
    answer(block_answer(image, 1));
    EXPECT_EQ(drain(), std::vector<bytes>{end_marker});
    answer(answer_frame(0xF9, 0x20, {0}));
    EXPECT_EQ(drain(), std::vector<bytes>{checksum_query});

    const uint16_t sum = firmware_checksum(image.data(), image.size());
    answer(answer_frame(0xF8, 0x01,
                        {0, 0, static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum)}));
    char line[32];
    std::snprintf(line, sizeof line, "cksum,%2x%2x", sum >> 8, sum & 0xFF);
    EXPECT_EQ(events.logs, std::vector<std::string>{line});
    EXPECT_EQ(drain(), std::vector<bytes>{version_write});
    answer(answer_frame(0x77, 0x42, {}));  // any answer to the version write
    EXPECT_EQ(drain(), std::vector<bytes>{finishing});

    step(2001);
    EXPECT_EQ(drain(), std::vector<bytes>{finishing});
    EXPECT_EQ(update.state(), update_state::finished);
    EXPECT_TRUE(events.boxes.empty());
    step(2001);
    ASSERT_EQ(events.box_texts(), std::vector<std::string>{"Update Finished."});
    EXPECT_EQ(events.boxes[0].q.caption, "");
    EXPECT_EQ(events.statuses.back(), "");
    EXPECT_FALSE(update.running());
    EXPECT_EQ(events.running, (std::vector<bool>{true, false}));
    EXPECT_EQ(update.result(), update_result::finished);
    EXPECT_TRUE(update.holds_image());  // only a time-out lets the image go
}

TEST_F(Update, EachAnswerRestartsTheResendWait) {
    start(counting_data(256));
    answer(answer_frame(0x00, 0x00, {}));  // unexpected: only the time stamps count
    EXPECT_EQ(update.state(), update_state::resume_check);
    step(2000);
    EXPECT_TRUE(drain().empty());  // 2 s since the answer have not passed
    step(101);
    EXPECT_EQ(drain(), std::vector<bytes>{resume_query});
}

TEST_F(Update, ResumeContinuesAtTheAmplifiersPage) {
    start(counting_data(3 * 4096));
    step();
    drain();
    answer(resume_answer(1, 2, firmware_checksum(image.data(), 8192)));
    EXPECT_EQ(update.state(), update_state::sending);
    EXPECT_EQ(update.block_index(), 32u);
    EXPECT_EQ(drain(), std::vector<bytes>{block_frame(32, image)});
    EXPECT_EQ(events.progress.back(), (std::pair<uint32_t, uint32_t>{32, 48}));
    EXPECT_EQ(events.statuses.back(), "Update Pre-Amplifier...");
}

TEST_F(Update, ResumeAtPageZeroSkipsTheStartCommand) {
    start(counting_data(512));
    step();
    drain();
    answer(resume_answer(1, 0, 0));
    EXPECT_EQ(drain(), std::vector<bytes>{block_frame(0, image)});
    EXPECT_EQ(update.state(), update_state::sending);
}

TEST_F(Update, ResumeOffersThatDoNotFitThisImageStartAfresh) {
    struct offer {
        uint8_t flag, pages;
        bool good_sum;
    };
    // Not offered; wrong checksum; more pages than the image has; exactly all of it
    // (there would be no block left to send).
    for (offer o : {offer{0, 1, true}, offer{1, 1, false}, offer{1, 3, true}, offer{1, 2, true}}) {
        SCOPED_TRACE(::testing::Message() << int(o.flag) << " " << int(o.pages));
        update.stop_transfer();
        start(counting_data(8192));
        step(2001);
        drain();
        const size_t held = std::min<size_t>(o.pages * 4096u, image.size());
        uint16_t sum = firmware_checksum(image.data(), held);
        if (!o.good_sum)
            ++sum;
        answer(resume_answer(o.flag, o.pages, sum));
        EXPECT_EQ(update.state(), update_state::fresh_start);
        EXPECT_TRUE(drain().empty());
    }
    // A resume answer cut short carries no offer.
    update.stop_transfer();
    start(counting_data(8192));
    answer(answer_frame(0xF8, 0x01, {0, 0, 1}));
    EXPECT_EQ(update.state(), update_state::fresh_start);
}

TEST_F(Update, WrongBlockSumResentTwoSecondsAfterTheAnswer) {
    start(counting_data(1024));
    to_block_zero();
    answer(block_answer(image, 0, +1));
    EXPECT_TRUE(drain().empty());
    EXPECT_EQ(update.block_index(), 0u);
    step(1900);
    EXPECT_TRUE(drain().empty());
    step(101);
    EXPECT_EQ(drain(), std::vector<bytes>{block_frame(0, image)});
    // A sum for another state's frame does not count either.
    answer(answer_frame(0xF8, 0x01, {static_cast<uint8_t>(0), static_cast<uint8_t>(0)}));
    EXPECT_EQ(update.block_index(), 0u);
    answer(block_answer(image, 0));
    EXPECT_EQ(drain(), std::vector<bytes>{block_frame(1, image)});
}

TEST_F(Update, BlocksAndEndMarkerOnlyWhileConnected) {
    start(counting_data(512));
    to_block_zero();
    disconnect();
    answer(block_answer(image, 0));
    EXPECT_TRUE(drain().empty());
    step(2001);
    EXPECT_TRUE(drain().empty());
    reconnect();
    step(2001);
    EXPECT_EQ(drain(), std::vector<bytes>{block_frame(1, image)});
    disconnect();
    answer(block_answer(image, 1));
    EXPECT_EQ(update.state(), update_state::end_sent);
    EXPECT_TRUE(drain().empty());
    step(2001);
    EXPECT_TRUE(drain().empty());
    // The requests around the data go out regardless.
    answer(answer_frame(0xF9, 0x20, {0}));
    EXPECT_EQ(drain(), std::vector<bytes>{checksum_query});
}

TEST_F(Update, SecondFinishingCommandWaitsForTwoQuietSeconds) {
    start(counting_data(256));
    to_block_zero();
    answer(block_answer(image, 0));
    answer(answer_frame(0xF9, 0x20, {0}));
    const uint16_t sum = firmware_checksum(image.data(), image.size());
    answer(answer_frame(0xF8, 0x01,
                        {0, 0, static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum)}));
    answer(answer_frame(0xF8, 0x20, {0}));
    drain();
    ASSERT_EQ(update.state(), update_state::finishing);
    for (int i = 0; i < 3; ++i) {
        step(1800);
        answer(answer_frame(0x01, 0x01, {}));
        step(1);
    }
    EXPECT_TRUE(drain().empty());
    EXPECT_EQ(update.state(), update_state::finishing);
    step(2001);
    EXPECT_EQ(drain(), std::vector<bytes>{finishing});
}

TEST_F(Update, ChecksumMismatchFailsTwoSecondsLater) {
    start(counting_data(256));
    to_block_zero();
    answer(block_answer(image, 0));
    answer(answer_frame(0xF9, 0x20, {0}));
    drain();
    // Short answers carry no checksum and are left for the resend.
    answer(answer_frame(0xF8, 0x01, {0, 0, 0x05}));
    EXPECT_EQ(update.state(), update_state::checksum_sent);
    EXPECT_TRUE(events.logs.empty());

    const uint16_t wrong = static_cast<uint16_t>(firmware_checksum(image.data(), 256) ^ 0x0F0A);
    answer(answer_frame(0xF8, 0x01,
                        {0, 0, static_cast<uint8_t>(wrong >> 8), static_cast<uint8_t>(wrong)}));
    EXPECT_EQ(update.state(), update_state::failed);
    EXPECT_TRUE(drain().empty());
    step(2000);  // more than 2 s after the answer fails it
    EXPECT_TRUE(update.running());
    step(1);
    EXPECT_EQ(events.box_texts(), std::vector<std::string>{"Update Failed."});
    EXPECT_FALSE(update.running());
    EXPECT_EQ(update.result(), update_result::failed);
}

TEST_F(Update, ChecksumLogLinePadsWithBlanks) {
    start(counting_data(256));
    to_block_zero();
    answer(block_answer(image, 0));
    answer(answer_frame(0xF9, 0x20, {0}));
    answer(answer_frame(0xF8, 0x01, {0, 0, 0x05, 0xAB}));
    EXPECT_EQ(events.logs, std::vector<std::string>{"cksum, 5ab"});
}

TEST_F(Update, SilenceEndsInATimeoutThatReleasesTheImage) {
    start(counting_data(512));
    int queries = 0;
    uint32_t elapsed = 0;
    while (update.running() && elapsed < 60000) {
        step();
        elapsed += 100;
        queries += static_cast<int>(drain().size());
    }
    EXPECT_GT(elapsed, 30000u);
    EXPECT_LE(elapsed, 30100u);
    EXPECT_EQ(queries, 15);
    EXPECT_EQ(events.box_texts(), std::vector<std::string>{"Update timeout."});
    EXPECT_EQ(events.running, (std::vector<bool>{true, false}));
    EXPECT_EQ(events.statuses.back(), "");
    EXPECT_FALSE(update.holds_image());
    EXPECT_EQ(update.result(), update_result::timeout);
}

TEST_F(Update, TickCountWrapDoesNotStallTheTransfer) {
    time.set(0xFFFFFF00u);
    start(counting_data(256));
    step();
    EXPECT_EQ(drain(), std::vector<bytes>{resume_query});
    step(1000);  // across the wrap
    step(1000);
    EXPECT_TRUE(drain().empty());
    step(100);
    EXPECT_EQ(drain(), std::vector<bytes>{resume_query});
    EXPECT_TRUE(update.running());
}

}  // namespace
}  // namespace tavrin
