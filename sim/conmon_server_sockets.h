#pragma once
// conmon-server's two UDP sockets. Both report ICMP errors through their error
// queue (IP_RECVERR), which names the address each error was about: a client that
// closed its socket is recognised by that address and by nothing else. (The same
// error also surfaces on the socket's next send or receive, whatever that one is
// addressed to; it must not be blamed on that datagram's peer.)
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/conmon_server.h"

namespace tavrin::sim {

// A non-blocking UDP socket bound to address:port (network order address, host
// order port) with IP_RECVERR on; -1 on failure.
int open_server_socket(uint32_t address, uint16_t port);

// Takes every queued ICMP error off the socket; returns the addresses they were about.
std::vector<sockaddr_in> drain_socket_errors(int fd);

class socket_port : public conmon_server_port {
  public:
    socket_port(int client_fd, int device_fd) : client_fd_(client_fd), device_fd_(device_fd) {}
    void send_to_client(const sockaddr_in& to, const uint8_t* data, size_t size) override;
    void send_to_device(const sockaddr_in& to, const uint8_t* data, size_t size) override;

    // Reads client_fd's error queue into vanished.
    void collect_errors();
    // Clients whose address drew an ICMP error since the last look.
    std::vector<sockaddr_in> vanished;

  private:
    // Sends once more after an error that belonged to an earlier datagram.
    static bool send_checked(int fd, const sockaddr_in& to, const uint8_t* data, size_t size,
                             std::vector<sockaddr_in>* errors);

    int client_fd_;
    int device_fd_;
};

}  // namespace tavrin::sim
