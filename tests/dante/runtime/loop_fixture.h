#pragma once
// A standalone event loop on a clock that only moves when the test says so.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "dante/runtime/aud_event_loop.h"

struct fake_clock {
    aud_utime_t now{1000, 0};
    static void read(aud_utime_t* out, void* user) { *out = static_cast<fake_clock*>(user)->now; }
    void advance_ms(uint64_t ms) { now = aud_utime_add(now, aud_utime_from_ms(ms)); }
};

class LoopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(aud_event_loop_new(nullptr, &loop), AUD_SUCCESS);
        aud_event_loop_set_clock(loop, fake_clock::read, &clock);
    }
    void TearDown() override {
        for (int fd : fds) {
            close(fd);
        }
        EXPECT_EQ(aud_event_loop_delete(loop), AUD_SUCCESS);
    }

    // A socket pair whose first end is readable.
    int readable_socket() {
        int sv[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_DGRAM, 0, sv), 0);
        fds.push_back(sv[0]);
        fds.push_back(sv[1]);
        EXPECT_EQ(write(sv[1], "x", 1), 1);
        return sv[0];
    }

    // get_sockets + a non-blocking select + process.
    aud_error_t pass() {
        fd_set rd;
        fd_set wr;
        FD_ZERO(&rd);
        FD_ZERO(&wr);
        int max_fd = 0;
        timeval tv{};
        aud_event_loop_get_sockets(loop, &rd, &wr, &max_fd, &tv);
        timeval zero{};
        if (select(max_fd, &rd, &wr, nullptr, &zero) < 0) {
            return AUD_ERR_SYSTEM;
        }
        return aud_event_loop_process(loop, &rd, &wr);
    }

    timeval wait_now() {
        timeval tv{};
        aud_event_loop_get_sockets(loop, nullptr, nullptr, nullptr, &tv);
        return tv;
    }

    aud_event_loop_t* loop = nullptr;
    fake_clock clock;
    std::vector<int> fds;
};
