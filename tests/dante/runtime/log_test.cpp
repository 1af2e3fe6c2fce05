#include "dante/runtime/aud_log.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct captured {
    const char* timestamp_seen = nullptr;
    std::vector<std::pair<int, std::string>> lines;
};

void capture(aud_log_t*, const char* ts, aud_log_level_t level, const char* msg, size_t len,
             void* user) {
    auto* c = static_cast<captured*>(user);
    c->timestamp_seen = ts;
    c->lines.emplace_back(level, std::string(msg, len));
}

class LogTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(aud_log_new("test", &log), AUD_SUCCESS); }
    void TearDown() override { aud_log_delete(log); }
    aud_log_t* log = nullptr;
};

TEST_F(LogTest, LevelNames) {
    EXPECT_STREQ(aud_log_level_name(AUD_LOG_NONE), "None");
    EXPECT_STREQ(aud_log_level_name(AUD_LOG_NOTICE), "Notice");
    EXPECT_STREQ(aud_log_level_name(AUD_LOG_VERBOSE), "Verbose");
    EXPECT_STREQ(aud_log_level_name(8), "Undef");
    EXPECT_STREQ(aud_log_level_name(-1), "Undef");
}

TEST_F(LogTest, NothingIsLoggedUntilBothLevelsAreRaised) {
    captured c;
    aud_log_set_callback(log, capture, &c);
    aud_log_printf(log, AUD_LOG_CRITICAL, "a");
    aud_log_set_level(log, AUD_LOG_VERBOSE);
    aud_log_printf(log, AUD_LOG_CRITICAL, "b");  // callback destination still at None
    EXPECT_TRUE(c.lines.empty());

    aud_log_set_dest_level(log, AUD_LOG_DEST_CALLBACK, AUD_LOG_WARNING);
    aud_log_set_level(log, AUD_LOG_ERROR);
    aud_log_printf(log, AUD_LOG_CRITICAL, "crit %d", 1);
    aud_log_printf(log, AUD_LOG_ERROR, "err");
    aud_log_printf(log, AUD_LOG_WARNING, "warn");  // above the overall level
    aud_log_set_level(log, AUD_LOG_VERBOSE);
    aud_log_printf(log, AUD_LOG_WARNING, "warn2");
    aud_log_printf(log, AUD_LOG_INFO, "info");  // above the destination level
    aud_log_printf(log, AUD_LOG_NONE, "none is never a message level");
    ASSERT_EQ(c.lines.size(), 3u);
    EXPECT_EQ(c.lines[0], (std::pair<int, std::string>{AUD_LOG_CRITICAL, "crit 1"}));
    EXPECT_EQ(c.lines[2].second, "warn2");
    // Callback timestamps are off by default.
    EXPECT_EQ(c.timestamp_seen, nullptr);
    aud_log_set_timestamp(log, AUD_LOG_DEST_CALLBACK, true);
    aud_log_printf(log, AUD_LOG_ERROR, "x");
    ASSERT_NE(c.timestamp_seen, nullptr);
    EXPECT_TRUE(aud_log_enabled(log, AUD_LOG_WARNING));
    EXPECT_FALSE(aud_log_enabled(log, AUD_LOG_INFO));
}

TEST_F(LogTest, TimestampIsFifteenCharactersOfCtime) {
    char ts[AUD_LOG_TIMESTAMP_SIZE];
    struct tm t {};
    t.tm_year = 124;
    t.tm_mon = 5;
    t.tm_mday = 3;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 7;
    t.tm_isdst = -1;
    aud_log_format_timestamp(mktime(&t), ts);
    EXPECT_STREQ(ts, "Jun  3 09:05:07");
    EXPECT_EQ(strlen(ts), 15u);
}

