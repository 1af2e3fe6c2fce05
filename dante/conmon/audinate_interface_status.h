#pragma once
// INTERFACE_STATUS (type 0x0011): the device's network ports, their current addresses
// and, optionally, the configuration each port applies at the next reboot.
// Addresses are returned as stored: four bytes in network order (like in_addr.s_addr).
#include "dante/conmon/audinate_body.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    AUDINATE_PORT_RECORD_SIZE = 28,
    AUDINATE_REBOOT_RECORD_SIZE = 24,
    AUDINATE_INTERFACE_MAX_BUILD_PORTS = 4,
};

enum audinate_port_flag {
    AUDINATE_PORT_UP = 0x01,
    AUDINATE_PORT_STATIC = 0x02,
    AUDINATE_PORT_REBOOT_CONFIG = 0x04,  // reboot records only
    AUDINATE_PORT_LINK_LOCAL_DISABLED = 0x08,
    AUDINATE_PORT_LINK_LOCAL_DELAYED = 0x10,
    AUDINATE_PORT_DHCP_DISABLED = 0x20,
};

enum audinate_redundancy_flag {
    AUDINATE_SWITCH_REDUNDANCY = 0x01,
    AUDINATE_SWITCH_REDUNDANCY_REBOOT = 0x02,
};

// A port record inside a body: where it starts. Obtained from
// audinate_interface_status_get_port; used with the body it came from.
typedef struct audinate_port {
    uint16_t index;
    size_t offset;
} audinate_port;

// A port's reboot record inside a body; present is 0 when the body carries none.
typedef struct audinate_reboot_record {
    int present;
    size_t offset;
} audinate_reboot_record;

// Body-level fields. INVALIDDATA when the body is not an INTERFACE_STATUS.
aud_error_t audinate_interface_status_get_port_count(const audinate_body* body, uint16_t* out);
// 0 direct, 1 switched; 0 for versions up to 0x0200.
aud_error_t audinate_interface_status_get_mode(const audinate_body* body, uint16_t* out);
// Bits of audinate_redundancy_flag; 0 below version 0x0602.
aud_error_t audinate_interface_status_get_redundancy_flags(const audinate_body* body,
                                                           uint16_t* out);

// Port record i. RANGE when index >= port count, TRUNCATED when it lies beyond the body.
aud_error_t audinate_interface_status_get_port(const audinate_body* body, uint16_t index,
                                               audinate_port* out);
aud_error_t audinate_port_get_link_speed(const audinate_body* body, const audinate_port* port,
                                         uint32_t* out);
aud_error_t audinate_port_get_flags(const audinate_body* body, const audinate_port* port,
                                    uint16_t* out);
aud_error_t audinate_port_get_mac(const audinate_body* body, const audinate_port* port,
                                  uint8_t out[6]);
aud_error_t audinate_port_get_ip(const audinate_body* body, const audinate_port* port,
                                 uint32_t* out);
aud_error_t audinate_port_get_netmask(const audinate_body* body, const audinate_port* port,
                                      uint32_t* out);
aud_error_t audinate_port_get_dns_server(const audinate_body* body, const audinate_port* port,
                                         uint32_t* out);
aud_error_t audinate_port_get_gateway(const audinate_body* body, const audinate_port* port,
                                      uint32_t* out);

// The reboot record of a port: present only when the body's reboot-record size and
// offset are both non-zero. TRUNCATED (and not present) when the record would lie
// beyond the body.
aud_error_t audinate_interface_status_get_reboot_record(const audinate_body* body,
                                                        const audinate_port* port,
                                                        audinate_reboot_record* out);
// Non-zero when the record says a reboot configuration exists (from version 0x0600).
aud_error_t audinate_reboot_has_config(const audinate_body* body, const audinate_reboot_record* rec,
                                       int* out);
aud_error_t audinate_reboot_get_flags(const audinate_body* body, const audinate_reboot_record* rec,
                                      uint16_t* out);
aud_error_t audinate_reboot_get_ip(const audinate_body* body, const audinate_reboot_record* rec,
                                   uint32_t* out);
aud_error_t audinate_reboot_get_netmask(const audinate_body* body,
                                        const audinate_reboot_record* rec, uint32_t* out);
aud_error_t audinate_reboot_get_dns_server(const audinate_body* body,
                                           const audinate_reboot_record* rec, uint32_t* out);
aud_error_t audinate_reboot_get_gateway(const audinate_body* body,
                                        const audinate_reboot_record* rec, uint32_t* out);
// Domain names (from version 0x070B): *out points into the body, or is null when the
// offset is 0, outside the body, or the string does not end inside the body.
aud_error_t audinate_reboot_get_port_domain_name(const audinate_body* body,
                                                 const audinate_reboot_record* rec,
                                                 const char** out);
aud_error_t audinate_reboot_get_reboot_domain_name(const audinate_body* body,
                                                   const audinate_reboot_record* rec,
                                                   const char** out);

// What a builder writes for one port. Addresses in network order.
typedef struct audinate_port_info {
    uint32_t link_speed;
    uint16_t flags;
    uint8_t mac[6];
    uint32_t ip;
    uint32_t netmask;
    uint32_t dns_server;
    uint32_t gateway;
    // Reboot record (written for every port when the status has reboot records).
    uint16_t reboot_flags;
    uint32_t reboot_ip;
    uint32_t reboot_netmask;
    uint32_t reboot_dns_server;
    uint32_t reboot_gateway;
    const char* domain_name;         // null or empty: none
    const char* reboot_domain_name;  // null or empty: none
} audinate_port_info;

typedef struct audinate_interface_status_info {
    uint16_t version;
    uint16_t mode;
    uint16_t redundancy_flags;
    uint16_t port_count;  // at most AUDINATE_INTERFACE_MAX_BUILD_PORTS
    int with_reboot_records;
    audinate_port_info ports[AUDINATE_INTERFACE_MAX_BUILD_PORTS];
} audinate_interface_status_info;

// Builds an INTERFACE_STATUS body with only the fields its version has.
// INVALIDPARAMETER for null arguments or too many ports, NOBUFS when it does not fit.
aud_error_t audinate_build_interface_status(uint8_t* buffer, size_t capacity,
                                            const audinate_interface_status_info* info,
                                            size_t* out_size);

// Reads every field into *out. Only the first AUDINATE_INTERFACE_MAX_BUILD_PORTS
// ports are copied (port_count says how many); the full count is
// audinate_interface_status_get_port_count. with_reboot_records is set when the body
// carries reboot records. Returns the first reader error, SUCCESS when none.
aud_error_t audinate_read_interface_status(const audinate_body* body,
                                           audinate_interface_status_info* out);

#ifdef __cplusplus
}
#endif
