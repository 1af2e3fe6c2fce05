// conmon-server's sockets on real loopback sockets: an ICMP error is blamed on the
// client whose address drew it, never on the next datagram's peer.
#include "sim/conmon_server_sockets.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "sim/conmon_server_registry.h"

namespace tavrin::sim {
namespace {

struct client_socket {
    int fd = -1;
    sockaddr_in address{};
    client_socket() {
        fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t len = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &len);
    }
    ~client_socket() { close(); }
    void close() {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
    bool received(int timeout_ms = 1000) const {
        pollfd p{fd, POLLIN, 0};
        uint8_t b[64];
        return ::poll(&p, 1, timeout_ms) == 1 && ::recv(fd, b, sizeof b, 0) > 0;
    }
};

bool error_queued(int fd) {
    pollfd p{fd, 0, 0};
    return ::poll(&p, 1, 1000) == 1 && (p.revents & POLLERR);
}

TEST(conmon_server_sockets, a_vanished_client_is_not_mistaken_for_the_next_one) {
    const int server = open_server_socket(htonl(INADDR_LOOPBACK), 0);
    ASSERT_GE(server, 0);
    socket_port port(server, server);
    client_socket gone, alive;
    const uint8_t event[] = {1, 2, 3};

    gone.close();
    port.send_to_client(gone.address, event, sizeof event);
    ASSERT_TRUE(error_queued(server)) << "no ICMP error for the closed port";
    // The next datagram goes to a client that is still there: it arrives, and the
    // error is put down to the address that drew it.
    port.send_to_client(alive.address, event, sizeof event);
    EXPECT_TRUE(alive.received());
    ASSERT_EQ(port.vanished.size(), 1u);
    EXPECT_TRUE(same_endpoint(port.vanished[0], gone.address));

    // Errors read from the queue on their own name their address too.
    port.vanished.clear();
    port.send_to_client(gone.address, event, sizeof event);
    ASSERT_TRUE(error_queued(server));
    port.collect_errors();
    ASSERT_EQ(port.vanished.size(), 1u);
    EXPECT_TRUE(same_endpoint(port.vanished[0], gone.address));
    ::close(server);
}

}  // namespace
}  // namespace tavrin::sim
