// Channel sockets on real sockets: the METERING socket on loopback with and without
// the event loop, and multicast memberships in a private network namespace.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include "conmon_channel_fixture.h"

namespace {

using namespace channel_test;

void send_to(uint32_t address, uint16_t port, const std::vector<uint8_t>& d, uint32_t via = 0) {
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(s, 0);
    if (via) {
        in_addr a{};
        a.s_addr = via;
        ASSERT_EQ(setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, &a, sizeof a), 0);
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = address;
    to.sin_port = htons(port);
    ASSERT_EQ(sendto(s, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
              static_cast<ssize_t>(d.size()));
    close(s);
}

conmon_channels_t* metering_only(recorder* rec, aud_event_loop_t* loop) {
    conmon_channels_config_t config{};
    config.channel_mask = 1u << CONMON_CHANNEL_TYPE_METERING;
    conmon_channels_t* set = nullptr;
    EXPECT_EQ(conmon_channels_new(nullptr, loop, &config, recorder::deliver, rec, &set),
              AUD_SUCCESS);
    return set;
}

TEST(ChannelSocket, MeteringOnLoopbackReadsInBatches) {
    recorder rec;
    conmon_channels_t* set = metering_only(&rec, nullptr);
    ASSERT_NE(set, nullptr);
    conmon_channel_t* ch = conmon_channels_get_channel(set, CONMON_CHANNEL_TYPE_METERING);
    const uint16_t port = conmon_channel_get_unicast_port(ch);
    ASSERT_NE(port, 0);
    conmon_channel_set_receive_batch(ch, 2);
    for (uint16_t seq = 1; seq <= 5; ++seq) {
        send_to(inet_addr("127.0.0.1"), port, datagram(instance(9, 9), seq));
    }
    send_to(inet_addr("127.0.0.1"), port, std::vector<uint8_t>(10, 0));  // too short
    EXPECT_EQ(conmon_channel_process_socket(ch), AUD_SUCCESS);
    EXPECT_EQ(rec.seen.size(), 2u);
    EXPECT_EQ(conmon_channels_process(set), AUD_SUCCESS);
    EXPECT_EQ(conmon_channel_process_socket(ch), AUD_SUCCESS);
    ASSERT_EQ(rec.seen.size(), 5u);
    EXPECT_EQ(rec.seen[4].seqnum, 5);
    // The short datagram was dropped and the socket is still open and empty.
    EXPECT_EQ(conmon_channel_handle_message(ch), AUD_ERR_TIMEDOUT);
    EXPECT_GE(conmon_channel_get_socket(ch), 0);
    conmon_channels_delete(set);
}

TEST(ChannelSocket, EventLoopDeliversAndTerminateUnwatches) {
    aud_event_loop_t* loop = nullptr;
    ASSERT_EQ(aud_event_loop_new(nullptr, &loop), AUD_SUCCESS);
    recorder rec;
    conmon_channels_t* set = metering_only(&rec, loop);
    ASSERT_NE(set, nullptr);
    conmon_channel_t* ch = conmon_channels_get_channel(set, CONMON_CHANNEL_TYPE_METERING);
    EXPECT_EQ(aud_event_loop_watch_count(loop, AUD_SOCKET_SET_READ), 1u);
    send_to(inet_addr("127.0.0.1"), conmon_channel_get_unicast_port(ch),
            datagram(instance(9, 9), 42, {7}));
    for (int pass = 0; pass < 20 && rec.seen.empty(); ++pass) {
        fd_set rset;
        FD_ZERO(&rset);
        int max_fd = 0;
        timeval tv{};
        ASSERT_EQ(aud_event_loop_get_sockets(loop, &rset, nullptr, &max_fd, &tv), AUD_SUCCESS);
        tv = {0, 100000};
        ASSERT_GE(select(max_fd, &rset, nullptr, nullptr, &tv), 0);
        ASSERT_EQ(aud_event_loop_process(loop, &rset, nullptr), AUD_SUCCESS);
    }
    ASSERT_EQ(rec.seen.size(), 1u);
    EXPECT_EQ(rec.seen[0].body, std::vector<uint8_t>{7});
    EXPECT_EQ(conmon_channel_terminate_sockets(ch), AUD_SUCCESS);
    EXPECT_EQ(conmon_channel_terminate_sockets(ch), AUD_SUCCESS);
    EXPECT_EQ(aud_event_loop_watch_count(loop, AUD_SOCKET_SET_READ), 0u);
    EXPECT_EQ(conmon_channel_get_socket(ch), -1);
    conmon_channels_delete(set);
    aud_event_loop_delete(loop);
}

// Runs the test body in a fresh network namespace with loopback up and multicast
// capable, and returns to the original namespace afterwards.
class PrivateNetwork : public ::testing::Test {
  protected:
    void SetUp() override {
        original_ = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
        if (original_ < 0 || unshare(CLONE_NEWNET) != 0) {
            GTEST_SKIP() << "needs the right to create a network namespace";
        }
        entered_ = true;
        int s = socket(AF_INET, SOCK_DGRAM, 0);
        ifreq req{};
        strncpy(req.ifr_name, "lo", IFNAMSIZ - 1);
        ASSERT_EQ(ioctl(s, SIOCGIFFLAGS, &req), 0);
        req.ifr_flags = static_cast<short>(req.ifr_flags | IFF_UP | IFF_MULTICAST);
        ASSERT_EQ(ioctl(s, SIOCSIFFLAGS, &req), 0);
        close(s);
        lo_ = if_nametoindex("lo");
    }
    void TearDown() override {
        if (entered_) {
            EXPECT_EQ(setns(original_, CLONE_NEWNET), 0);
        }
        if (original_ >= 0) {
            close(original_);
        }
    }
    int original_ = -1;
    bool entered_ = false;
    uint32_t lo_ = 0;
};

TEST_F(PrivateNetwork, SerialGroupIsLeftWhenTheLinkGoesDownAndJoinedAgain) {
    recorder rec;
    conmon_channels_config_t config{};
    config.channel_mask = 1u << CONMON_CHANNEL_TYPE_SERIAL;
    conmon_channels_t* set = nullptr;
    ASSERT_EQ(conmon_channels_new(nullptr, nullptr, &config, recorder::deliver, &rec, &set),
              AUD_SUCCESS);
    conmon_channel_t* ch = conmon_channels_get_channel(set, CONMON_CHANNEL_TYPE_SERIAL);
    const uint32_t lo_addr = inet_addr("127.0.0.1");
    const uint32_t group = htonl(CONMON_CHANNEL_SERIAL_GROUP);
    conmon_channel_network_t net{lo_, lo_addr, true, static_cast<uint16_t>(lo_), true};

    ASSERT_EQ(conmon_channels_set_networks(set, &net, 1), AUD_SUCCESS);
    EXPECT_EQ(conmon_channel_get_joined(ch, 0), lo_addr);
    EXPECT_GE(conmon_channels_get_tx_socket(set, 0), 0);
    send_to(group, CONMON_CHANNEL_SERIAL_PORT, datagram(instance(5, 5), 1), lo_addr);
    usleep(20000);
    conmon_channel_process_socket(ch);
    ASSERT_EQ(rec.seen.size(), 1u);
    EXPECT_EQ(rec.seen[0].channel, CONMON_CHANNEL_TYPE_SERIAL);

    net.link_up = false;
    ASSERT_EQ(conmon_channels_set_networks(set, &net, 1), AUD_SUCCESS);
    EXPECT_EQ(conmon_channel_get_joined(ch, 0), 0u);
    // Another program on the host still in the group must not make the channel hear it.
    int bystander = socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    setsockopt(bystander, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(bystander, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(CONMON_CHANNEL_SERIAL_PORT);
    ASSERT_EQ(bind(bystander, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    ip_mreq mreq{};
    mreq.imr_multiaddr.s_addr = group;
    mreq.imr_interface.s_addr = lo_addr;
    ASSERT_EQ(setsockopt(bystander, IPPROTO_IP, IP_ADD_MEMBERSHIP, &mreq, sizeof mreq), 0);
    send_to(group, CONMON_CHANNEL_SERIAL_PORT, datagram(instance(5, 5), 2), lo_addr);
    usleep(20000);
    conmon_channel_process_socket(ch);
    EXPECT_EQ(rec.seen.size(), 1u);
    close(bystander);

    net.link_up = true;
    ASSERT_EQ(conmon_channels_set_networks(set, &net, 1), AUD_SUCCESS);
    EXPECT_EQ(conmon_channel_get_joined(ch, 0), lo_addr);
    send_to(group, CONMON_CHANNEL_SERIAL_PORT, datagram(instance(5, 5), 3), lo_addr);
    usleep(20000);
    conmon_channel_process_socket(ch);
    ASSERT_EQ(rec.seen.size(), 2u);
    EXPECT_EQ(rec.seen[1].seqnum, 3);
    conmon_channels_delete(set);
}

}  // namespace
