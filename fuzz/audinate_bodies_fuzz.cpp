// Every Audinate status reader over arbitrary bytes. An input whose type field names
// none of the status types gets one of them (chosen by its length), so that random
// bytes reach a layout's readers; the dictionary holds the types.
#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "dante/conmon/audinate_body.h"
#include "dante/conmon/audinate_interface_status.h"
#include "dante/conmon/audinate_manf_versions.h"
#include "dante/conmon/audinate_srate_status.h"

namespace {

volatile uint32_t sink;

void use_string(const char* s) {
    for (; s && *s; ++s) {
        sink = sink + static_cast<uint8_t>(*s);
    }
}

void read_interfaces(const audinate_body* body) {
    uint16_t u = 0;
    uint32_t v = 0;
    uint8_t mac[6];
    const char* s = nullptr;
    int yes = 0;
    audinate_interface_status_get_mode(body, &u);
    audinate_interface_status_get_redundancy_flags(body, &u);
    if (audinate_interface_status_get_port_count(body, &u) != AUD_SUCCESS) {
        return;
    }
    // The first port the body cannot hold ends the walk (the later ones fail the same
    // way); one index past the count is asked for on its own.
    const uint16_t count = u;
    const uint16_t n = count > 64 ? 64 : count;
    audinate_port past{};
    audinate_interface_status_get_port(body, count, &past);
    for (uint16_t i = 0; i < n; ++i) {
        audinate_port port{};
        if (audinate_interface_status_get_port(body, i, &port) != AUD_SUCCESS) {
            break;
        }
        audinate_port_get_link_speed(body, &port, &v);
        audinate_port_get_flags(body, &port, &u);
        audinate_port_get_mac(body, &port, mac);
        audinate_port_get_ip(body, &port, &v);
        audinate_port_get_netmask(body, &port, &v);
        audinate_port_get_dns_server(body, &port, &v);
        audinate_port_get_gateway(body, &port, &v);
        audinate_reboot_record rec{};
        if (audinate_interface_status_get_reboot_record(body, &port, &rec) != AUD_SUCCESS ||
            !rec.present) {
            continue;
        }
        audinate_reboot_has_config(body, &rec, &yes);
        audinate_reboot_get_flags(body, &rec, &u);
        audinate_reboot_get_ip(body, &rec, &v);
        audinate_reboot_get_netmask(body, &rec, &v);
        audinate_reboot_get_dns_server(body, &rec, &v);
        audinate_reboot_get_gateway(body, &rec, &v);
        audinate_reboot_get_port_domain_name(body, &rec, &s);
        use_string(s);
        audinate_reboot_get_reboot_domain_name(body, &rec, &s);
        use_string(s);
    }
}

void read_srate(const audinate_body* body) {
    uint16_t u = 0;
    uint32_t v = 0;
    audinate_srate_status_get_current(body, &v);
    audinate_srate_status_get_reboot(body, &v);
    audinate_srate_status_get_mode(body, &u);
    if (audinate_srate_status_get_available_count(body, &u) != AUD_SUCCESS) {
        return;
    }
    const uint16_t count = u;
    const uint16_t n = count > 400 ? 400 : count;
    audinate_srate_status_get_available(body, count, &v);
    for (uint16_t i = 0; i < n; ++i) {
        if (audinate_srate_status_get_available(body, i, &v) != AUD_SUCCESS) {
            break;
        }
        sink = sink + v;
    }
}

void read_manf(const audinate_body* body) {
    uint8_t id[8];
    uint32_t v = 0;
    const char* s = nullptr;
    audinate_manf_versions_get_manufacturer_id(body, id);
    audinate_manf_versions_get_model_id(body, id);
    audinate_manf_versions_get_serial_id(body, id);
    audinate_manf_versions_get_software_version(body, &v);
    audinate_manf_versions_get_firmware_version(body, &v);
    audinate_manf_versions_get_capabilities(body, &v);
    audinate_manf_versions_get_software_build(body, &v);
    audinate_manf_versions_get_firmware_build(body, &v);
    audinate_manf_versions_get_model_version(body, &v);
    audinate_manf_versions_get_manufacturer_name(body, &s);
    use_string(s);
    audinate_manf_versions_get_model_name(body, &s);
    use_string(s);
    audinate_manf_versions_get_model_version_string(body, &s);
    use_string(s);
}

void read_all(const audinate_body* body) {
    read_interfaces(body);
    read_srate(body);
    read_manf(body);
    audinate_interface_status_info interfaces{};
    audinate_read_interface_status(body, &interfaces);
    use_string(interfaces.ports[0].domain_name);
    audinate_srate_status_info srate{};
    audinate_read_srate_status(body, &srate);
    audinate_manf_versions_info manf{};
    audinate_read_manf_versions_status(body, &manf);
    use_string(manf.model_version_string);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy so that any read past the end is caught.
    std::vector<uint8_t> copy(data, data + size);
    size_t query_size = 0;
    audinate_interface_query_body_size(copy.data(), copy.size(), &query_size);
    static const uint16_t types[] = {AUDINATE_TYPE_INTERFACE_STATUS, AUDINATE_TYPE_SRATE_STATUS,
                                     AUDINATE_TYPE_ENC_STATUS, AUDINATE_TYPE_MANF_VERSIONS_STATUS};
    if (copy.size() >= 4) {
        const uint16_t type = static_cast<uint16_t>(copy[2] << 8 | copy[3]);
        bool known = false;
        for (uint16_t t : types) {
            known = known || t == type;
        }
        if (!known) {
            const uint16_t t = types[size % 4];
            copy[2] = static_cast<uint8_t>(t >> 8);
            copy[3] = static_cast<uint8_t>(t);
        }
    }
    audinate_body body{};
    if (audinate_body_init(&body, copy.data(), copy.size()) != AUD_SUCCESS) {
        return 0;
    }
    read_all(&body);
    return 0;
}
