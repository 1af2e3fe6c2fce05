#include "platform/net/adapters.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>

#include "platform/utf8.h"

namespace tavrin {
namespace {

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// The first line of a small /sys file; empty when it cannot be read.
std::string first_line(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (in)
        std::getline(in, line);
    return line;
}

bool uevent_has(const std::string& dir, const std::string& entry) {
    std::ifstream in(dir + "/uevent");
    std::string line;
    while (std::getline(in, line)) {
        if (line == entry)
            return true;
    }
    return false;
}

// The last part of the path a symbolic link points to.
std::string link_base(const std::string& path) {
    char target[512];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    if (n <= 0)
        return {};
    const std::string t(target, static_cast<size_t>(n));
    const size_t slash = t.find_last_of('/');
    return slash == std::string::npos ? t : t.substr(slash + 1);
}

// getifaddrs names an IPv4 address with a label "eth0:1"; it belongs to eth0.
std::string base_name(const char* ifa_name) {
    const std::string n = ifa_name ? ifa_name : "";
    return n.substr(0, n.find(':'));
}

struct link_facts {
    std::string ip;
    std::string mac;
    bool loopback = false;
};

// IPv4 and hardware addresses per adapter name; false when the list cannot be read.
bool read_addresses(std::map<std::string, link_facts>& out) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return false;
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_name == nullptr)
            continue;
        link_facts& f = out[base_name(a->ifa_name)];
        if ((a->ifa_flags & IFF_LOOPBACK) != 0)
            f.loopback = true;
        if (a->ifa_addr->sa_family == AF_INET && f.ip.empty()) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
            char text[INET_ADDRSTRLEN] = {};
            if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr)
                f.ip = text;
        } else if (a->ifa_addr->sa_family == AF_PACKET) {
            const auto* ll = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
            const size_t n = std::min<size_t>(ll->sll_halen, sizeof ll->sll_addr);
            f.mac = mac_text(ll->sll_addr, n);
        }
    }
    ::freeifaddrs(list);
    return true;
}

}  // namespace

const char* adapter_kind_name(adapter_kind kind) {
    switch (kind) {
        case adapter_kind::unknown:
            return "unknown";
        case adapter_kind::other:
            return "wired";
        case adapter_kind::loopback:
            return "loopback";
        case adapter_kind::wireless:
            return "wireless";
        case adapter_kind::virtual_link:
            return "virtual";
        case adapter_kind::firewire:
            return "firewire";
        case adapter_kind::bluetooth:
            return "bluetooth";
    }
    return "unknown";
}

std::string mac_text(const uint8_t* bytes, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        char part[4];
        std::snprintf(part, sizeof part, i + 1 < count ? "%.2X:" : "%.2X", bytes[i]);
        text += part;
    }
    return text;
}

adapter_kind classify_adapter(const std::string& sys_class_net, const std::string& name,
                              bool loopback) {
    if (loopback)
        return adapter_kind::loopback;
    const std::string dir = sys_class_net + "/" + name;
    if (!exists(dir))
        return adapter_kind::other;
    // ARPHRD_LOOPBACK and ARPHRD_IEEE1394.
    const std::string type = first_line(dir + "/type");
    if (type == "772")
        return adapter_kind::loopback;
    if (exists(dir + "/wireless") || exists(dir + "/phy80211") || uevent_has(dir, "DEVTYPE=wlan"))
        return adapter_kind::wireless;
    const std::string subsystem = link_base(dir + "/device/subsystem");
    if (uevent_has(dir, "DEVTYPE=bluetooth") || subsystem == "bluetooth")
        return adapter_kind::bluetooth;
    if (type == "24" || subsystem == "firewire")
        return adapter_kind::firewire;
    // Real hardware has a device link; veths, bridges and tunnels do not.
    if (!exists(dir + "/device"))
        return adapter_kind::virtual_link;
    return adapter_kind::other;
}

std::string friendly_name_of(const std::string& alias, const std::string& name, size_t max_bytes) {
    std::string text = alias.substr(0, alias.find_first_of("\r\n"));
    if (text.empty())
        text = name;
    return first_bytes(text, max_bytes);
}

std::vector<adapter_info> system_adapters::adapters() {
    std::vector<adapter_info> out;
    std::map<std::string, link_facts> facts;
    if (!read_addresses(facts))
        return out;
    struct if_nameindex* names = ::if_nameindex();
    if (names == nullptr)
        return out;
    for (const struct if_nameindex* n = names; n->if_index != 0 && n->if_name != nullptr; ++n) {
        adapter_info a;
        a.index = n->if_index;
        a.name = n->if_name;
        const link_facts& f = facts[a.name];
        a.friendly_name =
            friendly_name_of(first_line(sys_root_ + "/" + a.name + "/ifalias"), a.name);
        a.description = a.name;
        a.kind = classify_adapter(sys_root_, a.name, f.loopback);
        // No Dante device is reached through the loopback: it is not offered.
        if (a.kind == adapter_kind::loopback)
            continue;
        a.ip = f.ip;
        a.mac = f.mac;
        out.push_back(std::move(a));
    }
    ::if_freenameindex(names);
    return out;
}

adapter_source& platform_adapters() {
    static system_adapters source;
    return source;
}

}  // namespace tavrin
