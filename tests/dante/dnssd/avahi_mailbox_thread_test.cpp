// The hand-over of replies from Avahi's poll thread to the reference's owner.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <thread>

#include "dante/dnssd/internal/dt_dnssd_avahi_mailbox.h"

namespace {

bool readable(int fd, int ms = 0) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, ms) == 1;
}

dt_avahi_reply numbered(uint32_t n) {
    dt_avahi_reply r;
    r.interface_index = n;
    r.name = "Amp-" + std::to_string(n);
    return r;
}

TEST(AvahiMailbox, SocketIsReadableExactlyWhileRepliesWait) {
    dt_avahi_mailbox box;
    ASSERT_TRUE(box.open());
    EXPECT_FALSE(readable(box.fd()));
    EXPECT_TRUE(box.take().empty());

    for (uint32_t i = 0; i < 1000; ++i) {  // more than a socket buffer of bytes
        box.post(numbered(i));
    }
    ASSERT_TRUE(readable(box.fd()));
    // The owner's loop peeks before processing; the byte must still be there after.
    char byte;
    EXPECT_EQ(recv(box.fd(), &byte, 1, MSG_PEEK | MSG_DONTWAIT), 1);

    std::deque<dt_avahi_reply> all = box.take();
    ASSERT_EQ(all.size(), 1000u);
    EXPECT_EQ(all.front().name, "Amp-0");
    EXPECT_EQ(all.back().interface_index, 999u);
    EXPECT_FALSE(readable(box.fd()));

    box.post(numbered(7));
    EXPECT_TRUE(readable(box.fd()));
}

// A producer thread posting while the owner takes: nothing lost, nothing reordered,
// and the owner never sleeps on a socket that hides waiting replies.
TEST(AvahiMailbox, RepliesFromAnotherThreadArriveInOrder) {
    dt_avahi_mailbox box;
    ASSERT_TRUE(box.open());
    constexpr uint32_t count = 20000;
    std::thread producer([&] {
        for (uint32_t i = 0; i < count; ++i) {
            box.post(numbered(i));
        }
    });
    uint32_t next = 0;
    while (next < count) {
        ASSERT_TRUE(readable(box.fd(), 5000)) << "stuck at " << next;
        for (const dt_avahi_reply& r : box.take()) {
            ASSERT_EQ(r.interface_index, next);
            ++next;
        }
    }
    producer.join();
    EXPECT_FALSE(readable(box.fd()));
}

}  // namespace
