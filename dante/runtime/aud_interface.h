#pragma once
// The list of network interfaces, one entry per adapter, sorted by category and
// then interface index so wired adapters come first.
#include <netinet/in.h>
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "dante/runtime/aud_error.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct aud_env aud_env_t;

typedef enum aud_interface_category {
    AUD_INTERFACE_CATEGORY_UNKNOWN = 0,
    AUD_INTERFACE_CATEGORY_OTHER = 1,  // wired and anything not listed below
    AUD_INTERFACE_CATEGORY_LOOPBACK = 2,
    AUD_INTERFACE_CATEGORY_WIRELESS = 3,
    AUD_INTERFACE_CATEGORY_VIRTUAL = 4,
    AUD_INTERFACE_CATEGORY_FIREWIRE = 5,
    AUD_INTERFACE_CATEGORY_BLUETOOTH = 6,
} aud_interface_category_t;

#define AUD_INTERFACE_NAME_SIZE 256  // UTF-8; at most 63 characters are kept
#define AUD_INTERFACE_ADAPTER_NAME_SIZE 256
#define AUD_INTERFACE_DNS_SUFFIX_SIZE 65
#define AUD_INTERFACE_MAC_SIZE 8

typedef struct aud_interface {
    char name[AUD_INTERFACE_NAME_SIZE];  // friendly name; on Linux the adapter name
    char adapter_name[AUD_INTERFACE_ADAPTER_NAME_SIZE];
    uint32_t index;
    uint16_t pktinfo_index;  // low 16 bits of index
    aud_interface_category_t category;
    uint8_t mac[AUD_INTERFACE_MAC_SIZE];
    uint8_t mac_len;
    struct in_addr ip_addr;  // first IPv4 address; 0 when none (network order)
    struct in_addr netmask;
    struct in_addr dns_server;  // first IPv4 name server, 0 when unknown
    struct in_addr gateway;     // default gateway through this interface, 0 when none
    char dns_suffix[AUD_INTERFACE_DNS_SUFFIX_SIZE];
    bool link_up;
    bool loopback;
    bool multicast;
    uint32_t link_speed_mbps;  // 0 when unknown
} aud_interface_t;

// *out is an array of *count entries allocated by the library; free it with
// aud_interface_list_free. An empty list is SUCCESS with *out null. env may be null
// (no logging).
aud_error_t aud_interface_list_with_env(aud_env_t* env, aud_interface_t** out, size_t* count);
aud_error_t aud_interface_list(aud_interface_t** out, size_t* count);
void aud_interface_list_free(aud_interface_t* list);

const aud_interface_t* aud_interface_find_by_index(const aud_interface_t* list, size_t count,
                                                   uint32_t index);
const aud_interface_t* aud_interface_find_by_name(const aud_interface_t* list, size_t count,
                                                  const char* name);
const aud_interface_t* aud_interface_find_loopback(const aud_interface_t* list, size_t count);
// The loopback interface's index from a fresh list, 0 when there is none or the list
// cannot be read.
uint32_t aud_interface_loopback_index(aud_env_t* env);

#ifdef __cplusplus
}
#endif
