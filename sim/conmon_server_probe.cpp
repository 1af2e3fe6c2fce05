#include "sim/conmon_server_probe.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "dante/conmon/conmon_wire.h"

namespace tavrin::sim {

std::string probe_conmon_server(uint16_t port, int timeout_ms) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return std::string("no socket: ") + std::strerror(errno);
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    server.sin_port = htons(port);
    std::vector<uint8_t> buf(CONMON_IPC_BUFFER_SIZE);
    conmon_ipc_head_t head{CONMON_IPC_VERSION_DEFAULT, 0, 1, CONMON_IPC_OPCODE_CONNECT, 0};
    size_t size = 0;
    std::string why;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0 ||
        conmon_ipc_encode_connect(&head, "lab-probe", CONMON_CONNECT_MANUAL, buf.data(), buf.size(),
                                  &size) != AUD_SUCCESS ||
        ::send(fd, buf.data(), size, 0) < 0) {
        why = std::string("cannot send: ") + std::strerror(errno);
    } else {
        pollfd p{fd, POLLIN, 0};
        conmon_ipc_head_t answer{};
        ssize_t n = -1;
        if (::poll(&p, 1, timeout_ms) == 1) {
            n = ::recv(fd, buf.data(), buf.size(), 0);
        }
        if (n < 0) {
            why = errno == ECONNREFUSED ? "nothing listens on the port" : "no answer";
        } else if (conmon_ipc_head_decode(buf.data(), static_cast<size_t>(n), &answer) !=
                       AUD_SUCCESS ||
                   answer.opcode != CONMON_IPC_OPCODE_CONNECT || answer.seqnum != 1 ||
                   (answer.status & CONMON_IPC_STATUS_CODE_MASK) != CONMON_IPC_STATUS_RESPONSE) {
            why = "an answer that is no connect response";
        } else {
            conmon_ipc_head_t bye{CONMON_IPC_VERSION_DEFAULT, 0, 2, CONMON_IPC_OPCODE_DISCONNECT,
                                  CONMON_IPC_STATUS_NO_RESPONSE};
            if (conmon_ipc_encode_head_only(&bye, buf.data(), buf.size(), &size) == AUD_SUCCESS) {
                (void)!::send(fd, buf.data(), size, 0);
            }
        }
    }
    ::close(fd);
    return why;
}

}  // namespace tavrin::sim
