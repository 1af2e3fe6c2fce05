#pragma once
// The application's layer over the control library: start and teardown of the
// runtime with its socket thread, the list of known devices, the ConMon client with
// its registrations, subscription and message paths, and the Audinate status
// decoder. All wrapper state lives in one object so that tests can make several.
//
// Locks: library_lock_ serialises every call into the library with the socket
// thread's processing (held around each processing step, never while waiting in
// select); nodes_mutex_ guards the node list. Order: library_lock_ -> nodes_mutex_ ->
// leaves. Library callbacks run on the socket thread with library_lock_ held and
// must not take it again.
#include <sys/select.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/time_source.h"
#include "protocol/control_sender.h"
#include "qxapi/dante_calls.h"
#include "qxapi/dt_node.h"
#include "qxapi/request_slots.h"

namespace tavrin {

// Request of the start-up thread.
struct restart_request {
    int code = 0;
};
constexpr int restart_code = 100;

// Kind labels handed to the message handler.
enum message_label : int { label_status = 3, label_local = 4, label_broadcast = 6 };

struct wrapper_options {
    time_source* time = nullptr;  // system_time() when null
    uint16_t server_port = 0;     // 0: the library's default local server port
    // The connect and Audinate waits poll until the socket thread delivers the
    // answer. The local server answers a control message within its own default
    // time-out (about 1 s) and refuses a connect at once, so 3 s only ends the wait
    // when the server has gone away; the user-interface thread never hangs.
    uint32_t audinate_wait_ms = 3000;
    uint32_t connect_wait_ms = 5000;
    // Pause before each component update request and the ping sweep's pauses.
    uint32_t component_pause_ms = 10;
    uint32_t ping_group_pause_ms = 20;
    uint32_t ping_settle_ms = 50;
};

class dante_wrapper : public control_sender {
  public:
    using log_sink_fn = std::function<void(int level, const std::string& text)>;
    // (sender name, or null when the library cannot resolve it; body; size; label)
    using message_handler_fn =
        std::function<void(const char* sender, const uint8_t* body, size_t size, int label)>;
    using amp_target_fn = std::function<void(const char* sender, const uint8_t* body, size_t size)>;

    static constexpr uint32_t browse_types = 4;
    static constexpr unsigned browse_max_sockets = 18;
    static constexpr unsigned device_handle_count = 16;
    static constexpr unsigned device_request_limit = 128;
    static constexpr uint32_t max_wait_ms = 1000;
    static constexpr uint32_t vendor_broadcast_group = 0xEFFE327B;

    explicit dante_wrapper(dante_calls& lib, wrapper_options options = {});
    ~dante_wrapper() override;

    dante_wrapper(const dante_wrapper&) = delete;
    dante_wrapper& operator=(const dante_wrapper&) = delete;

    // ---- runtime start-up, interface selection, socket thread
    void dt_start();
    void dante_start();
    void dante_stop();
    // Entry of the start-up thread; code 100 restarts the runtime.
    void dante_restart_thread(std::unique_ptr<restart_request> request);
    // Starts the start-up thread with code 100 (after the previous one has ended).
    bool start_restart_thread();
    void join_restart_thread();

    void select_interfaces(uint32_t primary, uint32_t secondary);
    void get_selected_interfaces(uint32_t& primary, uint32_t& secondary) const;
    void reset_interfaces();
    db_browse_config_t iface_selection() const;

    bool socket_thread_running() const { return socket_running_.load(); }
    bool running() const;  // an API handle exists

    // ---- device node list (callbacks run with library_lock_ held)
    void on_browse_node(db_browse_t* browse, const db_node_ref_t* item, db_node_change_t event);
    void on_device_changed(dr_device_t* device, dr_device_change_flags_t changes);
    void update_device(dr_device_t* device);
    void on_request_done(dr_device_t* device, dr_request_id_t request_id, aud_error_t result);

    std::string first_active_name() const;
    // `buffer` holds a node name; receives the next active name or an empty text. An
    // unknown name is logged and leaves the buffer unchanged.
    void next_active_name(std::string& buffer) const;
    bool has_node(const std::string& name) const;
    std::vector<node_summary> nodes() const;
    bool rename_device(const std::string& name, const std::string& new_name);
    void ping_device(const std::string& name);
    // 1 when the set of active nodes changed, else 0.
    int ping_all();
    size_t pending_slots() const;

