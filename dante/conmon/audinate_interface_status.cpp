#include "dante/conmon/audinate_interface_status.h"

#include <string.h>

#include "dante/conmon/internal/audinate_read.h"
#include "dante/runtime/byte_view.h"

using namespace audinate_detail;

namespace {

constexpr size_t kPortCountAt = 8;
constexpr size_t kModeAt = 10;
constexpr size_t kPortsAt = 12;
constexpr uint16_t kModeFrom = 0x0201;
constexpr uint16_t kRedundancyFrom = 0x0602;
constexpr uint16_t kRebootConfigFrom = 0x0600;
constexpr uint16_t kDomainNamesFrom = 0x070B;
// The port's own domain name and the reboot one are recorded in the reboot record.
constexpr size_t kPortDomainAt = 20;
constexpr size_t kRebootDomainAt = 22;

aud_error_t check(const audinate_body* body, const void* out) {
    return check_body(body, out, AUDINATE_TYPE_INTERFACE_STATUS, AUDINATE_TYPE_INTERFACE_STATUS);
}

// Offset of the table that follows the port records.
aud_error_t tail_offset(const audinate_body* body, size_t* out) {
    uint16_t n = 0;
    if (!read_u16(body, kPortCountAt, &n)) {
        return AUD_ERR_TRUNCATED;
    }
    *out = kPortsAt + static_cast<size_t>(AUDINATE_PORT_RECORD_SIZE) * n;
    return AUD_SUCCESS;
}

aud_error_t port_field(const audinate_body* body, const audinate_port* port, const void* out,
                       size_t field, size_t width) {
    aud_error_t e = check(body, out);
    if (e != AUD_SUCCESS) {
        return e;
    }
    if (!port || field + width > AUDINATE_PORT_RECORD_SIZE) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    return AUD_SUCCESS;
}

aud_error_t port_u32(const audinate_body* body, const audinate_port* port, uint32_t* out,
                     size_t field, bool raw) {
    aud_error_t e = port_field(body, port, out, field, 4);
    if (e != AUD_SUCCESS) {
        if (out) {
            *out = 0;
        }
        return e;
    }
    bool ok = raw ? read_raw32(body, port->offset + field, out)
                  : read_u32(body, port->offset + field, out);
    return ok ? AUD_SUCCESS : AUD_ERR_TRUNCATED;
}

aud_error_t reboot_field(const audinate_body* body, const audinate_reboot_record* rec,
                         const void* out, size_t field, size_t width) {
    aud_error_t e = check(body, out);
    if (e != AUD_SUCCESS) {
        return e;
    }
    if (!rec || !rec->present) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    // A field beyond the record size the body declares is not part of the record.
    size_t t = 0;
    uint16_t record_size = 0;
    if (tail_offset(body, &t) != AUD_SUCCESS || !read_u16(body, t, &record_size)) {
        return AUD_ERR_TRUNCATED;
    }
    if (field + width > record_size) {
        return AUD_ERR_TRUNCATED;
    }
    return AUD_SUCCESS;
}

aud_error_t reboot_u32(const audinate_body* body, const audinate_reboot_record* rec, uint32_t* out,
                       size_t field) {
    aud_error_t e = reboot_field(body, rec, out, field, 4);
    if (e != AUD_SUCCESS) {
        if (out) {
            *out = 0;
        }
        return e;
    }
    return read_raw32(body, rec->offset + field, out) ? AUD_SUCCESS : AUD_ERR_TRUNCATED;
}

aud_error_t reboot_string(const audinate_body* body, const audinate_reboot_record* rec,
                          const char** out, size_t field) {
    if (out) {
        *out = nullptr;
    }
    if (audinate_body_get_version(body) < kDomainNamesFrom) {
        aud_error_t e = check(body, out);
        return e == AUD_SUCCESS && (!rec || !rec->present) ? AUD_ERR_INVALIDPARAMETER : e;
    }
    aud_error_t e = reboot_field(body, rec, out, field, 2);
    if (e != AUD_SUCCESS) {
        return e;
    }
    uint16_t at = 0;
    if (!read_u16(body, rec->offset + field, &at)) {
        return AUD_ERR_TRUNCATED;
    }
    if (at != 0) {
        *out = read_string(body, at, body->size);
    }
    return AUD_SUCCESS;
}

}  // namespace

