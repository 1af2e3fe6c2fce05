#pragma once
// Inside of the device browse: the browse object, its tree of device nodes and the
// ad-hoc part that drives DNS-SD. Not for use outside dante/browse.
#include <sys/select.h>

#include <deque>
#include <vector>

#include "dante/browse/db_browse.h"
#include "dante/dnssd/dt_dnssd.h"
#include "dante/runtime/aud_event_loop.h"

struct db_node {
    db_node_kind_t kind;
    db_node* parent;
    char name[DB_DEVICE_NAME_SIZE];
    uint16_t channel_id;
    uint32_t network_types[DB_NETWORK_SLOTS];
    uint32_t types;  // OR of network_types
    char conmon_host[DB_HOST_NAME_SIZE];
    db_conmon_info_t conmon;
    std::vector<db_node*> children;  // channels and labels of media devices
};

// One row of the service type table.
struct db_service_type {
    uint32_t bit;
    const char* description;
    const char* dnssd_type;  // null: not found through DNS-SD
    size_t longest_name;
};
const db_service_type* db_service_type_by_bit(uint32_t bit);
// Exact comparison, trailing dot included.
const db_service_type* db_service_type_by_name(const char* dnssd_type);

struct db_adhoc_browse;

enum db_resolve_state { DB_RESOLVE_PENDING, DB_RESOLVE_ACTIVE, DB_RESOLVE_FINISHED };

struct db_resolve {
    db_adhoc_browse* adhoc;
    unsigned network;
    const db_service_type* type;
    char name[DT_DNSSD_MAX_SERVICE_NAME];
    dt_dnssd_ref ref;
    int sock;
    aud_utime_t deadline;
    db_resolve_state state;
};

struct db_type_browse {
    const db_service_type* type;
    dt_dnssd_ref ref;
    int sock;
};

struct db_browse {
    dapi_t* api;
    aud_env_t* env;
    aud_event_loop_t* loop;
    aud_log_t* log;
    dapi_domain_registration_t* registration;
    uint32_t types;
    unsigned type_count;
    unsigned max_sockets;
    bool started;
    bool adhoc_domain;
    db_browse_config_t config;
    db_browse_node_changed_fn* node_changed;
    db_browse_network_changed_fn* network_changed;
    db_browse_event_fn* event;
    db_browse_sockets_changed_fn* sockets_changed;
    void* context;
    db_adhoc_browse* adhoc;
    std::vector<db_node*> devices;  // sorted without regard to case
};

// Tree. Finding and inserting compare without regard to case.
db_node* db_tree_find(const db_browse* browse, const char* name, size_t* position);
// INVALIDPARAMETER for an empty name or one of 32 characters or more.
aud_error_t db_tree_find_or_insert(db_browse* browse, const char* name, db_node** out,
                                   bool* inserted);
// Takes the device out of the tree and frees it.
void db_tree_remove(db_browse* browse, db_node* node);
// Empties the tree, reporting each device as removed when notify is set.
void db_tree_clear(db_browse* browse, bool notify);
void db_tree_notify(db_browse* browse, db_node* node, db_node_change_t change);

// The ad-hoc part.
aud_error_t db_adhoc_browse_new(db_browse* browse, db_adhoc_browse** out);
aud_error_t db_adhoc_browse_start_config(db_adhoc_browse* adhoc, const db_browse_config_t* config);
// Deallocates every browse and resolve and removes their sockets from the loop.
aud_error_t db_adhoc_browse_delete(db_adhoc_browse* adhoc);
uint32_t db_adhoc_browse_network_interface(const db_adhoc_browse* adhoc, unsigned network);
