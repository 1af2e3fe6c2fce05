#pragma once
// The wrapper's calls forwarded to the real control library, with the library's
// callbacks routed to the library_events kept as each object's context.
#include "qxapi/dante_calls.h"

namespace tavrin {

class library_calls : public dante_calls {
  public:
    std::string error_text(aud_error_t error) override;

    aud_error_t api_new(dapi_t** out) override;
    void api_delete(dapi_t* api) override;
    aud_env_t* api_env(dapi_t* api) override;
    dante_runtime_t* api_runtime(dapi_t* api) override;
    dapi_domain_handler_t* api_domain_handler(dapi_t* api) override;
    aud_error_t runtime_get_sockets(dante_runtime_t* runtime, fd_set* read_set, fd_set* write_set,
                                    int* max_fd, struct timeval* timeout) override;
    aud_error_t runtime_process_sockets(dante_runtime_t* runtime, fd_set* read_set,
                                        fd_set* write_set) override;

    aud_error_t browse_new(dapi_t* api, uint32_t types, db_browse_t** out) override;
    aud_error_t browse_set_max_sockets(db_browse_t* browse, unsigned count) override;
    aud_error_t browse_install_node_callback(db_browse_t* browse, library_events* events) override;
    void browse_install_other_callbacks(db_browse_t* browse) override;
    aud_error_t browse_start(db_browse_t* browse, const db_browse_config_t* config) override;
    aud_error_t browse_status(const db_browse_t* browse) override;
    void browse_delete(db_browse_t* browse) override;
    const char* node_name(const db_node_t* node) override;
    db_node_t* node_parent(const db_node_t* node) override;
    uint16_t channel_id(const db_node_t* node) override;

    aud_error_t devices_new(dapi_t* api, dr_devices_t** out) override;
    aud_error_t devices_delete(dr_devices_t* devices) override;
    aud_error_t devices_set_handle_count(dr_devices_t* devices, unsigned count) override;
    aud_error_t devices_set_request_limit(dr_devices_t* devices, unsigned count) override;
    unsigned devices_pending_requests(const dr_devices_t* devices) override;
    unsigned devices_request_limit(const dr_devices_t* devices) override;
    aud_error_t device_config_new(const char* name, dr_device_config_t** out) override;
    void device_config_delete(dr_device_config_t* config) override;
    aud_error_t device_open(dr_devices_t* devices, const dr_device_config_t* config,
                            dr_device_t** out) override;
    aud_error_t device_install_changed_callback(dr_device_t* device,
                                                library_events* events) override;
    aud_error_t device_close(dr_device_t* device) override;
    dr_device_state_t device_state(const dr_device_t* device) override;
    uint16_t device_num_txchannels(const dr_device_t* device) override;
    uint16_t device_num_rxchannels(const dr_device_t* device) override;
    aud_error_t device_status_flags(const dr_device_t* device, uint32_t* out) override;
    bool device_component_stale(const dr_device_t* device,
                                dr_device_component_t component) override;
    aud_error_t device_update_component(dr_device_t* device, dr_request_id_t* request_id,
                                        dr_device_component_t component) override;
    aud_error_t device_query_capabilities(dr_device_t* device,
                                          dr_request_id_t* request_id) override;
    aud_error_t device_ping(dr_device_t* device, dr_request_id_t* request_id) override;
    aud_error_t device_cancel_request(dr_device_t* device, dr_request_id_t request_id) override;
    aud_error_t device_close_rename(dr_device_t* device, const char* name) override;
    std::vector<channel_entry> device_txchannels(const dr_device_t* device) override;
    std::vector<channel_entry> device_rxchannels(const dr_device_t* device) override;
    std::vector<channel_entry> device_txlabels(const dr_device_t* device) override;

    aud_error_t client_new(dapi_t* api, const client_settings& settings,
                           conmon_client_t** out) override;
    void client_delete(conmon_client_t* client) override;
    void client_install_event_callback(conmon_client_t* client, library_events* events) override;
    aud_error_t client_connect(conmon_client_t* client,
                               conmon_client_request_id_t* request_id) override;
    aud_error_t client_process(conmon_client_t* client) override;
    bool client_is_connected(const conmon_client_t* client) override;
    bool client_is_remote_ready(const conmon_client_t* client) override;
    aud_error_t client_register_monitoring(conmon_client_t* client, uint16_t channel,
                                           uint16_t direction) override;
    aud_error_t client_subscribe_global(conmon_client_t* client,
                                        conmon_client_request_id_t* request_id,
                                        uint16_t channel) override;
    aud_error_t client_send_control(conmon_client_t* client, conmon_client_request_id_t* request_id,
                                    const char* device_name, uint16_t message_class,
                                    const conmon_vendor_id_t* vendor_id, const uint8_t* body,
                                    size_t size) override;
    aud_error_t client_cancel_request(conmon_client_t* client,
                                      conmon_client_request_id_t request_id) override;
    const char* client_source_name(const conmon_client_t* client,
                                   const conmon_message_head_t* head) override;
};

}  // namespace tavrin
