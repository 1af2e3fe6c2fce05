// ConMon devices found and lost by the ad-hoc browse.
#include <string.h>

#include "dante/browse/internal/db_adhoc_browse.h"

void db_adhoc_browse_conmon_device_resolved(db_adhoc_browse* adhoc, db_resolve* record,
                                            const char* host, uint16_t, uint16_t txt_len,
                                            const unsigned char* txt) {
    db_browse* browse = adhoc->browse;
    db_conmon_info_t info;
    const char* failure = nullptr;
    if (parse_conmon_txt_record(txt, txt_len, &info, &failure) != AUD_SUCCESS) {
        DB_LOG(adhoc, AUD_LOG_WARNING, failure, __func__, record->name);
        return;
    }
    DB_LOG(adhoc, AUD_LOG_INFO, "%s: Adding conmon device \"%s\" (target_name='%s')", __func__,
           record->name, host);

    db_node* node = nullptr;
    bool inserted = false;
    const aud_error_t e = db_tree_find_or_insert(browse, record->name, &node, &inserted);
    if (e != AUD_SUCCESS) {
        DB_LOG(adhoc, AUD_LOG_ERROR, "%s: Error adding conmon device \"%s\" to tree", __func__,
               record->name);
        adhoc->pass_error = e;
        return;
    }
    bool changed = inserted;
    uint32_t& mask = node->network_types[record->network];
    if (!(mask & DB_TYPE_CONMON_DEVICE)) {
        mask |= DB_TYPE_CONMON_DEVICE;
        changed = true;
    }
    node->types = 0;
    for (uint32_t m : node->network_types) {
        node->types |= m;
    }
    if (strncmp(node->conmon_host, host, DB_HOST_NAME_SIZE) != 0) {
        strncpy(node->conmon_host, host, DB_HOST_NAME_SIZE - 1);
        node->conmon_host[DB_HOST_NAME_SIZE - 1] = '\0';
        changed = true;
    }
    if (memcmp(&node->conmon, &info, sizeof info) != 0) {
        node->conmon = info;
        changed = true;
    }
    if (changed) {
        db_tree_notify(browse, node, inserted ? DB_NODE_CHANGE_ADDED : DB_NODE_CHANGE_MODIFIED);
        adhoc->tree_changed = true;
    }
}

void db_adhoc_browse_conmon_device_lost(db_adhoc_browse* adhoc, unsigned network,
                                        const char* name) {
    db_browse* browse = adhoc->browse;
    DB_LOG(adhoc, AUD_LOG_INFO, "%s: Removing conmon device \"%s\" from network %u", __func__, name,
           network);
    db_node* node = db_tree_find(browse, name, nullptr);
    // The tree is ordered without regard to case, but a withdrawal names one instance.
    if (!node || strcmp(node->name, name) != 0) {
        return;
    }
    uint32_t& mask = node->network_types[network];
    if (!(mask & DB_TYPE_CONMON_DEVICE)) {
        return;
    }
    mask &= ~static_cast<uint32_t>(DB_TYPE_CONMON_DEVICE);
    node->types = 0;
    uint32_t conmon_anywhere = 0;
    for (uint32_t m : node->network_types) {
        node->types |= m;
        conmon_anywhere |= m & DB_TYPE_CONMON_DEVICE;
    }
    if (!conmon_anywhere) {
        memset(&node->conmon, 0, sizeof node->conmon);
    }
    if (!node->types) {
        node->conmon_host[0] = '\0';
    }
    adhoc->tree_changed = true;
    if (node->types || !node->children.empty()) {
        db_tree_notify(browse, node, DB_NODE_CHANGE_MODIFIED);
        return;
    }
    // Out of the tree before the callback, so that it sees the tree without the device.
    auto& devices = browse->devices;
    for (size_t i = 0; i < devices.size(); ++i) {
        if (devices[i] == node) {
            devices.erase(devices.begin() + static_cast<ptrdiff_t>(i));
            break;
        }
    }
    db_tree_notify(browse, node, DB_NODE_CHANGE_REMOVED);
    db_tree_remove(browse, node);
}
