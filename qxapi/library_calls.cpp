#include "qxapi/library_calls.h"

#include "dante/routing/dr_error.h"

namespace tavrin {
namespace {

// Every library object the wrapper creates carries its library_events as context.

node_events* nodes_of(void* context) {
    auto* events = static_cast<library_events*>(context);
    return events ? events->nodes : nullptr;
}

client_events* client_of(conmon_client_t* client) {
    auto* events = static_cast<library_events*>(conmon_client_get_context(client));
    return events ? events->client : nullptr;
}

void browse_node_cb(db_browse_t* browse, const db_node_ref_t* node, db_node_change_t change) {
    if (node_events* n = nodes_of(db_browse_get_context(browse)))
        n->on_browse_node(browse, node, change);
}

void browse_network_cb(db_browse_t* browse) {
    if (node_events* n = nodes_of(db_browse_get_context(browse)))
        n->on_network_changed();
}

void browse_event_cb(const db_browse_event_t* event) {
    if (event == nullptr)
        return;
    if (node_events* n = nodes_of(db_browse_get_context(event->browse)))
        n->on_browse_event(event->phase);
}

void browse_sockets_cb(db_browse_t* browse) {
    if (node_events* n = nodes_of(db_browse_get_context(browse)))
        n->on_sockets_changed();
}

void device_changed_cb(dr_device_t* device, dr_device_change_flags_t changes) {
    if (node_events* n = nodes_of(dr_device_get_context(device)))
        n->on_device_changed(device, changes);
}

void device_response_cb(dr_device_t* device, dr_request_id_t id, aud_error_t result) {
    if (node_events* n = nodes_of(dr_device_get_context(device)))
        n->on_request_done(device, id, result);
}

void client_event_cb(const conmon_client_event_t* event) {
    if (event == nullptr)
        return;
    if (client_events* c = client_of(event->client))
        c->on_client_event(event->client, event->flags);
}

void disconnected_cb(conmon_client_t* client) {
    if (client_events* c = client_of(client))
        c->on_server_lost(client);
}

void connect_response_cb(conmon_client_t* client, conmon_client_request_id_t id,
                         aud_error_t result) {
    if (client_events* c = client_of(client))
        c->on_connect_response(id, result);
}

void request_response_cb(conmon_client_t* client, conmon_client_request_id_t id,
                         aud_error_t result) {
    if (client_events* c = client_of(client))
        c->on_request_response(id, result);
}

void subscribe_response_cb(conmon_client_t* client, conmon_client_request_id_t id,
                           aud_error_t result) {
    if (client_events* c = client_of(client))
        c->on_subscribe_response(id, result);
}

void monitor_cb(conmon_client_t* client, conmon_channel_type_t channel,
                conmon_channel_direction_t direction, const conmon_message_head_t* head,
                const uint8_t* body) {
    if (client_events* c = client_of(client))
        c->on_monitor_message(client, static_cast<uint16_t>(channel),
                              static_cast<uint16_t>(direction), head, body);
}

}  // namespace

std::string library_calls::error_text(aud_error_t error) {
    char buf[AUD_ERROR_STR_SIZE];
    return dr_error_format(error, buf, sizeof buf);
}

aud_error_t library_calls::api_new(dapi_t** out) {
    return dapi_new(out);
}
void library_calls::api_delete(dapi_t* api) {
    dapi_delete(api);
}
aud_env_t* library_calls::api_env(dapi_t* api) {
    return dapi_get_env(api);
}
dante_runtime_t* library_calls::api_runtime(dapi_t* api) {
    return dapi_get_runtime(api);
}
dapi_domain_handler_t* library_calls::api_domain_handler(dapi_t* api) {
    return dapi_get_domain_handler(api);
}
aud_error_t library_calls::runtime_get_sockets(dante_runtime_t* runtime, fd_set* read_set,
                                               fd_set* write_set, int* max_fd,
                                               struct timeval* timeout) {
    return dante_runtime_get_sockets(runtime, read_set, write_set, max_fd, timeout);
}
aud_error_t library_calls::runtime_process_sockets(dante_runtime_t* runtime, fd_set* read_set,
                                                   fd_set* write_set) {
    return dante_runtime_process_sockets(runtime, read_set, write_set);
}

aud_error_t library_calls::browse_new(dapi_t* api, uint32_t types, db_browse_t** out) {
    return db_browse_new(api, types, out);
}
aud_error_t library_calls::browse_set_max_sockets(db_browse_t* browse, unsigned count) {
    return db_browse_set_max_sockets(browse, count);
}
aud_error_t library_calls::browse_install_node_callback(db_browse_t* browse,
                                                        library_events* events) {
    db_browse_set_context(browse, events);
    return db_browse_set_node_changed_callback(browse, browse_node_cb);
}
void library_calls::browse_install_other_callbacks(db_browse_t* browse) {
    db_browse_set_network_changed_callback(browse, browse_network_cb);
    db_browse_set_event_callback(browse, browse_event_cb);
    db_browse_set_sockets_changed_callback(browse, browse_sockets_cb);
}
aud_error_t library_calls::browse_start(db_browse_t* browse, const db_browse_config_t* config) {
    return db_browse_start_config(browse, config);
}
aud_error_t library_calls::browse_status(const db_browse_t* browse) {
    return db_browse_get_status(browse);
}
void library_calls::browse_delete(db_browse_t* browse) {
    db_browse_delete(browse);
}
const char* library_calls::node_name(const db_node_t* node) {
    return db_node_get_name(node);
}
db_node_t* library_calls::node_parent(const db_node_t* node) {
    return db_node_get_parent(node);
}
uint16_t library_calls::channel_id(const db_node_t* node) {
    return db_channel_get_id(node);
}

aud_error_t library_calls::devices_new(dapi_t* api, dr_devices_t** out) {
    return dr_devices_new(api, out);
}
aud_error_t library_calls::devices_delete(dr_devices_t* devices) {
    return dr_devices_delete(devices);
}
aud_error_t library_calls::devices_set_handle_count(dr_devices_t* devices, unsigned count) {
    return dr_devices_set_handle_count(devices, count);
}
aud_error_t library_calls::devices_set_request_limit(dr_devices_t* devices, unsigned count) {
    return dr_devices_set_request_limit(devices, count);
}
unsigned library_calls::devices_pending_requests(const dr_devices_t* devices) {
    return dr_devices_get_pending_requests(devices);
}
unsigned library_calls::devices_request_limit(const dr_devices_t* devices) {
    return dr_devices_get_request_limit(devices);
}
aud_error_t library_calls::device_config_new(const char* name, dr_device_config_t** out) {
    return dr_device_config_new(name, out);
}
void library_calls::device_config_delete(dr_device_config_t* config) {
    dr_device_config_delete(config);
}
aud_error_t library_calls::device_open(dr_devices_t* devices, const dr_device_config_t* config,
                                       dr_device_t** out) {
    return dr_device_open_with_config(devices, config, out);
}
aud_error_t library_calls::device_install_changed_callback(dr_device_t* device,
                                                           library_events* events) {
    dr_device_set_context(device, events);
    return dr_device_set_changed_callback(device, device_changed_cb);
}
aud_error_t library_calls::device_close(dr_device_t* device) {
    return dr_device_close(device);
}
dr_device_state_t library_calls::device_state(const dr_device_t* device) {
    return dr_device_get_state(device);
}
uint16_t library_calls::device_num_txchannels(const dr_device_t* device) {
    return dr_device_num_txchannels(device);
}
uint16_t library_calls::device_num_rxchannels(const dr_device_t* device) {
    return dr_device_num_rxchannels(device);
}
aud_error_t library_calls::device_status_flags(const dr_device_t* device, uint32_t* out) {
    return dr_device_get_status_flags(device, out);
}
bool library_calls::device_component_stale(const dr_device_t* device,
                                           dr_device_component_t component) {
    return dr_device_is_component_stale(device, component);
}
aud_error_t library_calls::device_update_component(dr_device_t* device, dr_request_id_t* request_id,
                                                   dr_device_component_t component) {
    return dr_device_update_component(device, device_response_cb, request_id, component);
}
aud_error_t library_calls::device_query_capabilities(dr_device_t* device,
                                                     dr_request_id_t* request_id) {
    return dr_device_query_capabilities(device, device_response_cb, request_id);
}
aud_error_t library_calls::device_ping(dr_device_t* device, dr_request_id_t* request_id) {
    return dr_device_ping(device, device_response_cb, request_id);
}
aud_error_t library_calls::device_cancel_request(dr_device_t* device, dr_request_id_t request_id) {
    return dr_device_cancel_request(device, request_id);
}
aud_error_t library_calls::device_close_rename(dr_device_t* device, const char* name) {
    return CloseRename(device, name);
}
std::vector<channel_entry> library_calls::device_txchannels(const dr_device_t* device) {
    std::vector<channel_entry> out;
    const unsigned n = dr_device_num_txchannels(device);
    for (unsigned i = 0; i < n; ++i) {
        if (const dr_txchannel_t* c = dr_device_txchannel_at_index(device, i)) {
            const char* name = dr_txchannel_get_name(c);
            out.push_back({dr_txchannel_get_id(c), name ? name : ""});
        }
    }
    return out;
}
std::vector<channel_entry> library_calls::device_rxchannels(const dr_device_t* device) {
    std::vector<channel_entry> out;
    const unsigned n = dr_device_num_rxchannels(device);
    for (unsigned i = 0; i < n; ++i) {
        if (const dr_rxchannel_t* c = dr_device_rxchannel_at_index(device, i)) {
            const char* name = dr_rxchannel_get_name(c);
            out.push_back({dr_rxchannel_get_id(c), name ? name : ""});
        }
    }
    return out;
}
std::vector<channel_entry> library_calls::device_txlabels(const dr_device_t* device) {
    std::vector<channel_entry> out;
    const size_t n = dr_device_num_txlabels(device);
    for (size_t i = 0; i < n; ++i) {
        uint16_t id = 0;
        const char* label = nullptr;
        if (dr_device_get_txlabel(device, i, &id, &label) == AUD_SUCCESS)
            out.push_back({id, label ? label : ""});
    }
    return out;
}

aud_error_t library_calls::client_new(dapi_t* api, const client_settings& settings,
                                      conmon_client_t** out) {
    conmon_client_config_t* config = conmon_client_config_new(settings.name.c_str());
    if (config == nullptr)
        return AUD_ERR_NOMEMORY;
    conmon_client_config_set_server_port(config, settings.server_port);
    conmon_client_config_enable_vendor_broadcast(config, settings.vendor_broadcast);
    conmon_client_config_set_vendor_broadcast_address(config, settings.vendor_broadcast_group);
    conmon_client_config_set_reconnect_interval(config, settings.reconnect_ms);
    const aud_error_t e = conmon_client_new(api, config, out);
    conmon_client_config_delete(config);
    return e;
}
void library_calls::client_delete(conmon_client_t* client) {
    conmon_client_delete(client);
}
void library_calls::client_install_event_callback(conmon_client_t* client, library_events* events) {
    conmon_client_set_context(client, events);
    conmon_client_set_event_callback(client, client_event_cb);
    conmon_client_set_disconnected_callback(client, disconnected_cb);
}
aud_error_t library_calls::client_connect(conmon_client_t* client,
                                          conmon_client_request_id_t* request_id) {
    return conmon_client_connect(client, connect_response_cb, request_id);
}
aud_error_t library_calls::client_process(conmon_client_t* client) {
    return conmon_client_process(client);
}
bool library_calls::client_is_connected(const conmon_client_t* client) {
    return conmon_client_is_connected(client);
}
bool library_calls::client_is_remote_ready(const conmon_client_t* client) {
    return conmon_client_is_remote_ready(client);
}
aud_error_t library_calls::client_register_monitoring(conmon_client_t* client, uint16_t channel,
                                                      uint16_t direction) {
    return conmon_client_register_monitoring_messages(client, request_response_cb, nullptr, channel,
                                                      direction, monitor_cb);
}
aud_error_t library_calls::client_subscribe_global(conmon_client_t* client,
                                                   conmon_client_request_id_t* request_id,
                                                   uint16_t channel) {
    return conmon_client_subscribe_global(client, subscribe_response_cb, request_id, channel);
}
aud_error_t library_calls::client_send_control(conmon_client_t* client,
                                               conmon_client_request_id_t* request_id,
                                               const char* device_name, uint16_t message_class,
                                               const conmon_vendor_id_t* vendor_id,
                                               const uint8_t* body, size_t size) {
    return conmon_client_send_control_message(client, request_id ? request_response_cb : nullptr,
                                              request_id, device_name, message_class, vendor_id,
                                              body, size, nullptr);
}
aud_error_t library_calls::client_cancel_request(conmon_client_t* client,
                                                 conmon_client_request_id_t request_id) {
    return conmon_client_cancel_request(client, request_id);
}
const char* library_calls::client_source_name(const conmon_client_t* client,
                                              const conmon_message_head_t* head) {
    conmon_instance_id_t id{};
    conmon_message_head_get_instance_id(head, &id);
    return conmon_client_get_source_name(client, &id);
}

}  // namespace tavrin
