#include "sim/device_host.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <avahi-common/error.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>

#include "platform/time_source.h"
#include "sim/device_ports.h"

namespace tavrin::sim {
namespace {

constexpr char conmon_type[] = "_netaudio-cmc._udp.";
constexpr char arcp_type[] = "_netaudio-arc._udp.";

// A non-blocking UDP socket on every local address: on port `wanted` when it is
// free, otherwise (and for 0) on an ephemeral one.
int open_udp(uint16_t wanted, uint16_t& port) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    a.sin_port = htons(wanted);
    if (wanted != 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        port = wanted;
        return fd;
    }
    a.sin_port = 0;
    socklen_t len = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(a.sin_port);
    return fd;
}

std::vector<std::string> words_of(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    std::string w;
    while (in >> w) {
        words.push_back(unescape_ctl_word(w));
    }
    return words;
}

}  // namespace

std::string escape_ctl_word(const std::string& word) {
    std::string out;
    for (unsigned char c : word) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c <= ' ' || c == 0x7F) {
            char code[5];
            std::snprintf(code, sizeof code, "\\%03u", static_cast<unsigned>(c));
            out += code;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string unescape_ctl_word(const std::string& word) {
    std::string out;
    for (size_t i = 0; i < word.size(); ++i) {
        if (word[i] != '\\' || i + 1 >= word.size()) {
            out += word[i];
            continue;
        }
        const auto digit = [&](size_t k) {
            return k < word.size() && word[k] >= '0' && word[k] <= '9';
        };
        if (digit(i + 1) && digit(i + 2) && digit(i + 3)) {
            const int v =
                (word[i + 1] - '0') * 100 + (word[i + 2] - '0') * 10 + (word[i + 3] - '0');
            if (v <= 255) {
                out += static_cast<char>(v);
                i += 3;
                continue;
            }
        }
        out += word[++i];  // "\X" stands for X
    }
    return out;
}

uint32_t lab_host_address() {
    ifaddrs* list = nullptr;
    uint32_t found = htonl(INADDR_LOOPBACK);
    if (::getifaddrs(&list) != 0) {
        return found;
    }
    for (ifaddrs* i = list; i; i = i->ifa_next) {
        if (i->ifa_addr && i->ifa_addr->sa_family == AF_INET && (i->ifa_flags & IFF_UP) &&
            !(i->ifa_flags & IFF_LOOPBACK)) {
            found = reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr;
            break;
        }
    }
    ::freeifaddrs(list);
    return found;
}

device_host::device_host(lab_loop& loop, std::string lab_dir)
    : loop_(loop), lab_dir_(std::move(lab_dir)) {}

device_host::~device_host() {
    stop();
}

std::string device_host::start(const std::vector<lab_device_config>& devices) {
    uint32_t ip = lab_host_address();
    const std::string ports_path = lab_dir_.empty() ? "" : lab_dir_ + "/ports";
    std::map<std::string, device_ports> ports;
    if (!ports_path.empty()) {
        ports = read_device_ports(ports_path);
    }
    for (const lab_device_config& config : devices) {
        auto h = std::make_unique<hosted>(registrar_);
        std::string wire = lab_dir_.empty() ? "" : lab_dir_ + "/" + config.name + ".wire";
        h->device = std::make_unique<lab_device>(config, system_time(), wire, ip);
        device_ports& kept = ports[config.name];
        h->conmon_fd = open_udp(kept.conmon, h->conmon_port);
        h->arcp_fd = open_udp(kept.arcp, h->arcp_port);
        if (h->conmon_fd < 0 || h->arcp_fd < 0) {
            return "cannot open the sockets of " + config.name + ": " + std::strerror(errno);
        }
        kept = {h->conmon_port, h->arcp_port};
        hosted& ref = *h;
        loop_.watch(ref.conmon_fd, [this, &ref](int fd, short) { on_readable(ref, fd, true); });
        loop_.watch(ref.arcp_fd, [this, &ref](int fd, short) { on_readable(ref, fd, false); });
        hosted_.push_back(std::move(h));
        publish(ref);
        std::fprintf(stderr, "device-sim: %s on ConMon port %u, ARCP port %u\n",
                     config.name.c_str(), ref.conmon_port, ref.arcp_port);
    }

    if (!ports_path.empty() && !write_device_ports(ports_path, ports)) {
        std::fprintf(stderr, "device-sim: cannot write %s: %s\n", ports_path.c_str(),
                     std::strerror(errno));
    }
    if (!lab_dir_.empty()) {
        ctl_path_ = lab_dir_ + "/ctl.sock";
        ::unlink(ctl_path_.c_str());
        ctl_fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        if (ctl_path_.size() >= sizeof a.sun_path) {
            return "ctl socket path too long: " + ctl_path_;
        }
        std::strcpy(a.sun_path, ctl_path_.c_str());
        if (ctl_fd_ < 0 || ::bind(ctl_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(ctl_fd_, 8) != 0) {
            return "cannot open the ctl socket " + ctl_path_ + ": " + std::strerror(errno);
        }
        loop_.watch(ctl_fd_, [this](int, short) { on_ctl_connection(); });
    }
    return {};
}

std::string alternative_device_name(const std::string& name, unsigned n) {
    const std::string suffix = "-" + std::to_string(n);
    std::string base = name.substr(0, 31 - std::min<size_t>(suffix.size(), 31));
    while (!base.empty() && base.back() == '-') {
        base.pop_back();
    }
    return base + suffix;
}

bool device_host::publish_as(hosted& h, const std::string& name) {
    const int e1 = h.conmon_service.publish(name, conmon_type, h.conmon_port,
                                            h.device->conmon_txt(), h.resolvable);
    const int e2 =
        h.arcp_service.publish(name, arcp_type, h.arcp_port, h.device->arcp_txt(), h.resolvable);
    if (e1 == AVAHI_ERR_COLLISION || e2 == AVAHI_ERR_COLLISION) {
        withdraw(h);
        return false;
    }
    if (e1 != 0 || e2 != 0) {
        std::fprintf(stderr, "device-sim: cannot register %s (dns-sd errors %d, %d)\n",
                     name.c_str(), e1, e2);
    }
    return true;
}

void device_host::publish(hosted& h) {
    // A real device never drops off the network over its name: it goes on under a
    // name of its own and says so (its capabilities flag the conflict).
    constexpr unsigned last_alternative = 99;
    const std::string& name = h.device->name();
    std::string advertised =
        h.alternative == 0 ? name : alternative_device_name(name, h.alternative);
    while (!publish_as(h, advertised) && h.alternative < last_alternative) {
        h.alternative = h.alternative == 0 ? 2 : h.alternative + 1;
        const std::string next = alternative_device_name(name, h.alternative);
        std::fprintf(stderr, "device-sim: another device has the name %s: %s goes on as %s\n",
                     advertised.c_str(), name.c_str(), next.c_str());
        advertised = next;
    }
    h.device->set_advertised_name(advertised);
}

void device_host::withdraw(hosted& h) {
    h.conmon_service.withdraw();
    h.arcp_service.withdraw();
}

void device_host::stop() {
    for (auto& h : hosted_) {
        withdraw(*h);
        for (int fd : {h->conmon_fd, h->arcp_fd}) {
            if (fd >= 0) {
                loop_.unwatch(fd);
                ::close(fd);
            }
        }
    }
    hosted_.clear();
    if (ctl_fd_ >= 0) {
        loop_.unwatch(ctl_fd_);
        ::close(ctl_fd_);
        ::unlink(ctl_path_.c_str());
        ctl_fd_ = -1;
    }
}

void device_host::tick() {
    registrar_.recover();
    for (auto& h : hosted_) {
        // Another host took the name after the daemon had confirmed it.
        const bool conmon = h->conmon_service.take_collision();
        const bool arcp = h->arcp_service.take_collision();
        if ((conmon || arcp) && !h->device->faults().offline) {
            h->alternative = h->alternative == 0 ? 2 : h->alternative + 1;
            withdraw(*h);
            publish(*h);
        }
    }
}

lab_device* device_host::find(const std::string& name) {
    for (auto& h : hosted_) {
        if (h->device->called(name)) {
            return h->device.get();
        }
    }
    return nullptr;
}

void device_host::on_readable(hosted& h, int fd, bool conmon) {
    uint8_t buffer[2048];
    for (;;) {
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t n = ::recvfrom(fd, buffer, sizeof buffer, MSG_TRUNC,
                               reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0) {
            return;
        }
        if (static_cast<size_t>(n) > sizeof buffer) {
            std::fprintf(stderr, "%s: dropped an oversized datagram (%zd bytes)\n",
                         h.device->name().c_str(), n);
            continue;
        }
        auto outputs = conmon ? h.device->on_conmon_datagram(buffer, n, from)
                              : h.device->on_arcp_datagram(buffer, n, from);
        send(fd, outputs);
        if (!conmon && h.device->take_renamed()) {
            // Renamed over ARCP: both services move to the new name.
            withdraw(h);
            h.alternative = 0;
            publish(h);
            std::fprintf(stderr, "device-sim: renamed to %s\n", h.device->name().c_str());
        }
    }
}

void device_host::send(int fd, const std::vector<lab_output>& outputs) {
    for (const lab_output& o : outputs) {
        auto transmit = [fd, o]() {
            ::sendto(fd, o.bytes.data(), o.bytes.size(), 0,
                     reinterpret_cast<const sockaddr*>(&o.to), sizeof o.to);
        };
        if (o.delay_ms == 0) {
            transmit();
        } else {
            // The socket outlives the timer: both end with the process.
            loop_.after(o.delay_ms, transmit);
        }
    }
}

std::string device_host::handle_ctl_line(const std::string& line) {
    std::vector<std::string> words = words_of(line);
    if (words.empty()) {
        return "error: empty command";
    }
    if (words[0] == "list" && words.size() == 1) {
        std::string s = "ok";
        for (auto& h : hosted_) {
            s += " " + h->device->advertised_name();
        }
        return s;
    }
    if (words[0] == "unsubscribed" && words.size() == 1) {
        // The devices no ConMon server has subscribed to yet: a restarted device-sim
        // answers nobody until the server subscribes again.
        std::string s = "ok";
        for (auto& h : hosted_) {
            if (h->device->subscribers().empty()) {
                s += ' ';
                s += escape_ctl_word(h->device->advertised_name());
            }
        }
        return s;
    }
    for (auto& h : hosted_) {
        if (!h->device->called(words[0])) {
            continue;
        }
        if (words.size() == 3 && words[1] == "resolve" && (words[2] == "on" || words[2] == "off")) {
            // Off: the instance stays announced, resolving it gets no answer. On: the
            // records are added, the announcement stays as it was.
            const bool on = words[2] == "on";
            if (on != h->resolvable) {
                h->resolvable = on;
                if (on) {
                    h->conmon_service.make_resolvable();
                    h->arcp_service.make_resolvable();
                } else if (!h->device->faults().offline) {
                    withdraw(*h);
                    publish(*h);
                }
            }
            return "ok resolve " + words[2];
        }
        bool was_offline = h->device->faults().offline;
        std::string reply =
            h->device->ctl(std::vector<std::string>(words.begin() + 1, words.end()));
        bool offline = h->device->faults().offline;
        if (offline && !was_offline) {
            withdraw(*h);
        } else if (!offline && was_offline) {
            publish(*h);
        }
        return reply;
    }
    return "error: no device '" + words[0] + "'";
}

void device_host::on_ctl_connection() {
    int fd = ::accept4(ctl_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        return;
    }
    // The client writes its one line at once; a short blocking read is enough.
    timeval tv{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    std::string line;
    char c;
    while (line.size() < 512 && ::read(fd, &c, 1) == 1 && c != '\n') {
        line += c;
    }
    std::string reply = handle_ctl_line(line) + "\n";
    std::fprintf(stderr, "device-sim: ctl '%s' -> %s", line.c_str(), reply.c_str());
    (void)!::write(fd, reply.data(), reply.size());
    ::close(fd);
}

int lab_ctl_client(const std::string& socket_path, const std::vector<std::string>& words) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    if (fd < 0 || socket_path.size() >= sizeof a.sun_path) {
        std::fprintf(stderr, "lab ctl: bad socket path %s\n", socket_path.c_str());
        return 2;
    }
    std::strcpy(a.sun_path, socket_path.c_str());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        std::fprintf(stderr, "lab ctl: cannot reach device-sim at %s: %s\n", socket_path.c_str(),
                     std::strerror(errno));
        ::close(fd);
        return 2;
    }
    std::string line;
    for (const auto& w : words) {
        if (!line.empty()) {
            line += ' ';
        }
        line += escape_ctl_word(w);
    }
    line += "\n";
    (void)!::write(fd, line.data(), line.size());
    std::string reply;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
        reply.append(buffer, n);
    }
    ::close(fd);
    std::fputs(reply.c_str(), reply.rfind("ok", 0) == 0 ? stdout : stderr);
    return reply.rfind("ok", 0) == 0 ? 0 : 1;
}

}  // namespace tavrin::sim
