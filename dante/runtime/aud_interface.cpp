#include "dante/runtime/aud_interface.h"

#include <arpa/inet.h>
#include <errno.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netpacket/packet.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dante/runtime/dapi.h"
#include "dante/runtime/internal/aud_interface_linux.h"

namespace {

constexpr const char* sys_class_net = "/sys/class/net";
constexpr size_t max_name_chars = 63;

// Small sysfs/proc files only; returns false when unreadable.
bool read_text(const std::string& path, std::string* out, size_t limit = 1 << 20) {
    FILE* f = fopen(path.c_str(), "re");
    if (!f) {
        return false;
    }
    out->clear();
    char buf[4096];
    size_t n = 0;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0 && out->size() < limit) {
        out->append(buf, n);
    }
    fclose(f);
    return true;
}

std::string read_line(const std::string& path) {
    std::string text;
    if (!read_text(path, &text, 4096)) {
        return {};
    }
    size_t end = text.find_first_of("\r\n");
    return end == std::string::npos ? text : text.substr(0, end);
}

bool exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

long read_number(const std::string& path, long fallback) {
    std::string line = read_line(path);
    if (line.empty()) {
        return fallback;
    }
    char* end = nullptr;
    errno = 0;
    long v = strtol(line.c_str(), &end, 10);
    if (errno != 0 || end == line.c_str()) {
        return fallback;
    }
    return v;
}

bool uevent_has(const std::string& dir, const char* entry) {
    std::string text;
    if (!read_text(dir + "/uevent", &text, 65536)) {
        return false;
    }
    size_t pos = 0;
    size_t len = strlen(entry);
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (end - pos == len && text.compare(pos, len, entry) == 0) {
            return true;
        }
        pos = end + 1;
    }
    return false;
}

std::string base_name(const char* ifa_name) {
    // Address labels ("eth0:1") belong to their interface.
    std::string name(ifa_name);
    size_t colon = name.find(':');
    return colon == std::string::npos ? name : name.substr(0, colon);
}

struct building {
    aud_interface_t entry;
    unsigned flags;
    bool has_ipv4;
};

building* find_or_add(std::vector<building>& list, const std::string& name) {
    for (building& b : list) {
        if (name == b.entry.adapter_name) {
            return &b;
        }
    }
    if (name.size() >= AUD_INTERFACE_ADAPTER_NAME_SIZE) {
        return nullptr;
    }
    building b{};
    snprintf(b.entry.adapter_name, sizeof b.entry.adapter_name, "%s", name.c_str());
    list.push_back(b);
    return &list.back();
}

}  // namespace

void aud_interface_copy_utf8(char* dst, size_t size, const char* src, size_t max_chars) {
    if (!dst || size == 0) {
        return;
    }
    size_t out = 0;
    size_t chars = 0;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src ? src : "");
    while (*s && chars < max_chars) {
        size_t len = 1;
        if (*s >= 0xF0) {
            len = 4;
        } else if (*s >= 0xE0) {
            len = 3;
        } else if (*s >= 0xC0) {
            len = 2;
        }
        if (strnlen(reinterpret_cast<const char*>(s), len) < len || out + len >= size) {
            break;
        }
        memcpy(dst + out, s, len);
        out += len;
        s += len;
        ++chars;
    }
    dst[out] = '\0';
}

aud_interface_category_t aud_interface_classify(const char* root, const char* ifname,
                                                bool loopback_flag) {
    std::string dir = std::string(root) + "/" + ifname;
    long type = read_number(dir + "/type", -1);
    if (loopback_flag || type == 772) {
        return AUD_INTERFACE_CATEGORY_LOOPBACK;
    }
    if (exists(dir + "/wireless") || exists(dir + "/phy80211") || uevent_has(dir, "DEVTYPE=wlan") ||
        type == 801) {
        return AUD_INTERFACE_CATEGORY_WIRELESS;
    }
    if (type == 24) {
        return AUD_INTERFACE_CATEGORY_FIREWIRE;
    }
    if (uevent_has(dir, "DEVTYPE=bluetooth")) {
        return AUD_INTERFACE_CATEGORY_BLUETOOTH;
    }
    if (!exists(dir)) {
        return AUD_INTERFACE_CATEGORY_OTHER;
    }
    // Real hardware has a device link; bridges, veths, tunnels and the like do not.
    if (!exists(dir + "/device")) {
        return AUD_INTERFACE_CATEGORY_VIRTUAL;
    }
    std::string subsystem = dir + "/device/subsystem";
    char target[512];
    ssize_t n = readlink(subsystem.c_str(), target, sizeof target - 1);
    if (n > 0) {
        target[n] = '\0';
        const char* slash = strrchr(target, '/');
        const char* sub = slash ? slash + 1 : target;
        if (strcmp(sub, "bluetooth") == 0) {
            return AUD_INTERFACE_CATEGORY_BLUETOOTH;
        }
        if (strcmp(sub, "firewire") == 0 || strcmp(sub, "ieee1394") == 0) {
            return AUD_INTERFACE_CATEGORY_FIREWIRE;
        }
    }
    return AUD_INTERFACE_CATEGORY_OTHER;
}

