#include "qxapi/device_node_list.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "dante/conmon/audinate_body.h"

namespace tavrin {
namespace {

struct component_def {
    dr_device_component_t component;
    const char* tag;
};

// The order in which stale components are requested.
constexpr component_def component_order[] = {
    {DR_DEVICE_COMPONENT_TXCHANNELS, "TXCHANNELS"}, {DR_DEVICE_COMPONENT_RXCHANNELS, "RXCHANNELS"},
    {DR_DEVICE_COMPONENT_TXLABELS, "TXLABELS"},     {DR_DEVICE_COMPONENT_TXFLOWS, "TXFLOWS"},
    {DR_DEVICE_COMPONENT_RXFLOWS, "RXFLOWS"},       {DR_DEVICE_COMPONENT_PROPERTIES, "PROPERTIES"},
};

constexpr const char* tag_capability = "QX-capability";
constexpr const char* tag_subscribe = "QX-subscribe";
constexpr const char* tag_ping = "Ping_TEST";

std::string format(const char* fmt, const std::string& a) {
    char line[300];
    std::snprintf(line, sizeof line, fmt, a.c_str());
    return line;
}

// The first 32 characters, always terminated.
void store_name(std::array<char, node_text_size>& out, const std::string& name) {
    out.fill(0);
    std::strncpy(out.data(), name.c_str(), out.size() - 1);
}

}  // namespace

device_node_list::device_node_list(dante_calls& lib, runtime_host& host, time_source& time,
                                   wrapper_logger& log, const wrapper_options& options)
    : lib_(lib), host_(host), time_(time), log_(log), options_(options) {}

// ---------------------------------------------------------------------------
// The runtime's life (library_lock held)

void device_node_list::runtime_reset() {
    dnssd_lost_.store(false);
    slots_.clear();
    pending_components_.clear();
    std::lock_guard lock(nodes_mutex_);
    nodes_.clear();
}

void device_node_list::runtime_teardown() {
    pending_components_.clear();
    {
        std::lock_guard lock(nodes_mutex_);
        // The factory refuses to go while devices are open.
        for (auto& node : nodes_) {
            if (node->device != nullptr && !node->device_closed)
                lib_.device_close(node->device);
        }
        nodes_.clear();
    }
    slots_.clear();
}

// ---------------------------------------------------------------------------
// Lookups (nodes_mutex_ held by the caller)

dt_node* device_node_list::find_node_locked(const std::string& name) const {
    for (const auto& node : nodes_) {
        if (node->name == name)
            return node.get();
    }
    return nullptr;
}

dt_node* device_node_list::find_sender_locked(const std::string& sender) const {
    if (dt_node* exact = find_node_locked(sender))
        return exact;
    for (const auto& node : nodes_) {
        if (node->name.size() == sender.size() &&
            strncasecmp(node->name.c_str(), sender.c_str(), sender.size()) == 0)
            return node.get();
    }
    return nullptr;
}

dt_node* device_node_list::find_node_by_device_locked(const dr_device_t* device) const {
    if (device == nullptr)
        return nullptr;
    for (const auto& node : nodes_) {
        if (node->device == device && !node->device_closed)
            return node.get();
    }
    return nullptr;
}

bool device_node_list::has_node(const std::string& name) const {
    std::lock_guard lock(nodes_mutex_);
    return find_node_locked(name) != nullptr;
}

size_t device_node_list::pending_slots() const {
    const library_access library = host_.lock_library();
    return slots_.taken();
}

std::vector<node_summary> device_node_list::nodes() const {
    std::lock_guard lock(nodes_mutex_);
    std::vector<node_summary> out;
    out.reserve(nodes_.size());
    for (const auto& n : nodes_) {
        node_summary s;
        s.name = n->name;
        s.active = n->active.load() != 0;
        s.manufacturer_name = n->manufacturer_name.data();
        s.model_name = n->model_name.data();
        s.model_version = n->model_version;
        s.software_version = n->software_version;
        s.firmware_version = n->firmware_version;
        s.sample_rate = n->sample_rate;
        s.encoding = n->encoding;
        s.port_count = n->ports.size();
        s.tx_channel_count = n->tx_channels.size();
        s.rx_channel_count = n->rx_channels.size();
        out.push_back(std::move(s));
    }
    return out;
}

std::string device_node_list::first_active_name() const {
    std::lock_guard lock(nodes_mutex_);
    for (const auto& node : nodes_) {
        if (node->active.load() != 0)
            return node->name;
    }
    return {};
}

void device_node_list::next_active_name(std::string& buffer) const {
    std::unique_lock lock(nodes_mutex_);
    size_t i = 0;
    while (i < nodes_.size() && nodes_[i]->name != buffer)
        ++i;
    if (i == nodes_.size()) {
        const std::string line = format("ERR- no this node (%s)", buffer);
        lock.unlock();
        log_.write(2, line);
        return;
    }
    for (++i; i < nodes_.size(); ++i) {
        if (nodes_[i]->active.load() != 0) {
            buffer = nodes_[i]->name;
            return;
        }
    }
    buffer.clear();
}

// ---------------------------------------------------------------------------
// Browse events (socket thread, library_lock held)

void device_node_list::on_browse_node(db_browse_t*, const db_node_ref_t* item,
                                      db_node_change_t event) {
    if (item == nullptr || item->node == nullptr)
        return;
    if (item->kind == DB_NODE_KIND_LABEL) {
        label_event(item, event);
        return;
    }
    if (item->kind != DB_NODE_KIND_DEVICE)
        return;
    switch (event) {
        case DB_NODE_CHANGE_ADDED:
            add_node(item->node);
            break;
        case DB_NODE_CHANGE_MODIFIED:
            log_.write(2, "CALL: db_NodeModified");
            break;
        case DB_NODE_CHANGE_REMOVED: {
            const char* name = lib_.node_name(item->node);
            remove_node(name ? name : "");
            break;
        }
    }
}

void device_node_list::on_network_changed() {
    log_.write(4, "CALL: network changed");
}

void device_node_list::on_browse_event(int phase) {
    switch (phase) {
        case DB_BROWSE_EVENT_BEFORE_DOMAIN_CHANGE:
            log_.write(4, "CALL: browse event (before)");
            return;
        case DB_BROWSE_EVENT_AFTER_DOMAIN_CHANGE:
            log_.write(4, "CALL: browse event (after)");
            return;
        case DB_BROWSE_EVENT_SERVICE_LOST:
            // The browse has stopped; the nodes it found stay, but nothing new comes
            // until a Discovery starts the runtime (and a browse) again.
            if (dnssd_lost_.exchange(true))
                return;
            log_.write(2, "ERR- DNS-SD service not running (avahi-daemon): browsing stopped");
            if (service_watch* watch = watch_.load())
                watch->dnssd_service_lost();
            return;
        default: {
            char line[64];
            std::snprintf(line, sizeof line, "CALL: browse event (%d)", phase);
            log_.write(4, line);
            return;
        }
    }
}

void device_node_list::on_sockets_changed() {
    log_.write(4, "CALL: sockets changed");
}

void device_node_list::add_node(db_node_t* browse_node) {
    const char* name = lib_.node_name(browse_node);
    if (name == nullptr)
        return;
    {
        std::lock_guard lock(nodes_mutex_);
        if (find_node_locked(name) != nullptr) {
            const std::string line = format("ERR- duplicate node (%s)", name);
            log_.write(4, line);
            return;
        }
    }
    std::unique_ptr<dt_node> node(new (std::nothrow) dt_node);
    if (!node) {
        log_.write(4, "ERR- no memory to add new node");
        return;
    }
    node->name = name;
    node->browse_node = browse_node;

    dr_device_config_t* config = nullptr;
    if (lib_.device_config_new(name, &config) != AUD_SUCCESS || config == nullptr) {
        log_.write(4, "ERR- open a device connection");
        return;
    }
    dr_device_t* device = nullptr;
    const aud_error_t e = lib_.device_open(host_.held_library().devices(), config, &device);
    lib_.device_config_delete(config);
    if (e != AUD_SUCCESS || device == nullptr) {
        log_.write(4, format("ERR- creating device (%s)", name));
        return;
    }
    node->device = device;
    lib_.device_install_changed_callback(device, host_.events());
    {
        std::lock_guard lock(nodes_mutex_);
        nodes_.push_back(std::move(node));
    }
    // After the append, so that a device already ACTIVE finds its node.
    update_device(device);
}

void device_node_list::remove_node(const std::string& name) {
    std::unique_ptr<dt_node> gone;
    {
        std::lock_guard lock(nodes_mutex_);
        for (auto it = nodes_.begin(); it != nodes_.end(); ++it) {
            if ((*it)->name == name) {
                gone = std::move(*it);
                nodes_.erase(it);
                break;
            }
        }
    }
    if (!gone) {
        log_.write(2, format("ERR- no this node (%s)", name));
        return;
    }
    // The connection would otherwise stay open in the factory with nobody to close it.
    forget_deferred(gone->device);
    if (gone->device != nullptr && !gone->device_closed) {
        cancel_requests(slots_.release_device(gone->device));
        lib_.device_close(gone->device);
    }
}

void device_node_list::label_event(const db_node_ref_t* item, db_node_change_t event) {
    if (event == DB_NODE_CHANGE_MODIFIED) {
        log_.write(2, "CALL: db_TxLabelModified");
        return;
    }
    db_node_t* channel = lib_.node_parent(item->node);
    db_node_t* device = channel ? lib_.node_parent(channel) : nullptr;
    const char* device_name = device ? lib_.node_name(device) : nullptr;
    if (device_name == nullptr)
        return;
    const uint16_t id = lib_.channel_id(channel);
    const char* label = lib_.node_name(item->node);
    std::lock_guard lock(nodes_mutex_);
    dt_node* node = find_node_locked(device_name);
    if (node == nullptr)
        return;
    for (channel_entry& entry : node->tx_channels) {
        if (entry.id == id)
            entry.text = event == DB_NODE_CHANGE_ADDED && label ? label : "";
    }
}

// ---------------------------------------------------------------------------
// Device changes and requests (socket thread, library_lock held)

void device_node_list::on_device_changed(dr_device_t* device, dr_device_change_flags_t changes) {
    char line[120];
    std::snprintf(line, sizeof line, "CB: device changed (0x%08x)", changes);
    log_.write(4, line);
    if ((changes & DR_DEVICE_CHANGE_STATE) != 0)
        update_device(device);
}

void device_node_list::update_device(dr_device_t* device) {
    if (device == nullptr)
        return;
    switch (lib_.device_state(device)) {
        case DR_DEVICE_STATE_RESOLVED: {
            request_slot* slot = slots_.take_slot(tag_capability);
            if (slot == nullptr) {
                log_.write(4, "ERR- no more request for capabilities");
                return;
            }
            slot->device = device;
            const aud_error_t e = lib_.device_query_capabilities(device, &slot->id);
            if (e != AUD_SUCCESS) {
                log_.write(4, format("ERR- get capabilities (%s)", lib_.error_text(e)));
                slots_.release_slot(slot);
            }
            return;
        }
        case DR_DEVICE_STATE_ACTIVE:
            update_active(device);
            return;
        default:
            return;
    }
}

void device_node_list::update_active(dr_device_t* device) {
    // Nodes are added and removed only with library_lock held, which this thread
    // holds, so the pointer stays valid here.
    dt_node* node = nullptr;
    {
        std::lock_guard lock(nodes_mutex_);
        node = find_node_by_device_locked(device);
        if (node == nullptr)
            return;
        node->tx_count = lib_.device_num_txchannels(device);
        node->rx_count = lib_.device_num_rxchannels(device);
    }
    uint32_t status = 0;
    aud_error_t e = lib_.device_status_flags(device, &status);
    if (e != AUD_SUCCESS) {
        log_.write(4, format("ERR- get status flags (%s)", lib_.error_text(e)));
        return;
    }
    if (status != 0) {
        char line[80];
        std::snprintf(line, sizeof line, "ERR- got a strange status (0x%08x)", status);
        log_.write(4, line);
        return;
    }
    // The stale components go out one by one from the socket thread, each after the
    // pause, and the node counts as active once the last one is asked for.
    forget_deferred(device);
    if (pending_components_.empty())
        next_component_at_ = time_.now_ms() + options_.component_pause_ms;
    pending_components_.push_back({device, 0});
}

uint32_t device_node_list::deferred_due_in() {
    if (pending_components_.empty())
        return UINT32_MAX;
    const int32_t left = static_cast<int32_t>(next_component_at_ - time_.now_ms());
    return left <= 0 ? 0 : static_cast<uint32_t>(left);
}

void device_node_list::run_deferred() {
    while (!pending_components_.empty() && deferred_due_in() == 0)
        request_next_component();
}

void device_node_list::forget_deferred(const dr_device_t* device) {
    std::erase_if(pending_components_,
                  [device](const pending_components& p) { return p.device == device; });
}

void device_node_list::cancel_requests(const std::vector<request_slot>& dropped) {
    for (const request_slot& slot : dropped) {
        if (slot.device != nullptr && slot.id != nullptr)
            lib_.device_cancel_request(slot.device, slot.id);
    }
}

void device_node_list::request_next_component() {
    pending_components& p = pending_components_.front();
    dr_device_t* device = p.device;
    dt_node* node = nullptr;
    {
        std::lock_guard lock(nodes_mutex_);
        node = find_node_by_device_locked(device);
    }
    // The node went (or was renamed away) while its components waited.
    if (node == nullptr || node->device_closed) {
        pending_components_.pop_front();
        return;
    }
    while (p.next < std::size(component_order) &&
           !lib_.device_component_stale(device, component_order[p.next].component))
        ++p.next;
    if (p.next == std::size(component_order)) {
        pending_components_.pop_front();
        node->active.store(1);
        log_.write(2, format("%s is active", node->name));
        return;
    }
    const component_def& c = component_order[p.next++];
    request_slot* slot = slots_.take_slot(c.tag);
    if (slot == nullptr) {
        log_.write(4, "ERR- no more request for component");
        pending_components_.pop_front();
        return;
    }
    slot->device = device;
    const aud_error_t e = lib_.device_update_component(device, &slot->id, c.component);
    next_component_at_ = time_.now_ms() + options_.component_pause_ms;
    if (e != AUD_SUCCESS) {
        char line[400];
        std::snprintf(line, sizeof line, "ERR- update %s %s: %s", node->name.c_str(), c.tag,
                      lib_.error_text(e).c_str());
        log_.write(4, line);
        slots_.release_slot(slot);
        pending_components_.pop_front();
    }
}

void device_node_list::on_request_done(dr_device_t* device, dr_request_id_t request_id,
                                       aud_error_t result) {
    request_slot* slot = slots_.find(request_id);
    if (slot == nullptr)
        return;
    const std::string tag = slot->tag;
    slots_.release_slot(slot);

    const auto stale_line = [&](dr_device_component_t c, const char* name) {
        if (!lib_.device_component_stale(device, c))
            return false;
        char line[120];
        std::snprintf(line, sizeof line, "ERR- %s has been marked as stale and needs updating",
                      name);
        log_.write(4, line);
        return true;
    };

    if (tag == "TXCHANNELS") {
        if (stale_line(DR_DEVICE_COMPONENT_TXCHANNELS, "TXCHANNELS"))
            return;
        std::vector<channel_entry> list = lib_.device_txchannels(device);
        for (channel_entry& entry : list)
            entry.text.clear();
        std::lock_guard lock(nodes_mutex_);
        if (dt_node* node = find_node_by_device_locked(device))
            node->tx_channels = std::move(list);
    } else if (tag == "RXCHANNELS") {
        if (stale_line(DR_DEVICE_COMPONENT_RXCHANNELS, "RXCHANNELS"))
            return;
        std::vector<channel_entry> list = lib_.device_rxchannels(device);
        std::lock_guard lock(nodes_mutex_);
        if (dt_node* node = find_node_by_device_locked(device))
            node->rx_channels = std::move(list);
    } else if (tag == "TXLABELS") {
        if (stale_line(DR_DEVICE_COMPONENT_TXLABELS, "TXLABELS"))
            return;
        const std::vector<channel_entry> labels = lib_.device_txlabels(device);
        std::lock_guard lock(nodes_mutex_);
        dt_node* node = find_node_by_device_locked(device);
        if (node == nullptr)
            return;
        for (const channel_entry& label : labels) {
            for (channel_entry& entry : node->tx_channels) {
                if (entry.id == label.id)
                    entry.text = label.text;
            }
        }
    } else if (tag == "TXFLOWS" || tag == "RXFLOWS" || tag == "PROPERTIES") {
        log_.write(4, format("CB: %s updated", tag));
    } else if (tag == tag_subscribe) {
        update_device(device);
    } else if (tag == tag_capability) {
        log_.write(4, format("CB: capabilities (%s)", lib_.error_text(result)));
    } else if (tag == tag_ping) {
        // A ping that timed out or failed completes too; only an answer counts.
        if (result != AUD_SUCCESS)
            return;
        std::lock_guard lock(nodes_mutex_);
        if (dt_node* node = find_node_by_device_locked(device))
            node->active.store(1);
    }
}

// ---------------------------------------------------------------------------
// Pings and rename (user-interface thread)

void device_node_list::ping_device_locked(const std::string& name) {
    dr_device_t* device = nullptr;
    {
        std::lock_guard lock(nodes_mutex_);
        dt_node* node = find_node_locked(name);
        if (node == nullptr) {
            log_.write(4, format("ERR- cannot find the node (%s)", name));
            return;
        }
        // Renamed: its connection is closed until the browse replaces the node.
        if (node->device_closed || node->device == nullptr)
            return;
        device = node->device;
    }
    request_slot* slot = slots_.take_slot(tag_ping);
    if (slot == nullptr) {
        log_.write(2, "ERR- no more request for Ping_TEST");
        return;
    }
    slot->device = device;
    const aud_error_t e = lib_.device_ping(device, &slot->id);
    if (e != AUD_SUCCESS) {
        log_.write(4, format("ERR- sending device ping message: %s", lib_.error_text(e)));
        slots_.release_slot(slot);
    }
}

void device_node_list::ping_device(const std::string& name) {
    const library_access library = host_.lock_library();
    ping_device_locked(name);
}

int device_node_list::ping_all() {
    struct recorded {
        std::string name;
        uint8_t active;
    };
    std::vector<recorded> before;
    {
        const library_access library = host_.lock_library();
        // Pings of the last sweep that a silent device never answered.
        cancel_requests(slots_.cancel_tag(tag_ping));
        std::lock_guard nodes(nodes_mutex_);
        for (const auto& node : nodes_)
            before.push_back({node->name, node->active.load()});
    }
    for (size_t i = 0; i < before.size(); ++i) {
        {
            const library_access library = host_.lock_library();
            {
                std::lock_guard nodes(nodes_mutex_);
                if (dt_node* node = find_node_locked(before[i].name))
                    node->active.store(0);
            }
            ping_device_locked(before[i].name);
        }
        // A short pause after the 1st, 41st, 81st ... ping spreads the answers.
        if (i % 40 == 0)
            time_.sleep_ms(options_.ping_group_pause_ms);
    }
    time_.sleep_ms(options_.ping_settle_ms);

    std::lock_guard nodes(nodes_mutex_);
    for (const recorded& r : before) {
        const dt_node* node = find_node_locked(r.name);
        const uint8_t now = node ? node->active.load() : 0;
        if (now != r.active)
            return 1;
    }
    // A node that appeared during the sweep and is active changes the set too.
    for (const auto& node : nodes_) {
        bool known = false;
        for (const recorded& r : before)
            known = known || r.name == node->name;
        if (!known && node->active.load() != 0)
            return 1;
    }
    return 0;
}

bool device_node_list::rename_device(const std::string& name, const std::string& new_name) {
    const library_access library = host_.lock_library();
    dt_node* node = nullptr;
    {
        std::lock_guard nodes(nodes_mutex_);
        node = find_node_locked(name);
        if (node == nullptr) {
            log_.write(4, format("ERR- cannot find the node (%s)", name));
            return false;
        }
        if (node->device_closed || node->device == nullptr)
            return false;
    }
    const aud_error_t e = lib_.device_close_rename(node->device, new_name.c_str());
    if (e != AUD_SUCCESS) {
        log_.write(4, format("ERR- sending Device rename message: %s", lib_.error_text(e)));
        return false;
    }
    std::lock_guard nodes(nodes_mutex_);
    // The close dropped its requests in the library; only the slots are left to free
    // (the device must not be touched again).
    slots_.release_device(node->device);
    node->device_closed = true;
    node->active.store(0);
    return true;
}

// ---------------------------------------------------------------------------
// Facts of the Audinate status messages (socket thread). Written whole under the
// lock: the device list reads both names.

void device_node_list::store_facts(const std::string& sender, const interface_facts& facts) {
    std::vector<port_record> ports;
    ports.reserve(facts.ports.size());
    for (const port_facts& p : facts.ports)
        ports.push_back(p.record);
    std::lock_guard lock(nodes_mutex_);
    if (dt_node* node = find_sender_locked(sender))
        node->ports = std::move(ports);
}

void device_node_list::store_facts(const std::string& sender, const srate_facts& facts) {
    std::lock_guard lock(nodes_mutex_);
    if (dt_node* node = find_sender_locked(sender)) {
        if (facts.type == AUDINATE_TYPE_ENC_STATUS)
            node->encoding = facts.current;
        else
            node->sample_rate = facts.current;
    }
}

void device_node_list::store_facts(const std::string& sender, const manf_facts& facts) {
    std::lock_guard lock(nodes_mutex_);
    if (dt_node* node = find_sender_locked(sender)) {
        store_name(node->manufacturer_name, facts.manufacturer_name);
        store_name(node->model_name, facts.model_name);
        node->model_version = facts.model_version;
        node->software_version = facts.software_version;
        node->firmware_version = facts.firmware_version;
    }
}

}  // namespace tavrin