    // ---- ConMon glue
    void conmon_start();
    // control_sender: the amplifier path's send (amp_sender logs the result line).
    int send_control(const std::string& device_name, uint16_t message_class,
                     const vendor_id_bytes& vendor_id, const uint8_t* body, size_t size) override;
    std::string error_text(int code) override;

    void on_client_event(conmon_client_t* client, uint32_t flags);
    void on_connect_response(conmon_client_request_id_t id, aud_error_t result);
    void on_request_response(conmon_client_request_id_t id, aud_error_t result);
    void on_subscribe_response(conmon_client_request_id_t id, aud_error_t result);
    void on_monitor_message(conmon_client_t* client, uint16_t channel, uint16_t direction,
                            const conmon_message_head_t* head, const uint8_t* body);
    void forward_to_amp(const char* sender, const uint8_t* body, size_t size, int label);

    void set_message_handler(message_handler_fn handler);
    // The receive callback behind forward_to_amp (the worker installs on_amp_message).
    void set_amp_target(amp_target_fn target);
    void set_log_sink(log_sink_fn sink);
    void wrapper_log(int level, const std::string& text) const;

    // True once the subscription to STATUS messages of all devices has been answered.
    bool subscribed() const { return subscribed_.load(); }
    bool client_connected();

    // ---- Audinate status messages and requests
    void decode_audinate_status(conmon_client_t* client, uint16_t channel, uint16_t direction,
                                const conmon_message_head_t* head, const uint8_t* body);
    send_result request_manf_versions(const std::string& device_name);
    send_result request_interface(const std::string& device_name);
    send_result send_audinate(const std::string& device_name, const std::string& hex_text);

    // The library's handles (null when absent).
    dapi_t* g_dtAPI = nullptr;
    aud_env_t* g_dtENV = nullptr;
    dante_runtime_t* g_dtRT = nullptr;
    dapi_domain_handler_t* g_dtHDR = nullptr;
    db_browse_t* g_dtBROWSE = nullptr;
    dr_devices_t* g_dtDEVICES = nullptr;
    conmon_client_t* g_dtCLIENT = nullptr;
    std::thread g_dtTHREAD;

  private:
    void socket_thread();
    void stop_socket_thread();
    bool wait_request_cleared(uint32_t bound_ms, const char* what);
    void log_error(int level, const char* format, aud_error_t error);

    // Node list helpers; nodes_mutex_ held.
    dt_node* find_node_locked(const std::string& name) const;
    dt_node* find_node_by_device_locked(const dr_device_t* device) const;
    void ping_device_locked(const std::string& name);
    void add_node(db_node_t* browse_node);
    void remove_node(const std::string& name);
    void label_event(const db_node_ref_t* item, db_node_change_t event);
    void update_active(dr_device_t* device);

    void decode_interface_status(const std::string& sender, const uint8_t* body, size_t size);
    void decode_srate_status(const std::string& sender, const uint8_t* body, size_t size,
                             bool encoding);
    void decode_manf_versions(const std::string& sender, const uint8_t* body, size_t size);

    dante_calls& lib_;
    time_source& time_;
    wrapper_options options_;

    mutable std::mutex library_lock_;
    mutable std::mutex nodes_mutex_;
    std::vector<std::unique_ptr<dt_node>> nodes_;
    request_slots slots_;  // guarded by library_lock_

    mutable std::mutex interfaces_mutex_;
    db_browse_config_t iface_selection_{};

    // Written on the socket thread, polled under library_lock_ by the waiters.
    conmon_client_request_id_t connect_request = nullptr;
    conmon_client_request_id_t subscribe_request = nullptr;
    std::atomic<bool> subscribed_{false};

    mutable std::mutex handler_mutex_;
    message_handler_fn message_handler_;
    amp_target_fn amp_target_;

    mutable std::mutex log_mutex_;
    log_sink_fn log_sink_;

    std::atomic<bool> socket_stop_{false};
    std::atomic<bool> socket_running_{false};
    int wake_pipe_[2] = {-1, -1};

    // One request-id wait at a time (connect and Audinate sends share connect_request);
    // taken before library_lock_.
    std::mutex request_wait_mutex_;

    std::mutex restart_mutex_;
    std::thread restart_thread_;
};

}  // namespace tavrin
