#include "qxapi/audinate_facts.h"

#include "dante/conmon/audinate_interface_status.h"
#include "dante/conmon/audinate_manf_versions.h"
#include "dante/conmon/audinate_srate_status.h"

namespace tavrin {
namespace {

// The body view when it holds a head of the given type (either of two types).
std::optional<audinate_body> view_of(const uint8_t* bytes, size_t size, uint16_t type,
                                     uint16_t other_type) {
    audinate_body body{};
    if (audinate_body_init(&body, bytes, size) != AUD_SUCCESS)
        return std::nullopt;
    const uint16_t t = audinate_body_get_type(&body);
    if (t != type && t != other_type)
        return std::nullopt;
    return body;
}

std::optional<audinate_body> view_of(const uint8_t* bytes, size_t size, uint16_t type) {
    return view_of(bytes, size, type, type);
}

std::string text_or_empty(const char* text) {
    return text ? text : "";
}

}  // namespace

std::optional<audinate_head> read_audinate_head(const uint8_t* bytes, size_t size) {
    audinate_body body{};
    if (audinate_body_init(&body, bytes, size) != AUD_SUCCESS)
        return std::nullopt;
    audinate_head head;
    head.type = audinate_body_get_type(&body);
    head.name = audinate_message_type_name(head.type);
    if (head.name == nullptr)
        return std::nullopt;
    return head;
}

std::optional<interface_facts> decode_interface_status(const uint8_t* bytes, size_t size) {
    const auto view = view_of(bytes, size, AUDINATE_TYPE_INTERFACE_STATUS);
    if (!view)
        return std::nullopt;
    const audinate_body* body = &*view;
    interface_facts facts;
    audinate_interface_status_get_mode(body, &facts.mode);
    audinate_interface_status_get_redundancy_flags(body, &facts.redundancy);
    audinate_interface_status_get_port_count(body, &facts.port_count);
    for (uint16_t i = 0; i < facts.port_count; ++i) {
        audinate_port port{};
        // A count that promises more records than the body holds ends the list.
        if (audinate_interface_status_get_port(body, i, &port) != AUD_SUCCESS)
            break;
        port_facts p;
        port_record& r = p.record;
        r.index = i;
        audinate_port_get_flags(body, &port, &r.flags);
        audinate_port_get_link_speed(body, &port, &r.speed);
        audinate_port_get_mac(body, &port, r.mac.data());
        audinate_port_get_ip(body, &port, &r.ip);
        audinate_port_get_netmask(body, &port, &r.netmask);
        audinate_port_get_dns_server(body, &port, &r.dns_server);
        audinate_port_get_gateway(body, &port, &r.gateway);
        r.link_up = r.speed != 0;

        audinate_reboot_record rec{};
        audinate_interface_status_get_reboot_record(body, &port, &rec);
        if (rec.present) {
            const char* domain = nullptr;
            audinate_reboot_get_port_domain_name(body, &rec, &domain);
            if (domain != nullptr)
                p.domain_name = domain;
            int has_config = 0;
            audinate_reboot_has_config(body, &rec, &has_config);
            if (has_config) {
                reboot_config c;
                const char* reboot_domain = nullptr;
                audinate_reboot_get_flags(body, &rec, &c.flags);
                audinate_reboot_get_ip(body, &rec, &c.ip);
                audinate_reboot_get_netmask(body, &rec, &c.netmask);
                audinate_reboot_get_dns_server(body, &rec, &c.dns_server);
                audinate_reboot_get_gateway(body, &rec, &c.gateway);
                audinate_reboot_get_reboot_domain_name(body, &rec, &reboot_domain);
                if (reboot_domain != nullptr)
                    c.domain_name = reboot_domain;
                p.reboot = std::move(c);
            }
        }
        facts.ports.push_back(std::move(p));
    }
    return facts;
}

std::optional<srate_facts> decode_srate_status(const uint8_t* bytes, size_t size) {
    const auto view = view_of(bytes, size, AUDINATE_TYPE_SRATE_STATUS, AUDINATE_TYPE_ENC_STATUS);
    if (!view)
        return std::nullopt;
    const audinate_body* body = &*view;
    srate_facts facts;
    facts.type = audinate_body_get_type(body);
    audinate_srate_status_get_mode(body, &facts.mode);
    audinate_srate_status_get_current(body, &facts.current);
    audinate_srate_status_get_reboot(body, &facts.reboot);
    audinate_srate_status_get_available_count(body, &facts.available_count);
    for (uint16_t i = 0; i < facts.available_count; ++i) {
        uint32_t v = 0;
        // The count may claim more values than the body carries.
        if (audinate_srate_status_get_available(body, i, &v) != AUD_SUCCESS)
            break;
        facts.available.push_back(v);
    }
    return facts;
}

std::optional<manf_facts> decode_manf_versions(const uint8_t* bytes, size_t size) {
    const auto view = view_of(bytes, size, AUDINATE_TYPE_MANF_VERSIONS_STATUS);
    if (!view)
        return std::nullopt;
    const audinate_body* body = &*view;
    manf_facts facts;
    const char* manufacturer = nullptr;
    const char* model = nullptr;
    const char* model_version_string = nullptr;
    audinate_manf_versions_get_manufacturer_id(body, facts.manufacturer_id.data());
    audinate_manf_versions_get_model_id(body, facts.model_id.data());
    audinate_manf_versions_get_serial_id(body, facts.serial_id.data());
    audinate_manf_versions_get_software_version(body, &facts.software_version);
    audinate_manf_versions_get_software_build(body, &facts.software_build);
    audinate_manf_versions_get_firmware_version(body, &facts.firmware_version);
    audinate_manf_versions_get_firmware_build(body, &facts.firmware_build);
    audinate_manf_versions_get_capabilities(body, &facts.capabilities);
    audinate_manf_versions_get_manufacturer_name(body, &manufacturer);
    audinate_manf_versions_get_model_name(body, &model);
    audinate_manf_versions_get_model_version(body, &facts.model_version);
    audinate_manf_versions_get_model_version_string(body, &model_version_string);
    facts.manufacturer_name = text_or_empty(manufacturer);
    facts.model_name = text_or_empty(model);
    facts.model_version_string = text_or_empty(model_version_string);
    return facts;
}

}  // namespace tavrin