aud_error_t audinate_interface_status_get_port_count(const audinate_body* body, uint16_t* out) {
    aud_error_t e = check(body, out);
    if (e != AUD_SUCCESS) {
        return e;
    }
    return read_u16(body, kPortCountAt, out) ? AUD_SUCCESS : AUD_ERR_TRUNCATED;
}

aud_error_t audinate_interface_status_get_mode(const audinate_body* body, uint16_t* out) {
    aud_error_t e = check(body, out);
    if (e != AUD_SUCCESS) {
        return e;
    }
    *out = 0;
    if (audinate_body_get_version(body) < kModeFrom) {
        return AUD_SUCCESS;
    }
    return read_u16(body, kModeAt, out) ? AUD_SUCCESS : AUD_ERR_TRUNCATED;
}

aud_error_t audinate_interface_status_get_redundancy_flags(const audinate_body* body,
                                                           uint16_t* out) {
    aud_error_t e = check(body, out);
    if (e != AUD_SUCCESS) {
        return e;
    }
    *out = 0;
    if (audinate_body_get_version(body) < kRedundancyFrom) {
        return AUD_SUCCESS;
    }
    size_t t = 0;
    e = tail_offset(body, &t);
    if (e != AUD_SUCCESS) {
        return e;
    }
    return read_u16(body, t + 4, out) ? AUD_SUCCESS : AUD_ERR_TRUNCATED;
}

aud_error_t audinate_interface_status_get_port(const audinate_body* body, uint16_t index,
                                               audinate_port* out) {
    aud_error_t e = check(body, out);
    if (e != AUD_SUCCESS) {
        return e;
    }
    uint16_t n = 0;
    if (!read_u16(body, kPortCountAt, &n)) {
        return AUD_ERR_TRUNCATED;
    }
    if (index >= n) {
        return AUD_ERR_RANGE;
    }
    size_t at = kPortsAt + static_cast<size_t>(AUDINATE_PORT_RECORD_SIZE) * index;
    if (at + AUDINATE_PORT_RECORD_SIZE > body->size) {
        return AUD_ERR_TRUNCATED;
    }
    out->index = index;
    out->offset = at;
    return AUD_SUCCESS;
}

aud_error_t audinate_port_get_link_speed(const audinate_body* body, const audinate_port* port,
                                         uint32_t* out) {
    return port_u32(body, port, out, 0, false);
}

aud_error_t audinate_port_get_flags(const audinate_body* body, const audinate_port* port,
                                    uint16_t* out) {
    aud_error_t e = port_field(body, port, out, 4, 2);
    if (e != AUD_SUCCESS) {
        return e;
    }
    return read_u16(body, port->offset + 4, out) ? AUD_SUCCESS : AUD_ERR_TRUNCATED;
}

aud_error_t audinate_port_get_mac(const audinate_body* body, const audinate_port* port,
                                  uint8_t out[6]) {
    aud_error_t e = port_field(body, port, out, 6, 6);
    if (e != AUD_SUCCESS) {
        return e;
    }
    return read_bytes(body, port->offset + 6, out, 6) ? AUD_SUCCESS : AUD_ERR_TRUNCATED;
}

aud_error_t audinate_port_get_ip(const audinate_body* body, const audinate_port* port,
                                 uint32_t* out) {
    return port_u32(body, port, out, 12, true);
}

aud_error_t audinate_port_get_netmask(const audinate_body* body, const audinate_port* port,
                                      uint32_t* out) {
    return port_u32(body, port, out, 16, true);
}

aud_error_t audinate_port_get_dns_server(const audinate_body* body, const audinate_port* port,
                                         uint32_t* out) {
    return port_u32(body, port, out, 20, true);
}

aud_error_t audinate_port_get_gateway(const audinate_body* body, const audinate_port* port,
                                      uint32_t* out) {
    return port_u32(body, port, out, 24, true);
}

aud_error_t audinate_interface_status_get_reboot_record(const audinate_body* body,
                                                        const audinate_port* port,
                                                        audinate_reboot_record* out) {
    aud_error_t e = check(body, out);
    if (e != AUD_SUCCESS) {
        return e;
    }
    out->present = 0;
    out->offset = 0;
    if (!port) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    size_t t = 0;
    uint16_t record_size = 0;
    uint16_t first = 0;
    e = tail_offset(body, &t);
    if (e != AUD_SUCCESS) {
        return e;
    }
    if (!read_u16(body, t, &record_size) || !read_u16(body, t + 2, &first)) {
        return AUD_ERR_TRUNCATED;
    }
    if (record_size == 0 || first == 0) {
        return AUD_SUCCESS;
    }
    size_t at = first + static_cast<size_t>(port->index) * record_size;
    if (at + record_size > body->size) {
        return AUD_ERR_TRUNCATED;
    }
    out->present = 1;
    out->offset = at;
    return AUD_SUCCESS;
}