void aud_interface_sort(aud_interface_t* list, size_t count) {
    if (!list) {
        return;
    }
    std::stable_sort(list, list + count, [](const aud_interface_t& a, const aud_interface_t& b) {
        if (a.category != b.category) {
            return a.category < b.category;
        }
        return a.index < b.index;
    });
}

bool aud_interface_parse_route(const char* route_text, const char* ifname, struct in_addr* gw) {
    if (!route_text || !ifname || !gw) {
        return false;
    }
    const char* line = route_text;
    while (*line) {
        const char* end = strchr(line, '\n');
        size_t len = end ? static_cast<size_t>(end - line) : strlen(line);
        std::string text(line, len);
        char name[64] = "";
        unsigned dest = 0;
        unsigned gateway = 0;
        unsigned flags = 0;
        // Iface Destination Gateway Flags ...; addresses are hex in memory order.
        if (sscanf(text.c_str(), "%63s %x %x %x", name, &dest, &gateway, &flags) == 4 &&
            strcmp(name, ifname) == 0 && dest == 0 && (flags & 0x2) && gateway != 0) {
            gw->s_addr = gateway;
            return true;
        }
        if (!end) {
            break;
        }
        line = end + 1;
    }
    return false;
}

void aud_interface_parse_resolv(const char* resolv_text, struct in_addr* dns, char* suffix,
                                size_t suffix_size) {
    if (!resolv_text) {
        return;
    }
    bool have_dns = false;
    bool have_suffix = false;
    const char* line = resolv_text;
    while (*line) {
        const char* end = strchr(line, '\n');
        size_t len = end ? static_cast<size_t>(end - line) : strlen(line);
        std::string text(line, len);
        char key[32] = "";
        char value[256] = "";
        if (sscanf(text.c_str(), "%31s %255s", key, value) == 2) {
            in_addr addr{};
            if (!have_dns && dns && strcmp(key, "nameserver") == 0 &&
                inet_pton(AF_INET, value, &addr) == 1) {
                *dns = addr;
                have_dns = true;
            } else if (!have_suffix && suffix && suffix_size > 0 &&
                       (strcmp(key, "search") == 0 || strcmp(key, "domain") == 0)) {
                snprintf(suffix, suffix_size, "%s", value);
                have_suffix = true;
            }
        }
        if (!end) {
            break;
        }
        line = end + 1;
    }
}

