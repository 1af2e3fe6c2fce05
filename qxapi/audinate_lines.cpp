#include "qxapi/audinate_lines.h"

#include <arpa/inet.h>

#include <cstdarg>
#include <cstdio>

#include "dante/conmon/audinate_interface_status.h"
#include "dante/conmon/audinate_manf_versions.h"

namespace tavrin {
namespace {

std::string printf_line(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string printf_line(const char* fmt, ...) {
    char line[400];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(line, sizeof line, fmt, args);
    va_end(args);
    return line;
}

std::string dotted(uint32_t network_order) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr a{};
    a.s_addr = network_order;
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

std::string hex_id(const audinate_id& id) {
    char text[17];
    for (size_t i = 0; i < id.size(); ++i)
        std::snprintf(text + 2 * i, 3, "%02x", id[i]);
    return text;
}

std::string port_flags_text(uint16_t flags) {
    std::string s = printf_line("0x%08x", flags);
    if (flags & AUDINATE_PORT_UP)
        s += " UP";
    if (flags & AUDINATE_PORT_STATIC)
        s += " STATIC";
    if (flags & AUDINATE_PORT_LINK_LOCAL_DISABLED)
        s += " LINK_LOCAL_DISABLED";
    if (flags & AUDINATE_PORT_LINK_LOCAL_DELAYED)
        s += " LINK_LOCAL_DELAYED";
    if (flags & AUDINATE_PORT_DHCP_DISABLED)
        s += " DHCP DISABLED";
    return s;
}

std::string version4(uint32_t v, uint32_t build) {
    return printf_line("%u.%u.%u.%u", audinate_version_major(v), audinate_version_minor(v),
                       audinate_version_patch(v), build);
}

}  // namespace

std::string audinate_head_line(const audinate_head& head) {
    return printf_line("> Audinate message: %s (0x%04x)", head.name ? head.name : "", head.type);
}

std::vector<std::string> audinate_lines(const interface_facts& facts) {
    std::vector<std::string> out;
    out.push_back(facts.mode == 0 ? ">> mode=DIRECT" : ">> mode=SWITCHED");
    out.push_back(printf_line(">> flags=0x%08x %s%s", facts.redundancy,
                              (facts.redundancy & AUDINATE_SWITCH_REDUNDANCY)
                                  ? " SWITCH_REDUNDANCY is on "
                                  : " SWITCH_REDUNDANCY is off ",
                              (facts.redundancy & AUDINATE_SWITCH_REDUNDANCY_REBOOT)
                                  ? "/ SWITCH_REDUNDANCY_REBOOT is on"
                                  : "/ SWITCH_REDUNDANCY_REBOOT is off"));
    out.push_back(printf_line(">> num ports=%u", facts.port_count));
    for (const port_facts& p : facts.ports) {
        const port_record& r = p.record;
        out.push_back(">>  flags=" + port_flags_text(r.flags));
        out.push_back(printf_line(">>  link speed=%u", r.speed));
        out.push_back(printf_line(">>  mac=%02x:%02x:%02x:%02x:%02x:%02x", r.mac[0], r.mac[1],
                                  r.mac[2], r.mac[3], r.mac[4], r.mac[5]));
        out.push_back(">>  ip=" + dotted(r.ip));
        out.push_back(">>  netmask=" + dotted(r.netmask));
        out.push_back(">>  dns=" + dotted(r.dns_server));
        out.push_back(">>  gateway=" + dotted(r.gateway));
        if (p.domain_name)
            out.push_back(">>  domain name =" + *p.domain_name);
        if (p.reboot) {
            const reboot_config& c = *p.reboot;
            out.push_back(">>  reboot_config=yes");
            out.push_back(">>    flags=" + port_flags_text(c.flags));
            out.push_back(">>    ip=" + dotted(c.ip));
            out.push_back(">>    netmask=" + dotted(c.netmask));
            out.push_back(">>    dns=" + dotted(c.dns_server));
            out.push_back(">>    gateway=" + dotted(c.gateway));
            if (c.domain_name)
                out.push_back(">>  domain_name=" + *c.domain_name);
        } else {
            out.push_back(">>  reboot_config=no");
        }
    }
    return out;
}

std::vector<std::string> audinate_lines(const srate_facts& facts) {
    static const char* const modes[] = {"Fixed", "Reboot", "Immediate"};
    std::vector<std::string> out;
    out.push_back(printf_line(">> mode = %lu (%s)", static_cast<unsigned long>(facts.mode),
                              facts.mode <= 2 ? modes[facts.mode] : "???"));
    out.push_back(
        printf_line(">> current value   = %lu", static_cast<unsigned long>(facts.current)));
    out.push_back(
        printf_line(">> value on reboot = %lu", static_cast<unsigned long>(facts.reboot)));
    if (facts.available_count == 0) {
        out.push_back(">> no options available");
    } else {
        std::string line = printf_line(">> available values [%u]:", facts.available_count);
        for (uint32_t v : facts.available)
            line += printf_line(" %lu,", static_cast<unsigned long>(v));
        out.push_back(line);
    }
    return out;
}

std::vector<std::string> audinate_lines(const manf_facts& facts) {
    const uint32_t mv = facts.model_version;
    return {
        ">> manufacturer=" + hex_id(facts.manufacturer_id),
        printf_line(">> manufacturer name=\"%s\"", facts.manufacturer_name.c_str()),
        ">> model id=" + hex_id(facts.model_id),
        printf_line(">> model name=\"%s\"", facts.model_name.c_str()),
        printf_line(">> model version=%u.%u.%u", audinate_version_major(mv),
                    audinate_version_minor(mv), audinate_version_patch(mv)),
        printf_line(">> model version string=\"%s\"", facts.model_version_string.c_str()),
        ">> serial id=" + hex_id(facts.serial_id),
        ">> software version=" + version4(facts.software_version, facts.software_build),
        ">> firmware version=" + version4(facts.firmware_version, facts.firmware_build),
        printf_line(">> capabilities=0x%08x", facts.capabilities),
    };
}

}  // namespace tavrin