aud_error_t audinate_reboot_get_flags(const audinate_body* body, const audinate_reboot_record* rec,
                                      uint16_t* out) {
    aud_error_t e = reboot_field(body, rec, out, 0, 2);
    if (e != AUD_SUCCESS) {
        if (out) {
            *out = 0;
        }
        return e;
    }
    return read_u16(body, rec->offset, out) ? AUD_SUCCESS : AUD_ERR_TRUNCATED;
}

aud_error_t audinate_reboot_has_config(const audinate_body* body, const audinate_reboot_record* rec,
                                       int* out) {
    uint16_t flags = 0;
    aud_error_t e = audinate_reboot_get_flags(body, rec, out ? &flags : nullptr);
    if (out) {
        *out = e == AUD_SUCCESS && audinate_body_get_version(body) >= kRebootConfigFrom &&
               (flags & AUDINATE_PORT_REBOOT_CONFIG) != 0;
    }
    return e;
}

aud_error_t audinate_reboot_get_ip(const audinate_body* body, const audinate_reboot_record* rec,
                                   uint32_t* out) {
    return reboot_u32(body, rec, out, 4);
}

aud_error_t audinate_reboot_get_netmask(const audinate_body* body,
                                        const audinate_reboot_record* rec, uint32_t* out) {
    return reboot_u32(body, rec, out, 8);
}

aud_error_t audinate_reboot_get_dns_server(const audinate_body* body,
                                           const audinate_reboot_record* rec, uint32_t* out) {
    return reboot_u32(body, rec, out, 12);
}

aud_error_t audinate_reboot_get_gateway(const audinate_body* body,
                                        const audinate_reboot_record* rec, uint32_t* out) {
    return reboot_u32(body, rec, out, 16);
}

aud_error_t audinate_reboot_get_port_domain_name(const audinate_body* body,
                                                 const audinate_reboot_record* rec,
                                                 const char** out) {
    return reboot_string(body, rec, out, kPortDomainAt);
}

aud_error_t audinate_reboot_get_reboot_domain_name(const audinate_body* body,
                                                   const audinate_reboot_record* rec,
                                                   const char** out) {
    return reboot_string(body, rec, out, kRebootDomainAt);
}

namespace {

bool write_raw32(aud_byte_writer* w, uint32_t v) {
    return aud_write_bytes(w, &v, 4);
}

bool write_port(aud_byte_writer* w, const audinate_port_info* p) {
    return aud_write_be32(w, p->link_speed) && aud_write_be16(w, p->flags) &&
           aud_write_bytes(w, p->mac, 6) && write_raw32(w, p->ip) && write_raw32(w, p->netmask) &&
           write_raw32(w, p->dns_server) && write_raw32(w, p->gateway);
}

// Appends a string and returns its offset, or 0 for none.
bool append_string(aud_byte_writer* w, const char* s, uint16_t* at) {
    *at = 0;
    if (!s || !*s) {
        return true;
    }
    if (w->pos > 0xFFFF) {
        return false;
    }
    *at = static_cast<uint16_t>(w->pos);
    return aud_write_bytes(w, s, strlen(s) + 1);
}

}  // namespace