aud_error_t aud_interface_list_with_env(aud_env_t* env, aud_interface_t** out, size_t* count) {
    if (!out || !count) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    *out = nullptr;
    *count = 0;
    aud_log_t* log = aud_env_get_log(env);

    ifaddrs* addrs = nullptr;
    if (getifaddrs(&addrs) != 0) {
        return aud_error_from_errno(errno);
    }
    std::vector<building> found;
    for (ifaddrs* a = addrs; a; a = a->ifa_next) {
        if (!a->ifa_name) {
            continue;
        }
        building* b = find_or_add(found, base_name(a->ifa_name));
        if (!b) {
            continue;
        }
        if (a->ifa_name == base_name(a->ifa_name)) {
            b->flags = a->ifa_flags;
        }
        if (!a->ifa_addr) {
            continue;
        }
        if (a->ifa_addr->sa_family == AF_PACKET) {
            const auto* ll = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
            size_t n = std::min<size_t>(ll->sll_halen, AUD_INTERFACE_MAC_SIZE);
            memcpy(b->entry.mac, ll->sll_addr, n);
            b->entry.mac_len = static_cast<uint8_t>(n);
        } else if (a->ifa_addr->sa_family == AF_INET && !b->has_ipv4) {
            b->entry.ip_addr = reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr;
            if (a->ifa_netmask) {
                b->entry.netmask = reinterpret_cast<const sockaddr_in*>(a->ifa_netmask)->sin_addr;
            }
            b->has_ipv4 = true;
        }
    }
    freeifaddrs(addrs);

    std::string route_text;
    read_text("/proc/net/route", &route_text);
    std::string resolv_text;
    read_text("/etc/resolv.conf", &resolv_text, 65536);
    in_addr dns{};
    char suffix[AUD_INTERFACE_DNS_SUFFIX_SIZE] = "";
    aud_interface_parse_resolv(resolv_text.c_str(), &dns, suffix, sizeof suffix);

    if (found.empty()) {
        return AUD_SUCCESS;
    }
    auto* list = static_cast<aud_interface_t*>(calloc(found.size(), sizeof(aud_interface_t)));
    if (!list) {
        return AUD_ERR_NOMEMORY;
    }
    size_t n = 0;
    for (building& b : found) {
        aud_interface_t& e = list[n];
        e = b.entry;
        const char* ifname = e.adapter_name;
        e.index = if_nametoindex(ifname);
        if (e.index == 0) {
            continue;  // gone since getifaddrs
        }
        std::string dir = std::string(sys_class_net) + "/" + ifname;
        std::string alias = read_line(dir + "/ifalias");
        aud_interface_copy_utf8(e.name, sizeof e.name, alias.empty() ? ifname : alias.c_str(),
                                max_name_chars);
        e.pktinfo_index = static_cast<uint16_t>(e.index & 0xFFFF);
        if (e.pktinfo_index != e.index) {
            aud_log_printf(log, AUD_LOG_WARNING,
                           "%s: Possible windows interface index corruption: interface %s claims "
                           "to have index %d.Setting pktinfo_index to %d.",
                           __func__, ifname, static_cast<int>(e.index), e.pktinfo_index);
        }
        e.loopback = (b.flags & IFF_LOOPBACK) != 0;
        e.multicast = (b.flags & IFF_MULTICAST) != 0;
        std::string oper = read_line(dir + "/operstate");
        e.link_up = oper == "up" || ((oper.empty() || oper == "unknown") && (b.flags & IFF_UP) &&
                                     (b.flags & IFF_RUNNING));
        long speed = read_number(dir + "/speed", 0);
        e.link_speed_mbps = speed > 0 ? static_cast<uint32_t>(speed) : 0;
        aud_log_printf(log, AUD_LOG_DEBUG, "%s: UP=%u TX=%u RX=%u", __func__,
                       static_cast<unsigned>(e.link_up), e.link_speed_mbps, e.link_speed_mbps);
        e.category = aud_interface_classify(sys_class_net, ifname, e.loopback);
        aud_interface_parse_route(route_text.c_str(), ifname, &e.gateway);
        if (!e.loopback && b.has_ipv4) {
            // One resolver for the whole host: give it to every adapter that can reach it.
            e.dns_server = dns;
            snprintf(e.dns_suffix, sizeof e.dns_suffix, "%s", suffix);
        }
        ++n;
    }
    if (n == 0) {
        free(list);
        return AUD_SUCCESS;
    }
    aud_interface_sort(list, n);
    *out = list;
    *count = n;
    return AUD_SUCCESS;
}

aud_error_t aud_interface_list(aud_interface_t** out, size_t* count) {
    return aud_interface_list_with_env(nullptr, out, count);
}

void aud_interface_list_free(aud_interface_t* list) {
    free(list);
}

const aud_interface_t* aud_interface_find_by_index(const aud_interface_t* list, size_t count,
                                                   uint32_t index) {
    for (size_t i = 0; list && i < count; ++i) {
        if (list[i].index == index) {
            return &list[i];
        }
    }
    return nullptr;
}

const aud_interface_t* aud_interface_find_by_name(const aud_interface_t* list, size_t count,
                                                  const char* name) {
    for (size_t i = 0; list && name && i < count; ++i) {
        if (strcmp(list[i].name, name) == 0 || strcmp(list[i].adapter_name, name) == 0) {
            return &list[i];
        }
    }
    return nullptr;
}

const aud_interface_t* aud_interface_find_loopback(const aud_interface_t* list, size_t count) {
    for (size_t i = 0; list && i < count; ++i) {
        if (list[i].loopback) {
            return &list[i];
        }
    }
    return nullptr;
}

uint32_t aud_interface_loopback_index(aud_env_t* env) {
    aud_interface_t* list = nullptr;
    size_t count = 0;
    uint32_t index = 0;
    if (aud_interface_list_with_env(env, &list, &count) == AUD_SUCCESS) {
        if (const aud_interface_t* lo = aud_interface_find_loopback(list, count)) {
            index = lo->index;
        }
        aud_interface_list_free(list);
    }
    return index;
}
