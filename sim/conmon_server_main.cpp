// conmon-server: the lab's local ConMon server.
//   conmon-server [--port N]           serve ConMon clients on 127.0.0.1:N (default 8900)
//   conmon-server --probe [--port N]   ask the server there whether it answers
// Devices are found through DNS-SD (_netaudio-cmc._udp) and reached over UDP as
// sim/README.md describes.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "sim/conmon_server.h"
#include "sim/conmon_server_probe.h"
#include "sim/conmon_server_sockets.h"
#include "sim/dnssd_browser.h"
#include "sim/dnssd_publisher.h"
#include "sim/lab_device.h"
#include "sim/lab_loop.h"

namespace {

using namespace tavrin::sim;

volatile std::sig_atomic_t stop_requested = 0;
void on_signal(int) {
    stop_requested = 1;
}

conmon_server_identity make_identity() {
    conmon_server_identity id;
    char host[256] = "lab";
    ::gethostname(host, sizeof host - 1);
    id.device_name = host;
    id.device_name.resize(std::min<size_t>(id.device_name.size(), 31));
    id.dns_name = std::string(host) + ".local";
    lab_id_bytes(std::string("conmon-server:") + host, id.instance.device_id);
    id.instance.process_id = static_cast<uint16_t>(::getpid());
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) == 0) {
        // Real interfaces first, loopback only when there is nothing else.
        for (int pass = 0; pass < 2 && id.interfaces.empty(); ++pass) {
            for (ifaddrs* i = list; i; i = i->ifa_next) {
                if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP) ||
                    (pass == 0 && (i->ifa_flags & IFF_LOOPBACK))) {
                    continue;
                }
                conmon_interface_entry_t e{};
                e.index = if_nametoindex(i->ifa_name);
                e.ip_address = reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr;
                if (id.interfaces.size() < CONMON_MAX_INTERFACES) {
                    id.interfaces.push_back(e);
                }
            }
        }
        ::freeifaddrs(list);
    }
    return id;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned port = CONMON_DEFAULT_SERVER_PORT;
    bool probe = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            port = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else if (std::strcmp(argv[i], "--probe") == 0) {
            probe = true;
        } else {
            std::fprintf(stderr, "usage: conmon-server [--probe] [--port N]\n");
            return 2;
        }
    }
    if (port == 0 || port > 0xFFFF) {
        std::fprintf(stderr, "conmon-server: bad port\n");
        return 2;
    }
    if (probe) {
        const std::string why = probe_conmon_server(static_cast<uint16_t>(port), 1000);
        if (!why.empty()) {
            std::fprintf(stderr, "conmon-server: 127.0.0.1:%u: %s\n", port, why.c_str());
            return 1;
        }
        std::printf("ok\n");
        return 0;
    }
    dnssd_quiet();
    std::signal(SIGTERM, on_signal);
    std::signal(SIGINT, on_signal);

    int client_fd = open_server_socket(htonl(INADDR_LOOPBACK), static_cast<uint16_t>(port));
    int device_fd = open_server_socket(htonl(INADDR_ANY), 0);
    if (client_fd < 0 || device_fd < 0) {
        std::fprintf(stderr, "conmon-server: cannot open 127.0.0.1:%u: %s\n", port,
                     std::strerror(errno));
        return 1;
    }
    socket_port sockets(client_fd, device_fd);
    conmon_server server(sockets, make_identity());
    lab_loop loop;
    uint8_t buffer[CONMON_IPC_BUFFER_SIZE + 1];

    auto forget_vanished = [&] {
        for (const sockaddr_in& a : sockets.vanished) {
            server.forget_client(a);
        }
        sockets.vanished.clear();
    };
    loop.watch(client_fd, [&](int fd, short revents) {
        if (revents & POLLERR) {
            sockets.collect_errors();
        }
        for (;;) {
            sockaddr_in from{};
            socklen_t len = sizeof from;
            ssize_t n =
                ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 0 && errno == ECONNREFUSED) {
                // A queued ICMP error surfaced here; its queue entry names the client.
                sockets.collect_errors();
                continue;
            }
            if (n < 0) {
                break;
            }
            if (static_cast<size_t>(n) > CONMON_IPC_BUFFER_SIZE) {
                std::fprintf(stderr, "conmon-server: dropped an oversized request\n");
                continue;
            }
            server.on_client_datagram(from, buffer, n, lab_loop::now_ms());
        }
        forget_vanished();
    });
    loop.watch(device_fd, [&](int fd, short) {
        drain_socket_errors(fd);  // devices that vanished are DNS-SD's business
        for (;;) {
            sockaddr_in from{};
            socklen_t len = sizeof from;
            ssize_t n =
                ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 0 && errno == ECONNREFUSED) {
                drain_socket_errors(fd);
                continue;
            }
            if (n < 0) {
                break;
            }
            server.on_device_datagram(from, buffer, n, lab_loop::now_ms());
        }
        forget_vanished();
    });

    std::set<int> dnssd_fds;
    dnssd_browser* browser_ptr = nullptr;
    auto sync_dnssd = [&] {
        std::vector<int> now = browser_ptr->sockets();
        for (int fd : dnssd_fds) {
            loop.unwatch(fd);
        }
        dnssd_fds.clear();
        for (int fd : now) {
            dnssd_fds.insert(fd);
            loop.watch(fd, [&, fd](int, short) { browser_ptr->process(fd); });
        }
    };
    dnssd_browser browser(
        "_netaudio-cmc._udp.",
        [&](const dnssd_browser::resolved& r) {
            server_device d;
            d.name = r.name;
            d.address = r.address;
            d.instance_valid = parse_instance_txt(r.txt.data(), r.txt.size(), d.instance);
            server.device_up(d);
            forget_vanished();
        },
        [&](const std::string& name) {
            server.device_down(name);
            forget_vanished();
        },
        [&] { sync_dnssd(); });
    browser_ptr = &browser;
    if (int e = browser.start(); e != 0) {
        std::fprintf(stderr,
                     "conmon-server: cannot browse DNS-SD (error %d); is avahi-daemon up?\n", e);
        return 1;
    }
    sync_dnssd();
    std::fprintf(stderr, "conmon-server: serving 127.0.0.1:%u\n", port);

    uint64_t next_resubscribe = lab_loop::now_ms() + 5000;
    uint64_t next_rebrowse = 0;
    while (!stop_requested) {
        uint64_t now = lab_loop::now_ms();
        uint64_t deadline = std::min(server.next_deadline(), next_resubscribe);
        int wait = deadline <= now ? 0 : static_cast<int>(std::min<uint64_t>(deadline - now, 200));
        loop.run_once(wait);
        now = lab_loop::now_ms();
        server.on_tick(now);
        browser.tick(now);
        // avahi-daemon went away: browse again until it is back.
        if (browser.failed() && now >= next_rebrowse) {
            browser.stop();
            if (browser.start() == 0) {
                std::fprintf(stderr, "conmon-server: browsing DNS-SD again\n");
            }
            sync_dnssd();
            next_rebrowse = now + 1000;
        }
        if (now >= next_resubscribe) {
            server.resubscribe_all();
            next_resubscribe = now + 5000;
        }
        forget_vanished();
    }
    browser.stop();
    ::close(client_fd);
    ::close(device_fd);
    return 0;
}
