// The device tree: devices in an array sorted by name without regard to case.
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <new>

#include "dante/browse/internal/db_browse_impl.h"

namespace {

const db_service_type k_types[] = {
    {DB_TYPE_MEDIA_DEVICE, "media device", "_netaudio-arc._udp.", 31},
    {DB_TYPE_MEDIA_CHANNEL, "media channel", "_netaudio-chan._udp.", 63},
    {DB_TYPE_CONMON_DEVICE, "conmon device", "_netaudio-cmc._udp.", 31},
    {DB_TYPE_SAFE_MODE, "safe mode", "_dante-safe._udp.", 31},
    {DB_TYPE_UPGRADE_MODE, "upgrade mode", "_dante-upgr._udp.", 31},
    {DB_TYPE_VIA_DEVICE, "via device", "_netaudio-via._tcp.", 31},
    {DB_TYPE_AES67_DEVICE, "aes67 device", nullptr, 0},
};

void free_node(db_node* node) {
    for (db_node* child : node->children) {
        free_node(child);
    }
    delete node;
}

}  // namespace

const db_service_type* db_service_type_by_bit(uint32_t bit) {
    for (const db_service_type& t : k_types) {
        if (t.bit == bit) {
            return &t;
        }
    }
    return nullptr;
}

const db_service_type* db_service_type_by_name(const char* dnssd_type) {
    if (!dnssd_type) {
        return nullptr;
    }
    for (const db_service_type& t : k_types) {
        if (t.dnssd_type && strcmp(t.dnssd_type, dnssd_type) == 0) {
            return &t;
        }
    }
    return nullptr;
}

db_node* db_tree_find(const db_browse* browse, const char* name, size_t* position) {
    auto it = std::lower_bound(
        browse->devices.begin(), browse->devices.end(), name,
        [](const db_node* n, const char* key) { return strcasecmp(n->name, key) < 0; });
    if (position) {
        *position = static_cast<size_t>(it - browse->devices.begin());
    }
    return it != browse->devices.end() && strcasecmp((*it)->name, name) == 0 ? *it : nullptr;
}

aud_error_t db_tree_find_or_insert(db_browse* browse, const char* name, db_node** out,
                                   bool* inserted) {
    *inserted = false;
    const size_t len = name ? strnlen(name, DB_DEVICE_NAME_SIZE) : 0;
    if (len == 0 || len >= DB_DEVICE_NAME_SIZE) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    size_t pos = 0;
    if (db_node* found = db_tree_find(browse, name, &pos)) {
        *out = found;
        return AUD_SUCCESS;
    }
    db_node* node = new (std::nothrow) db_node();
    if (!node) {
        return AUD_ERR_NOMEMORY;
    }
    node->kind = DB_NODE_KIND_DEVICE;
    memcpy(node->name, name, len + 1);
    try {
        browse->devices.insert(browse->devices.begin() + static_cast<ptrdiff_t>(pos), node);
    } catch (const std::bad_alloc&) {
        delete node;
        return AUD_ERR_NOMEMORY;
    }
    *out = node;
    *inserted = true;
    return AUD_SUCCESS;
}

void db_tree_remove(db_browse* browse, db_node* node) {
    auto it = std::find(browse->devices.begin(), browse->devices.end(), node);
    if (it != browse->devices.end()) {
        browse->devices.erase(it);
    }
    free_node(node);
}

void db_tree_notify(db_browse* browse, db_node* node, db_node_change_t change) {
    if (browse->node_changed) {
        const db_node_ref_t ref = {node->kind, node};
        browse->node_changed(browse, &ref, change);
    }
}

void db_tree_clear(db_browse* browse, bool notify) {
    std::vector<db_node*> devices;
    devices.swap(browse->devices);
    for (db_node* node : devices) {
        if (notify) {
            db_tree_notify(browse, node, DB_NODE_CHANGE_REMOVED);
        }
        free_node(node);
    }
}

extern "C" {

size_t db_browse_get_device_count(const db_browse_t* browse) {
    return browse ? browse->devices.size() : 0;
}

db_node_t* db_browse_get_device(const db_browse_t* browse, size_t index) {
    return browse && index < browse->devices.size() ? browse->devices[index] : nullptr;
}

db_node_t* db_browse_find_device(const db_browse_t* browse, const char* name) {
    return browse && name ? db_tree_find(browse, name, nullptr) : nullptr;
}

const char* db_node_get_name(const db_node_t* node) {
    return node ? node->name : nullptr;
}

db_node_t* db_node_get_parent(const db_node_t* node) {
    return node ? node->parent : nullptr;
}

db_node_kind_t db_node_get_kind(const db_node_t* node) {
    return node ? node->kind : DB_NODE_KIND_DEVICE;
}

uint16_t db_channel_get_id(const db_node_t* node) {
    return node && node->kind == DB_NODE_KIND_CHANNEL ? node->channel_id : 0;
}

uint32_t db_device_get_network_types(const db_node_t* node, unsigned network) {
    return node && network < DB_NETWORK_SLOTS ? node->network_types[network] : 0;
}

uint32_t db_device_get_types(const db_node_t* node) {
    return node ? node->types : 0;
}

const char* db_device_get_conmon_host_name(const db_node_t* node) {
    return node ? node->conmon_host : nullptr;
}

aud_error_t db_device_get_conmon_info(const db_node_t* node, db_conmon_info_t* out) {
    if (!node || !out || node->kind != DB_NODE_KIND_DEVICE) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    *out = node->conmon;
    return AUD_SUCCESS;
}

}  // extern "C"