TEST_F(LogTest, FileDestinationWritesTimestampLevelAndNewline) {
    char path[] = "/tmp/aud_log_testXXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_EQ(aud_log_set_file(log, path), AUD_SUCCESS);
    aud_log_set_level(log, AUD_LOG_DEBUG);
    aud_log_set_dest_level(log, AUD_LOG_DEST_FILE, AUD_LOG_DEBUG);
    aud_log_printf(log, AUD_LOG_NOTICE, "aud_test: hello %s", "there");
    aud_log_printf(log, AUD_LOG_ERROR, "already ends\n");
    aud_log_set_timestamp(log, AUD_LOG_DEST_FILE, false);
    aud_log_printf(log, AUD_LOG_DEBUG, "plain");
    aud_log_printf(log, AUD_LOG_VERBOSE, "too detailed");
    aud_log_set_file(log, nullptr);

    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    unlink(path);
    ASSERT_EQ(lines.size(), 3u);
    ASSERT_GE(lines[0].size(), 16u);
    EXPECT_EQ(lines[0][15], ' ');
    EXPECT_EQ(lines[0].substr(16), "Notice aud_test: hello there");
    EXPECT_EQ(lines[1].substr(16), "Error already ends");
    EXPECT_EQ(lines[2], "Debug plain");
}

TEST_F(LogTest, StandardStreams) {
    aud_log_set_level(log, AUD_LOG_INFO);
    aud_log_set_dest_level(log, AUD_LOG_DEST_STDERR, AUD_LOG_INFO);
    aud_log_set_timestamp(log, AUD_LOG_DEST_STDERR, false);
    aud_log_set_dest_level(log, AUD_LOG_DEST_DEBUGGER, AUD_LOG_INFO);
    testing::internal::CaptureStderr();
    aud_log_printf(log, AUD_LOG_INFO, "msg");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Info msg\ntest:Info:msg\n");
}

class UdpReceiver {
  public:
    UdpReceiver() {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof addr_;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr_), &len);
        timeval tv{0, 200000};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
    ~UdpReceiver() { close(fd_); }
    const sockaddr_in* addr() const { return &addr_; }
    std::string receive() {
        char buf[4096];
        ssize_t n = recv(fd_, buf, sizeof buf, 0);
        return n < 0 ? std::string("<none>") : std::string(buf, static_cast<size_t>(n));
    }

  private:
    int fd_ = -1;
    sockaddr_in addr_{};
};

TEST_F(LogTest, NetworkDatagramsAreCutAt1458Bytes) {
    UdpReceiver rx;
    ASSERT_EQ(aud_log_set_network_dest(log, 0, rx.addr()), AUD_SUCCESS);
    EXPECT_EQ(aud_log_set_network_dest(log, 2, rx.addr()), AUD_ERR_INVALIDPARAMETER);
    aud_log_set_level(log, AUD_LOG_INFO);
    aud_log_set_dest_level(log, AUD_LOG_DEST_NETWORK, AUD_LOG_INFO);

    aud_log_printf(log, AUD_LOG_WARNING, "short");
    EXPECT_EQ(rx.receive(), "W short");

    std::string big(3000, 'x');
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>('a' + i % 26);
    }
    aud_log_printf(log, AUD_LOG_INFO, "%s", big.c_str());
    std::string first = rx.receive();
    std::string second = rx.receive();
    std::string third = rx.receive();
    EXPECT_EQ(first.size(), 1458u);
    EXPECT_EQ(first.substr(0, 2), "I ");
    EXPECT_EQ(second.size(), 1458u);
    EXPECT_EQ(first.substr(2) + second + third, big);

    // With timestamps: "<15 chars> I message".
    aud_log_set_timestamp(log, AUD_LOG_DEST_NETWORK, true);
    aud_log_printf(log, AUD_LOG_INFO, "stamped");
    std::string stamped = rx.receive();
    ASSERT_EQ(stamped.size(), 15u + 1 + 2 + 7);
    EXPECT_EQ(stamped.substr(15), " I stamped");

    aud_log_set_network_dest(log, 0, nullptr);
    aud_log_printf(log, AUD_LOG_INFO, "gone");
    EXPECT_EQ(rx.receive(), "<none>");
}

TEST_F(LogTest, MessagesLongerThanTheBufferAreCut) {
    captured c;
    aud_log_set_callback(log, capture, &c);
    aud_log_set_level(log, AUD_LOG_INFO);
    aud_log_set_dest_level(log, AUD_LOG_DEST_CALLBACK, AUD_LOG_INFO);
    std::string huge(AUD_LOG_MESSAGE_MAX * 2, 'q');
    aud_log_printf(log, AUD_LOG_INFO, "%s", huge.c_str());
    ASSERT_EQ(c.lines.size(), 1u);
    EXPECT_EQ(c.lines[0].second.size(), static_cast<size_t>(AUD_LOG_MESSAGE_MAX - 1));
}

}  // namespace