aud_error_t audinate_build_interface_status(uint8_t* buffer, size_t capacity,
                                            const audinate_interface_status_info* info,
                                            size_t* out_size) {
    if (!buffer || !info || !out_size || info->port_count > AUDINATE_INTERFACE_MAX_BUILD_PORTS) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    const uint16_t version = info->version;
    const uint16_t n = info->port_count;
    const bool names = version >= kDomainNamesFrom;
    const uint16_t record_size = names ? AUDINATE_REBOOT_RECORD_SIZE : 20;
    aud_byte_writer w = aud_writer_make(buffer, capacity);
    bool ok = aud_write_be16(&w, version) && aud_write_be16(&w, AUDINATE_TYPE_INTERFACE_STATUS) &&
              aud_write_be32(&w, 0) && aud_write_be16(&w, n) &&
              aud_write_be16(&w, version >= kModeFrom ? info->mode : 0);
    for (uint16_t i = 0; ok && i < n; ++i) {
        ok = write_port(&w, &info->ports[i]);
    }
    const size_t tail = w.pos;
    const size_t first = tail + 8;
    ok = ok && aud_write_be16(&w, info->with_reboot_records ? record_size : 0) &&
         aud_write_be16(&w, info->with_reboot_records ? static_cast<uint16_t>(first) : 0) &&
         aud_write_be16(&w, version >= kRedundancyFrom ? info->redundancy_flags : 0) &&
         aud_write_zeros(&w, 2);
    if (ok && info->with_reboot_records) {
        ok = aud_write_zeros(&w, static_cast<size_t>(record_size) * n);
        for (uint16_t i = 0; ok && i < n; ++i) {
            const audinate_port_info* p = &info->ports[i];
            uint16_t port_name = 0;
            uint16_t reboot_name = 0;
            if (names) {
                ok = append_string(&w, p->domain_name, &port_name) &&
                     append_string(&w, p->reboot_domain_name, &reboot_name);
            }
            aud_byte_writer rec = aud_writer_make(buffer + first + i * record_size, record_size);
            ok = ok && aud_write_be16(&rec, p->reboot_flags) && aud_write_zeros(&rec, 2) &&
                 write_raw32(&rec, p->reboot_ip) && write_raw32(&rec, p->reboot_netmask) &&
                 write_raw32(&rec, p->reboot_dns_server) && write_raw32(&rec, p->reboot_gateway);
            if (ok && names) {
                ok = aud_write_be16(&rec, port_name) && aud_write_be16(&rec, reboot_name);
            }
        }
    }
    if (!ok) {
        return AUD_ERR_NOBUFS;
    }
    *out_size = w.pos;
    return AUD_SUCCESS;
}

aud_error_t audinate_read_interface_status(const audinate_body* body,
                                           audinate_interface_status_info* out) {
    // A caller that ignores the status still sees no stale fields.
    if (out) {
        *out = audinate_interface_status_info{};
    }
    aud_error_t e = check(body, out);
    if (e != AUD_SUCCESS) {
        return e;
    }
    out->version = audinate_body_get_version(body);
    first_error keep;
    keep(audinate_interface_status_get_mode(body, &out->mode));
    keep(audinate_interface_status_get_redundancy_flags(body, &out->redundancy_flags));
    uint16_t n = 0;
    keep(audinate_interface_status_get_port_count(body, &n));
    uint16_t copied = 0;
    for (; copied < n && copied < AUDINATE_INTERFACE_MAX_BUILD_PORTS; ++copied) {
        audinate_port port{};
        aud_error_t r = audinate_interface_status_get_port(body, copied, &port);
        if (r != AUD_SUCCESS) {
            keep(r);
            break;
        }
        audinate_port_info* p = &out->ports[copied];
        keep(audinate_port_get_link_speed(body, &port, &p->link_speed));
        keep(audinate_port_get_flags(body, &port, &p->flags));
        keep(audinate_port_get_mac(body, &port, p->mac));
        keep(audinate_port_get_ip(body, &port, &p->ip));
        keep(audinate_port_get_netmask(body, &port, &p->netmask));
        keep(audinate_port_get_dns_server(body, &port, &p->dns_server));
        keep(audinate_port_get_gateway(body, &port, &p->gateway));
        audinate_reboot_record rec{};
        keep(audinate_interface_status_get_reboot_record(body, &port, &rec));
        if (!rec.present) {
            continue;
        }
        out->with_reboot_records = 1;
        keep(audinate_reboot_get_flags(body, &rec, &p->reboot_flags));
        keep(audinate_reboot_get_ip(body, &rec, &p->reboot_ip));
        keep(audinate_reboot_get_netmask(body, &rec, &p->reboot_netmask));
        keep(audinate_reboot_get_dns_server(body, &rec, &p->reboot_dns_server));
        keep(audinate_reboot_get_gateway(body, &rec, &p->reboot_gateway));
        keep(audinate_reboot_get_port_domain_name(body, &rec, &p->domain_name));
        keep(audinate_reboot_get_reboot_domain_name(body, &rec, &p->reboot_domain_name));
    }
    out->port_count = copied;
    return keep.value;
}
