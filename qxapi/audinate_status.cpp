// Audinate status messages: the four decoded types with their log lines and the facts
// kept in the sender's node, and the two Audinate requests of the device search.
#include <arpa/inet.h>

#include <strings.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "dante/conmon/audinate_interface_status.h"
#include "dante/conmon/audinate_manf_versions.h"
#include "dante/conmon/audinate_srate_status.h"
#include "protocol/amp_sender.h"
#include "protocol/hex_text.h"
#include "qxapi/dante_wrapper.h"

namespace tavrin {
namespace {

constexpr uint32_t manf_request_value = 1000000;

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

std::string hex_id(const uint8_t id[8]) {
    char text[17];
    for (int i = 0; i < 8; ++i)
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

// The first 32 characters, always terminated.
void store_name(std::array<char, node_text_size>& out, const char* name) {
    out.fill(0);
    if (name != nullptr)
        std::strncpy(out.data(), name, out.size() - 1);
}

std::string version4(uint32_t v, uint32_t build) {
    return printf_line("%u.%u.%u.%u", audinate_version_major(v), audinate_version_minor(v),
                       audinate_version_patch(v), build);
}

}  // namespace

void dante_wrapper::decode_audinate_status(conmon_client_t* client, uint16_t, uint16_t,
                                           const conmon_message_head_t* head, const uint8_t* body) {
    if (head == nullptr || body == nullptr)
        return;
    if (!conmon_vendor_id_equal(conmon_message_head_get_vendor_id(head),
                                &CONMON_VENDOR_ID_AUDINATE)) {
        return;
    }
    const char* source = lib_.client_source_name(client, head);
    const std::string sender = source ? source : "";
    const size_t size = conmon_message_head_get_body_size(head);
    audinate_body view{};
    if (audinate_body_init(&view, body, size) != AUD_SUCCESS)
        return;
    const uint16_t type = audinate_body_get_type(&view);
    const char* name = audinate_message_type_name(type);
    if (name == nullptr)
        return;
    wrapper_log(2, printf_line("> Audinate message: %s (0x%04x)", name, type));
    switch (type) {
        case AUDINATE_TYPE_INTERFACE_STATUS:
            decode_interface_status(sender, body, size);
            break;
        case AUDINATE_TYPE_SRATE_STATUS:
            decode_srate_status(sender, body, size, false);
            break;
        case AUDINATE_TYPE_ENC_STATUS:
            decode_srate_status(sender, body, size, true);
            break;
        case AUDINATE_TYPE_MANF_VERSIONS_STATUS:
            decode_manf_versions(sender, body, size);
            break;
        default:
            break;
    }
}

void dante_wrapper::decode_interface_status(const std::string& sender, const uint8_t* bytes,
                                            size_t size) {
    audinate_body body{};
    audinate_body_init(&body, bytes, size);
    uint16_t mode = 0;
    uint16_t redundancy = 0;
    uint16_t count = 0;
    audinate_interface_status_get_mode(&body, &mode);
    audinate_interface_status_get_redundancy_flags(&body, &redundancy);
    audinate_interface_status_get_port_count(&body, &count);
    wrapper_log(2, mode == 0 ? ">> mode=DIRECT" : ">> mode=SWITCHED");
    wrapper_log(
        2, printf_line(">> flags=0x%08x %s%s", redundancy,
                       (redundancy & AUDINATE_SWITCH_REDUNDANCY) ? " SWITCH_REDUNDANCY is on "
                                                                 : " SWITCH_REDUNDANCY is off ",
                       (redundancy & AUDINATE_SWITCH_REDUNDANCY_REBOOT)
                           ? "/ SWITCH_REDUNDANCY_REBOOT is on"
                           : "/ SWITCH_REDUNDANCY_REBOOT is off"));
    wrapper_log(2, printf_line(">> num ports=%u", count));

    std::vector<port_record> ports;
    for (uint16_t i = 0; i < count; ++i) {
        audinate_port port{};
        // A count that promises more records than the body holds ends the list.
        if (audinate_interface_status_get_port(&body, i, &port) != AUD_SUCCESS)
            break;
        port_record r;
        r.index = i;
        uint8_t mac[6] = {};
        audinate_port_get_flags(&body, &port, &r.flags);
        audinate_port_get_link_speed(&body, &port, &r.speed);
        audinate_port_get_mac(&body, &port, mac);
        audinate_port_get_ip(&body, &port, &r.ip);
        audinate_port_get_netmask(&body, &port, &r.netmask);
        audinate_port_get_dns_server(&body, &port, &r.dns_server);
        audinate_port_get_gateway(&body, &port, &r.gateway);
        std::memcpy(r.mac.data(), mac, sizeof mac);
        r.link_up = r.speed != 0;
        wrapper_log(2, ">>  flags=" + port_flags_text(r.flags));
        wrapper_log(2, printf_line(">>  link speed=%u", r.speed));
        wrapper_log(2, printf_line(">>  mac=%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                                   mac[3], mac[4], mac[5]));
        wrapper_log(2, ">>  ip=" + dotted(r.ip));
        wrapper_log(2, ">>  netmask=" + dotted(r.netmask));
        wrapper_log(2, ">>  dns=" + dotted(r.dns_server));
        wrapper_log(2, ">>  gateway=" + dotted(r.gateway));

        audinate_reboot_record rec{};
        audinate_interface_status_get_reboot_record(&body, &port, &rec);
        const char* domain = nullptr;
        if (rec.present)
            audinate_reboot_get_port_domain_name(&body, &rec, &domain);
        if (domain != nullptr)
            wrapper_log(2, std::string(">>  domain name =") + domain);
        int has_config = 0;
        if (rec.present)
            audinate_reboot_has_config(&body, &rec, &has_config);
        if (rec.present && has_config) {
            uint16_t flags = 0;
            uint32_t ip = 0, netmask = 0, dns = 0, gateway = 0;
            const char* reboot_domain = nullptr;
            audinate_reboot_get_flags(&body, &rec, &flags);
            audinate_reboot_get_ip(&body, &rec, &ip);
            audinate_reboot_get_netmask(&body, &rec, &netmask);
            audinate_reboot_get_dns_server(&body, &rec, &dns);
            audinate_reboot_get_gateway(&body, &rec, &gateway);
            audinate_reboot_get_reboot_domain_name(&body, &rec, &reboot_domain);
            wrapper_log(2, ">>  reboot_config=yes");
            wrapper_log(2, ">>    flags=" + port_flags_text(flags));
            wrapper_log(2, ">>    ip=" + dotted(ip));
            wrapper_log(2, ">>    netmask=" + dotted(netmask));
            wrapper_log(2, ">>    dns=" + dotted(dns));
            wrapper_log(2, ">>    gateway=" + dotted(gateway));
            if (reboot_domain != nullptr)
                wrapper_log(2, std::string(">>  domain_name=") + reboot_domain);
        } else {
            wrapper_log(2, ">>  reboot_config=no");
        }
        ports.push_back(r);
    }

    std::lock_guard lock(nodes_mutex_);
    if (dt_node* node = find_node_locked(sender))
        node->ports = std::move(ports);
}

void dante_wrapper::decode_srate_status(const std::string& sender, const uint8_t* bytes,
                                        size_t size, bool encoding) {
    audinate_body body{};
    audinate_body_init(&body, bytes, size);
    uint16_t mode = 0;
    uint32_t current = 0;
    uint32_t reboot = 0;
    uint16_t count = 0;
    audinate_srate_status_get_mode(&body, &mode);
    audinate_srate_status_get_current(&body, &current);
    audinate_srate_status_get_reboot(&body, &reboot);
    audinate_srate_status_get_available_count(&body, &count);
    static const char* const modes[] = {"Fixed", "Reboot", "Immediate"};
    wrapper_log(2, printf_line(">> mode = %lu (%s)", static_cast<unsigned long>(mode),
                               mode <= 2 ? modes[mode] : "???"));
    wrapper_log(2, printf_line(">> current value   = %lu", static_cast<unsigned long>(current)));
    wrapper_log(2, printf_line(">> value on reboot = %lu", static_cast<unsigned long>(reboot)));
    if (count == 0) {
        wrapper_log(2, ">> no options available");
    } else {
        std::string line = printf_line(">> available values [%u]:", count);
        for (uint16_t i = 0; i < count; ++i) {
            uint32_t v = 0;
            // The count may claim more values than the body carries.
            if (audinate_srate_status_get_available(&body, i, &v) != AUD_SUCCESS)
                break;
            line += printf_line(" %lu,", static_cast<unsigned long>(v));
        }
        wrapper_log(2, line);
    }

    std::lock_guard lock(nodes_mutex_);
    if (dt_node* node = find_node_locked(sender)) {
        if (encoding)
            node->encoding = current;
        else
            node->sample_rate = current;
    }
}

void dante_wrapper::decode_manf_versions(const std::string& sender, const uint8_t* bytes,
                                         size_t size) {
    audinate_body body{};
    audinate_body_init(&body, bytes, size);
    uint8_t manufacturer_id[8] = {};
    uint8_t model_id[8] = {};
    uint8_t serial_id[8] = {};
    uint32_t software = 0, software_build = 0, firmware = 0, firmware_build = 0;
    uint32_t model_version = 0, capabilities = 0;
    const char* manufacturer = nullptr;
    const char* model = nullptr;
    const char* model_version_string = nullptr;
    audinate_manf_versions_get_manufacturer_id(&body, manufacturer_id);
    audinate_manf_versions_get_model_id(&body, model_id);
    audinate_manf_versions_get_serial_id(&body, serial_id);
    audinate_manf_versions_get_software_version(&body, &software);
    audinate_manf_versions_get_software_build(&body, &software_build);
    audinate_manf_versions_get_firmware_version(&body, &firmware);
    audinate_manf_versions_get_firmware_build(&body, &firmware_build);
    audinate_manf_versions_get_capabilities(&body, &capabilities);
    audinate_manf_versions_get_manufacturer_name(&body, &manufacturer);
    audinate_manf_versions_get_model_name(&body, &model);
    audinate_manf_versions_get_model_version(&body, &model_version);
    audinate_manf_versions_get_model_version_string(&body, &model_version_string);

    wrapper_log(2, ">> manufacturer=" + hex_id(manufacturer_id));
    wrapper_log(2, printf_line(">> manufacturer name=\"%s\"", manufacturer ? manufacturer : ""));
    wrapper_log(2, ">> model id=" + hex_id(model_id));
    wrapper_log(2, printf_line(">> model name=\"%s\"", model ? model : ""));
    wrapper_log(2, printf_line(">> model version=%u.%u.%u", audinate_version_major(model_version),
                               audinate_version_minor(model_version),
                               audinate_version_patch(model_version)));
    wrapper_log(2, printf_line(">> model version string=\"%s\"",
                               model_version_string ? model_version_string : ""));
    wrapper_log(2, ">> serial id=" + hex_id(serial_id));
    wrapper_log(2, ">> software version=" + version4(software, software_build));
    wrapper_log(2, ">> firmware version=" + version4(firmware, firmware_build));
    wrapper_log(2, printf_line(">> capabilities=0x%08x", capabilities));

    // Written whole under the lock: the device list reads both names.
    std::lock_guard lock(nodes_mutex_);
    if (dt_node* node = find_node_locked(sender)) {
        store_name(node->manufacturer_name, manufacturer);
        store_name(node->model_name, model);
        node->model_version = model_version;
        node->software_version = software;
        node->firmware_version = firmware;
    }
}

// ---------------------------------------------------------------------------
// Requests of the device search (user-interface thread)

send_result dante_wrapper::request_manf_versions(const std::string& device_name) {
    if (!has_node(device_name))
        return {hex_send_check::ok, send_not_attempted};
    uint8_t query[AUDINATE_SHORT_QUERY_SIZE];
    size_t size = 0;
    audinate_build_short_query(query, sizeof query, AUDINATE_TYPE_MANF_VERSIONS_QUERY,
                               manf_request_value, &size);
    std::string text;
    for (size_t i = 0; i < size; ++i)
        text += printf_line(" %02x", query[i]);
    return send_audinate(device_name, text);
}

send_result dante_wrapper::request_interface(const std::string& device_name) {
    if (!has_node(device_name))
        return {hex_send_check::ok, send_not_attempted};
    uint8_t query[AUDINATE_INTERFACE_QUERY_SIZE];
    size_t size = 0;
    audinate_build_interface_query(query, sizeof query, 0, &size);
    std::string text;
    for (size_t i = 0; i < size; ++i)
        text += printf_line(" %02x", query[i]);
    return send_audinate(device_name, text);
}

send_result dante_wrapper::send_audinate(const std::string& device_name,
                                         const std::string& hex_text) {
    hex_binary_buffer body;
    size_t size = 0;
    const hex_send_check check = prepare_hex_send(device_name, hex_text, body, size);
    if (check != hex_send_check::ok)
        return {check, 0};

    std::lock_guard wait_lock(request_wait_mutex_);
    aud_error_t e;
    {
        std::lock_guard lock(library_lock_);
        if (g_dtDEVICES != nullptr) {
            const unsigned pending = lib_.devices_pending_requests(g_dtDEVICES);
            const unsigned limit = lib_.devices_request_limit(g_dtDEVICES);
            if (pending >= limit)
                wrapper_log(2, printf_line("pending: %d  over  limit: %d",
                                           static_cast<int>(pending), static_cast<int>(limit)));
        }
        if (g_dtCLIENT == nullptr) {
            e = AUD_ERR_NOTINITIALISED;
        } else {
            e = lib_.client_send_control(
                g_dtCLIENT, &connect_request, device_name.empty() ? nullptr : device_name.c_str(),
                amp_message_class, &CONMON_VENDOR_ID_AUDINATE, body.data(), size);
        }
        if (e == AUD_SUCCESS) {
            wrapper_log(2, printf_line("send %d bytes to %s device on CONTROL channel",
                                       static_cast<int>(size),
                                       device_name.empty() ? "Local" : device_name.c_str()));
        } else {
            connect_request = nullptr;
            wrapper_log(2, "ERR- send control message (" + lib_.error_text(e) + ")");
            return {hex_send_check::ok, e};
        }
    }
    wait_request_cleared(options_.audinate_wait_ms, "Audinate");
    return {hex_send_check::ok, e};
}

}  // namespace tavrin
