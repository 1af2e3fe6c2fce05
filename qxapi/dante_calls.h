#pragma once
// The calls the wrapper's parts make into the control library, behind one interface
// so that tests can put a scripted library underneath them. library_calls
// (library_calls.h) forwards each one to the real library and routes the library's
// callbacks to a library_events (library_events.h).
#include <sys/select.h>
#include <sys/time.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dante/browse/db_browse.h"
#include "dante/conmon/conmon_client.h"
#include "dante/routing/dr_devices.h"
#include "dante/runtime/dapi.h"
#include "qxapi/library_events.h"

namespace tavrin {

// What the wrapper sets on a new ConMon client.
struct client_settings {
    std::string name;
    uint16_t server_port = 0;
    bool vendor_broadcast = false;
    uint32_t vendor_broadcast_group = 0;
    // How often the client tries to connect again after losing its server (0: never).
    uint32_t reconnect_ms = CONMON_CLIENT_DEFAULT_RECONNECT_MS;
};

struct channel_entry {
    uint16_t id = 0;
    std::string text;
};

class dante_calls {
  public:
    virtual ~dante_calls() = default;

    // Library errors as log text ("success", "NAME: (0x....=message)").
    virtual std::string error_text(aud_error_t error) = 0;

    // API handle and runtime.
    virtual aud_error_t api_new(dapi_t** out) = 0;
    virtual void api_delete(dapi_t* api) = 0;
    virtual aud_env_t* api_env(dapi_t* api) = 0;
    virtual dante_runtime_t* api_runtime(dapi_t* api) = 0;
    virtual dapi_domain_handler_t* api_domain_handler(dapi_t* api) = 0;
    virtual aud_error_t runtime_get_sockets(dante_runtime_t* runtime, fd_set* read_set,
                                            fd_set* write_set, int* max_fd,
                                            struct timeval* timeout) = 0;
    virtual aud_error_t runtime_process_sockets(dante_runtime_t* runtime, fd_set* read_set,
                                                fd_set* write_set) = 0;

    // Browse. The node callback reaches events->nodes.
    virtual aud_error_t browse_new(dapi_t* api, uint32_t types, db_browse_t** out) = 0;
    virtual aud_error_t browse_set_max_sockets(db_browse_t* browse, unsigned count) = 0;
    virtual aud_error_t browse_install_node_callback(db_browse_t* browse,
                                                     library_events* events) = 0;
    // Network changed, event and sockets changed: they only log.
    virtual void browse_install_other_callbacks(db_browse_t* browse) = 0;
    virtual aud_error_t browse_start(db_browse_t* browse, const db_browse_config_t* config) = 0;
    // SUCCESS while browsing; NOTRUNNING once the DNS-SD service went away.
    virtual aud_error_t browse_status(const db_browse_t* browse) = 0;
    virtual void browse_delete(db_browse_t* browse) = 0;
    virtual const char* node_name(const db_node_t* node) = 0;
    virtual db_node_t* node_parent(const db_node_t* node) = 0;
    virtual uint16_t channel_id(const db_node_t* node) = 0;

    // Routing device factory and devices. Changes and completions reach events->nodes.
    virtual aud_error_t devices_new(dapi_t* api, dr_devices_t** out) = 0;
    virtual aud_error_t devices_delete(dr_devices_t* devices) = 0;
    virtual aud_error_t devices_set_handle_count(dr_devices_t* devices, unsigned count) = 0;
    virtual aud_error_t devices_set_request_limit(dr_devices_t* devices, unsigned count) = 0;
    virtual unsigned devices_pending_requests(const dr_devices_t* devices) = 0;
    virtual unsigned devices_request_limit(const dr_devices_t* devices) = 0;
    virtual aud_error_t device_config_new(const char* name, dr_device_config_t** out) = 0;
    virtual void device_config_delete(dr_device_config_t* config) = 0;
    virtual aud_error_t device_open(dr_devices_t* devices, const dr_device_config_t* config,
                                    dr_device_t** out) = 0;
    virtual aud_error_t device_install_changed_callback(dr_device_t* device,
                                                        library_events* events) = 0;
    virtual aud_error_t device_close(dr_device_t* device) = 0;
    virtual dr_device_state_t device_state(const dr_device_t* device) = 0;
    virtual uint16_t device_num_txchannels(const dr_device_t* device) = 0;
    virtual uint16_t device_num_rxchannels(const dr_device_t* device) = 0;
    virtual aud_error_t device_status_flags(const dr_device_t* device, uint32_t* out) = 0;
    virtual bool device_component_stale(const dr_device_t* device,
                                        dr_device_component_t component) = 0;
    virtual aud_error_t device_update_component(dr_device_t* device, dr_request_id_t* request_id,
                                                dr_device_component_t component) = 0;
    virtual aud_error_t device_query_capabilities(dr_device_t* device,
                                                  dr_request_id_t* request_id) = 0;
    virtual aud_error_t device_ping(dr_device_t* device, dr_request_id_t* request_id) = 0;
    // Frees a pending request nobody waits for any more; no completion follows.
    virtual aud_error_t device_cancel_request(dr_device_t* device, dr_request_id_t request_id) = 0;
    virtual aud_error_t device_close_rename(dr_device_t* device, const char* name) = 0;
    virtual std::vector<channel_entry> device_txchannels(const dr_device_t* device) = 0;
    virtual std::vector<channel_entry> device_rxchannels(const dr_device_t* device) = 0;
    virtual std::vector<channel_entry> device_txlabels(const dr_device_t* device) = 0;

    // ConMon client. Its callbacks reach events->client.
    virtual aud_error_t client_new(dapi_t* api, const client_settings& settings,
                                   conmon_client_t** out) = 0;
    virtual void client_delete(conmon_client_t* client) = 0;
    // The event callback and the disconnected callback (a lost server connection).
    virtual void client_install_event_callback(conmon_client_t* client, library_events* events) = 0;
    virtual aud_error_t client_connect(conmon_client_t* client,
                                       conmon_client_request_id_t* request_id) = 0;
    virtual aud_error_t client_process(conmon_client_t* client) = 0;
    virtual bool client_is_connected(const conmon_client_t* client) = 0;
    virtual bool client_is_remote_ready(const conmon_client_t* client) = 0;
    virtual aud_error_t client_register_monitoring(conmon_client_t* client, uint16_t channel,
                                                   uint16_t direction) = 0;
    virtual aud_error_t client_subscribe_global(conmon_client_t* client,
                                                conmon_client_request_id_t* request_id,
                                                uint16_t channel) = 0;
    // With request_id the answer reaches on_request_response; without, nothing calls back.
    virtual aud_error_t client_send_control(conmon_client_t* client,
                                            conmon_client_request_id_t* request_id,
                                            const char* device_name, uint16_t message_class,
                                            const conmon_vendor_id_t* vendor_id,
                                            const uint8_t* body, size_t size) = 0;
    // Frees a pending request nobody waits for any more; no response callback follows.
    virtual aud_error_t client_cancel_request(conmon_client_t* client,
                                              conmon_client_request_id_t request_id) = 0;
    // The sender's device name of a message being delivered; null when unknown.
    virtual const char* client_source_name(const conmon_client_t* client,
                                           const conmon_message_head_t* head) = 0;
};

}  // namespace tavrin
