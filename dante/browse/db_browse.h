#pragma once
// Device browse: finds Dante devices through DNS-SD and keeps a tree of them, sorted
// by name without regard to case. In the ad-hoc domain it runs one DNS-SD browse per
// selected service type on "local" and one resolve per advertised instance. All work
// runs in the environment's event loop; the browse takes no locks.
#include <stddef.h>
#include <stdint.h>

#include "dante/runtime/aud_error.h"
#include "dante/runtime/dapi.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct db_browse db_browse_t;
typedef struct db_node db_node_t;

// Service type mask bits.
enum {
    DB_TYPE_MEDIA_DEVICE = 0x01,
    DB_TYPE_MEDIA_CHANNEL = 0x02,
    DB_TYPE_CONMON_DEVICE = 0x04,
    DB_TYPE_SAFE_MODE = 0x08,
    DB_TYPE_UPGRADE_MODE = 0x10,
    DB_TYPE_VIA_DEVICE = 0x20,
    DB_TYPE_AES67_DEVICE = 0x40,
    DB_TYPE_ALL = 0x7F,
};

// A device name must be shorter than this.
#define DB_DEVICE_NAME_SIZE 32
#define DB_HOST_NAME_SIZE 32
#define DB_ID_SIZE 8
#define DB_MAX_NETWORKS 2
// Networks 0 and 1, and the loopback network after the configured ones.
#define DB_NETWORK_SLOTS 3

typedef struct db_browse_config {
    uint32_t num_networks;  // 1 or 2
    // 0 adopts the first interface an advertisement arrives on.
    uint32_t interface_indexes[DB_MAX_NETWORKS];
    uint32_t network_mask;     // networks whose advertisements are accepted
    uint32_t accept_loopback;  // non-zero: loopback is an extra network
    uint32_t resolve_timeout_sec;
    uint32_t resolve_timeout_usec;
} db_browse_config_t;

// One network, interface 0, every network accepted, loopback accepted, 30 s resolves.
void db_browse_config_init(db_browse_config_t* config);

typedef enum db_node_kind {
    DB_NODE_KIND_DEVICE = 0,
    DB_NODE_KIND_CHANNEL = 1,
    DB_NODE_KIND_LABEL = 2,
} db_node_kind_t;

typedef enum db_node_change {
    DB_NODE_CHANGE_ADDED = 0,
    DB_NODE_CHANGE_MODIFIED = 1,
    DB_NODE_CHANGE_REMOVED = 2,
} db_node_change_t;

typedef struct db_node_ref {
    db_node_kind_t kind;
    db_node_t* node;
} db_node_ref_t;

typedef struct db_browse_event {
    db_browse_t* browse;
    int phase;  // 0 before, 1 after the browse is rebuilt for a domain change
} db_browse_event_t;

// A removed node is valid until the callback returns.
typedef void db_browse_node_changed_fn(db_browse_t* browse, const db_node_ref_t* node,
                                       db_node_change_t change);
typedef void db_browse_network_changed_fn(db_browse_t* browse);
typedef void db_browse_event_fn(const db_browse_event_t* event);
typedef void db_browse_sockets_changed_fn(db_browse_t* browse);

// INVALIDPARAMETER for a missing handle or an empty mask; INVALIDDATA when the handle
// has no environment or event loop, or its domain is not known; NOMEMORY.
aud_error_t db_browse_new(dapi_t* api, uint32_t types, db_browse_t** out);
// Stops every browse and resolve and frees the tree. Null is harmless.
aud_error_t db_browse_delete(db_browse_t* browse);

// Total sockets: one per type plus one per concurrent resolve (default: 16 resolves).
// INVALIDSTATE after start; INVALIDPARAMETER unless count exceeds the number of types.
aud_error_t db_browse_set_max_sockets(db_browse_t* browse, unsigned count);
aud_error_t db_browse_set_node_changed_callback(db_browse_t* browse, db_browse_node_changed_fn* fn);
aud_error_t db_browse_set_network_changed_callback(db_browse_t* browse,
                                                   db_browse_network_changed_fn* fn);
aud_error_t db_browse_set_event_callback(db_browse_t* browse, db_browse_event_fn* fn);
aud_error_t db_browse_set_sockets_changed_callback(db_browse_t* browse,
                                                   db_browse_sockets_changed_fn* fn);
// Application data for the callbacks.
void db_browse_set_context(db_browse_t* browse, void* context);
void* db_browse_get_context(const db_browse_t* browse);

// INVALIDSTATE when already started; DNSSDFAIL when a DNS-SD browse cannot start
// (everything started is stopped again).
aud_error_t db_browse_start_config(db_browse_t* browse, const db_browse_config_t* config);

uint32_t db_browse_get_types(const db_browse_t* browse);
// The interface a network is bound to (0: none yet; the loopback network gives the
// loopback interface).
uint32_t db_browse_get_network_interface(const db_browse_t* browse, unsigned network);

// The device tree, in name order.
size_t db_browse_get_device_count(const db_browse_t* browse);
db_node_t* db_browse_get_device(const db_browse_t* browse, size_t index);
// Compared without regard to case.
db_node_t* db_browse_find_device(const db_browse_t* browse, const char* name);

const char* db_node_get_name(const db_node_t* node);
db_node_t* db_node_get_parent(const db_node_t* node);
db_node_kind_t db_node_get_kind(const db_node_t* node);
uint16_t db_channel_get_id(const db_node_t* node);

// Types under which a device is advertised on one network, and on any network.
uint32_t db_device_get_network_types(const db_node_t* node, unsigned network);
uint32_t db_device_get_types(const db_node_t* node);

typedef struct db_conmon_info {
    uint8_t device_id[DB_ID_SIZE];
    uint16_t process_id;
    uint8_t vendor_id[DB_ID_SIZE];
    uint32_t vendor_broadcast_address;  // network byte order; 0 when not advertised
    uint8_t manufacturer_id[DB_ID_SIZE];
    uint8_t model_id[DB_ID_SIZE];
} db_conmon_info_t;

// The host name of the device's ConMon service (empty when not known).
const char* db_device_get_conmon_host_name(const db_node_t* node);
// INVALIDPARAMETER for a node that is not a device.
aud_error_t db_device_get_conmon_info(const db_node_t* node, db_conmon_info_t* out);

// Reads a ConMon device's TXT record. On INVALIDDATA *failure (optional) is the log
// format of the reason, taking the function name and the instance name.
aud_error_t parse_conmon_txt_record(const void* txt, uint16_t txt_len, db_conmon_info_t* out,
                                    const char** failure);

#ifdef __cplusplus
}
#endif
