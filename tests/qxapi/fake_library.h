#pragma once
// A scripted control library under the wrapper's parts. Devices, browse nodes and
// requests are plain records; every call is written to a call log; completions and
// messages queued with deliver() run inside runtime_process_sockets, that is on the
// socket thread with the library lock held, as the real library's callbacks do. They
// reach the library_events installed on the library's objects (`events`).
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "qxapi/dante_calls.h"
#include "qxapi/library_events.h"

namespace tavrin::testing {

class fake_library : public dante_calls {
  public:
    struct device {
        std::string name;
        dr_device_state_t state = DR_DEVICE_STATE_RESOLVING;
        uint32_t status = 0;
        std::set<int> stale;  // components
        bool closed = false;
        bool answers_ping = true;
        std::vector<channel_entry> tx;
        std::vector<channel_entry> rx;
    };
    struct browse_node {
        std::string name;
        browse_node* parent = nullptr;
        uint16_t id = 0;
    };
    struct sent_control {
        std::string name;
        uint16_t message_class;
        std::string vendor;
        std::vector<uint8_t> body;
        bool with_request;
    };

    // Results the next calls return.
    aud_error_t browse_start_result = AUD_SUCCESS;
    aud_error_t browse_status_result = AUD_SUCCESS;
    aud_error_t device_open_result = AUD_SUCCESS;
    aud_error_t ping_result = AUD_SUCCESS;
    aud_error_t register_result_at = AUD_SUCCESS;
    int register_fail_index = -1;  // which register call fails (0-based), -1 none
    aud_error_t send_result = AUD_SUCCESS;
    bool connected = true;
    bool remote_ready = true;
    bool answer_connect = true;  // the connect request is answered
    aud_error_t connect_answer = AUD_SUCCESS;
    bool answer_controls = true;  // control messages with a request id are answered
    // What the server answers to control messages with a request id.
    aud_error_t control_answer = AUD_SUCCESS;
    // Audinate bodies the device sends when asked (after the server's answer).
    std::function<void()> on_audinate_query;
    // Runs just before the server's answer to a control message is delivered.
    std::function<void()> before_control_answer;
    // Pings complete when pings are flushed (see flush_pings), on the socket thread.
    bool auto_answer_pings = true;
    timeval runtime_timeout{0, 5000};

    // Where callbacks go: set by the install calls, or by a test that calls the parts
    // without starting the runtime.
    library_events* events = nullptr;

    // ---- scripting

    browse_node* add_browse_node(const std::string& name) {
        nodes_.push_back(std::make_unique<browse_node>(browse_node{name}));
        return nodes_.back().get();
    }
    static db_node_t* as_db(browse_node* n) { return reinterpret_cast<db_node_t*>(n); }
    device* device_named(const std::string& name) {
        for (auto& [ptr, d] : devices_) {
            if (d.name == name && !d.closed)
                return &d;
        }
        return nullptr;
    }
    dr_device_t* handle_of(const std::string& name) {
        for (auto& [ptr, d] : devices_) {
            if (d.name == name && !d.closed)
                return ptr;
        }
        return nullptr;
    }
    // Runs on the socket thread at its next processing step.
    void deliver(std::function<void()> action) {
        std::lock_guard lock(queue_mutex_);
        queue_.push_back(std::move(action));
    }
    size_t queued() const {
        std::lock_guard lock(queue_mutex_);
        return queue_.size();
    }
    std::vector<std::string> calls() const {
        std::lock_guard lock(calls_mutex_);
        return calls_;
    }
    void clear_calls() {
        std::lock_guard lock(calls_mutex_);
        calls_.clear();
    }
    std::vector<sent_control> sent() const {
        std::lock_guard lock(calls_mutex_);
        return sent_;
    }
    // The message head of a message from `name` (its source resolves to that name).
    conmon_message_head_t head_from(const std::string& name, const char* vendor, size_t body) {
        conmon_instance_id_t id{};
        id.device_id[0] = static_cast<uint8_t>(sources_.size() + 1);
        sources_[id.device_id[0]] = name;
        conmon_vendor_id_t v;
        conmon_vendor_id_from_string(&v, vendor);
        conmon_message_head_t head{};
        conmon_message_head_init(&head, 0xFFFF, 1, &id, &v, static_cast<uint16_t>(body));
        return head;
    }
    // A head whose source the library cannot resolve.
    conmon_message_head_t head_unknown(const char* vendor, size_t body) {
        conmon_instance_id_t id{};
        id.device_id[0] = 0xEE;
        conmon_vendor_id_t v;
        conmon_vendor_id_from_string(&v, vendor);
        conmon_message_head_t head{};
        conmon_message_head_init(&head, 0xFFFF, 1, &id, &v, static_cast<uint16_t>(body));
        return head;
    }
    // Request id of the most recent ping of a device.
    dr_request_id_t last_ping(const std::string& name) {
        dr_device_t* d = handle_of(name);
        auto it = last_ping_.find(d);
        return it == last_ping_.end() ? nullptr : it->second;
    }

    // ---- dante_calls

    std::string error_text(aud_error_t error) override {
        const char* name = aud_error_get_name(error);
        return name ? name : "UNKNOWN";
    }

    aud_error_t api_new(dapi_t** out) override {
        log("api_new");
        *out = reinterpret_cast<dapi_t*>(&api_);
        return AUD_SUCCESS;
    }
    void api_delete(dapi_t*) override { log("api_delete"); }
    aud_env_t* api_env(dapi_t*) override { return reinterpret_cast<aud_env_t*>(&env_); }
    dante_runtime_t* api_runtime(dapi_t*) override {
        return reinterpret_cast<dante_runtime_t*>(&runtime_);
    }
    dapi_domain_handler_t* api_domain_handler(dapi_t*) override {
        return reinterpret_cast<dapi_domain_handler_t*>(&handler_);
    }
    aud_error_t runtime_get_sockets(dante_runtime_t*, fd_set*, fd_set*, int* max_fd,
                                    struct timeval* timeout) override {
        *max_fd = 0;
        *timeout = runtime_timeout;
        return AUD_SUCCESS;
    }
    aud_error_t runtime_process_sockets(dante_runtime_t*, fd_set*, fd_set*) override {
        std::deque<std::function<void()>> run;
        {
            std::lock_guard lock(queue_mutex_);
            run.swap(queue_);
        }
        for (auto& action : run)
            action();
        return AUD_SUCCESS;
    }

    aud_error_t browse_new(dapi_t*, uint32_t types, db_browse_t** out) override {
        log("browse_new " + std::to_string(types));
        *out = reinterpret_cast<db_browse_t*>(&browse_);
        return AUD_SUCCESS;
    }
    aud_error_t browse_set_max_sockets(db_browse_t*, unsigned count) override {
        log("browse_set_max_sockets " + std::to_string(count));
        return AUD_SUCCESS;
    }
    aud_error_t browse_install_node_callback(db_browse_t*, library_events* e) override {
        events = e;
        return AUD_SUCCESS;
    }
    void browse_install_other_callbacks(db_browse_t*) override {}
    aud_error_t browse_start(db_browse_t*, const db_browse_config_t* config) override {
        started_config = *config;
        log("browse_start");
        return browse_start_result;
    }
    aud_error_t browse_status(const db_browse_t*) override { return browse_status_result; }
    void browse_delete(db_browse_t*) override { log("browse_delete"); }
    const char* node_name(const db_node_t* node) override {
        return reinterpret_cast<const browse_node*>(node)->name.c_str();
    }
    db_node_t* node_parent(const db_node_t* node) override {
        return as_db(reinterpret_cast<const browse_node*>(node)->parent);
    }
    uint16_t channel_id(const db_node_t* node) override {
        return reinterpret_cast<const browse_node*>(node)->id;
    }

    aud_error_t devices_new(dapi_t*, dr_devices_t** out) override {
        log("devices_new");
        *out = reinterpret_cast<dr_devices_t*>(&devices_obj_);
        return AUD_SUCCESS;
    }
    aud_error_t devices_delete(dr_devices_t*) override {
        for (auto& [ptr, d] : devices_) {
            if (!d.closed) {
                log("devices_delete refused");
                return AUD_ERR_INVALIDSTATE;
            }
        }
        log("devices_delete");
        return AUD_SUCCESS;
    }
    aud_error_t devices_set_handle_count(dr_devices_t*, unsigned count) override {
        log("handle_count " + std::to_string(count));
        return AUD_SUCCESS;
    }
    aud_error_t devices_set_request_limit(dr_devices_t*, unsigned count) override {
        log("request_limit " + std::to_string(count));
        return AUD_SUCCESS;
    }
    unsigned devices_pending_requests(const dr_devices_t*) override { return pending_requests; }
    unsigned devices_request_limit(const dr_devices_t*) override { return 128; }
    unsigned pending_requests = 0;

    aud_error_t device_config_new(const char* name, dr_device_config_t** out) override {
        config_name_ = name;
        *out = reinterpret_cast<dr_device_config_t*>(&config_);
        return AUD_SUCCESS;
    }
    void device_config_delete(dr_device_config_t*) override {}
    aud_error_t device_open(dr_devices_t*, const dr_device_config_t*, dr_device_t** out) override {
        if (device_open_result != AUD_SUCCESS)
            return device_open_result;
        handles_.push_back(std::make_unique<char>());
        dr_device_t* h = reinterpret_cast<dr_device_t*>(handles_.back().get());
        devices_[h] = device{config_name_};
        log("device_open " + config_name_);
        *out = h;
        return AUD_SUCCESS;
    }
    aud_error_t device_install_changed_callback(dr_device_t*, library_events* e) override {
        events = e;
        return AUD_SUCCESS;
    }
    aud_error_t device_close(dr_device_t* d) override {
        log("device_close " + devices_[d].name);
        devices_[d].closed = true;
        return AUD_SUCCESS;
    }
    dr_device_state_t device_state(const dr_device_t* d) override {
        return devices_[const_cast<dr_device_t*>(d)].state;
    }
    uint16_t device_num_txchannels(const dr_device_t* d) override {
        return static_cast<uint16_t>(dev(d).tx.size());
    }
    uint16_t device_num_rxchannels(const dr_device_t* d) override {
        return static_cast<uint16_t>(dev(d).rx.size());
    }
    aud_error_t device_status_flags(const dr_device_t* d, uint32_t* out) override {
        *out = dev(d).status;
        return AUD_SUCCESS;
    }
    bool device_component_stale(const dr_device_t* d, dr_device_component_t c) override {
        return dev(d).stale.count(c) != 0;
    }
    aud_error_t device_update_component(dr_device_t* d, dr_request_id_t* id,
                                        dr_device_component_t c) override {
        log("update_component " + dev(d).name + " " + std::to_string(c));
        *id = next_id();
        last_component = *id;
        return AUD_SUCCESS;
    }
    aud_error_t device_query_capabilities(dr_device_t* d, dr_request_id_t* id) override {
        log("query_capabilities " + dev(d).name);
        *id = next_id();
        return AUD_SUCCESS;
    }
    aud_error_t device_ping(dr_device_t* d, dr_request_id_t* id) override {
        log("ping " + dev(d).name);
        if (ping_result != AUD_SUCCESS)
            return ping_result;
        *id = next_id();
        last_ping_[d] = *id;
        if (auto_answer_pings && dev(d).answers_ping) {
            dr_request_id_t rid = *id;
            deliver([this, d, rid] { events->nodes->on_request_done(d, rid, AUD_SUCCESS); });
        }
        return AUD_SUCCESS;
    }
    aud_error_t device_cancel_request(dr_device_t* d, dr_request_id_t id) override {
        log("cancel " + dev(d).name);
        cancelled.push_back(id);
        return AUD_SUCCESS;
    }
    aud_error_t device_close_rename(dr_device_t* d, const char* name) override {
        log("close_rename " + dev(d).name + " " + name);
        devices_[d].closed = true;
        return AUD_SUCCESS;
    }
    std::vector<channel_entry> device_txchannels(const dr_device_t* d) override {
        return dev(d).tx;
    }
    std::vector<channel_entry> device_rxchannels(const dr_device_t* d) override {
        return dev(d).rx;
    }
    std::vector<channel_entry> device_txlabels(const dr_device_t*) override { return {}; }

    aud_error_t client_new(dapi_t*, const client_settings& s, conmon_client_t** out) override {
        settings = s;
        log("client_new");
        *out = reinterpret_cast<conmon_client_t*>(&client_);
        return AUD_SUCCESS;
    }
    void client_delete(conmon_client_t*) override { log("client_delete"); }
    void client_install_event_callback(conmon_client_t*, library_events* e) override { events = e; }
    aud_error_t client_connect(conmon_client_t*, conmon_client_request_id_t* id) override {
        log("connect");
        *id = next_client_id();
        if (answer_connect) {
            conmon_client_request_id_t rid = *id;
            const aud_error_t answer = connect_answer;
            deliver([this, rid, answer] { events->client->on_connect_response(rid, answer); });
        }
        return AUD_SUCCESS;
    }
    aud_error_t client_process(conmon_client_t*) override { return AUD_ERR_NOTSUPPORTED; }
    bool client_is_connected(const conmon_client_t*) override { return connected; }
    bool client_is_remote_ready(const conmon_client_t*) override { return remote_ready; }
    aud_error_t client_register_monitoring(conmon_client_t*, uint16_t channel,
                                           uint16_t direction) override {
        const int index = register_calls_++;
        log("register " + std::to_string(channel) + " " + std::to_string(direction));
        return index == register_fail_index ? AUD_ERR_NOBUFS : AUD_SUCCESS;
    }
    aud_error_t client_subscribe_global(conmon_client_t*, conmon_client_request_id_t* id,
                                        uint16_t channel) override {
        log("subscribe " + std::to_string(channel));
        *id = next_client_id();
        last_subscribe = *id;
        return AUD_SUCCESS;
    }
    aud_error_t client_send_control(conmon_client_t*, conmon_client_request_id_t* id,
                                    const char* name, uint16_t message_class,
                                    const conmon_vendor_id_t* vendor, const uint8_t* body,
                                    size_t size) override {
        {
            std::lock_guard lock(calls_mutex_);
            sent_.push_back({name ? name : "", message_class,
                             std::string(reinterpret_cast<const char*>(vendor->data),
                                         strnlen(reinterpret_cast<const char*>(vendor->data), 8)),
                             std::vector<uint8_t>(body, body + size), id != nullptr});
        }
        if (send_result != AUD_SUCCESS)
            return send_result;
        if (id != nullptr) {
            *id = next_client_id();
            if (answer_controls) {
                conmon_client_request_id_t rid = *id;
                const aud_error_t answer = control_answer;
                deliver([this, rid, answer] {
                    if (before_control_answer)
                        before_control_answer();
                    events->client->on_request_response(rid, answer);
                    if (answer == AUD_SUCCESS && on_audinate_query)
                        on_audinate_query();
                });
            }
        }
        return AUD_SUCCESS;
    }
    aud_error_t client_cancel_request(conmon_client_t*, conmon_client_request_id_t id) override {
        log("cancel request");
        cancelled_client.push_back(id);
        return AUD_SUCCESS;
    }
    const char* client_source_name(const conmon_client_t*,
                                   const conmon_message_head_t* head) override {
        conmon_instance_id_t id{};
        conmon_message_head_get_instance_id(head, &id);
        auto it = sources_.find(id.device_id[0]);
        return it == sources_.end() ? nullptr : it->second.c_str();
    }

    db_browse_config_t started_config{};
    std::vector<dr_request_id_t> cancelled;
    std::vector<conmon_client_request_id_t> cancelled_client;
    client_settings settings;
    conmon_client_request_id_t last_subscribe = nullptr;
    dr_request_id_t last_component = nullptr;

  private:
    void log(const std::string& line) {
        std::lock_guard lock(calls_mutex_);
        calls_.push_back(line);
    }
    device& dev(const dr_device_t* d) { return devices_[const_cast<dr_device_t*>(d)]; }
    dr_request_id_t next_id() { return reinterpret_cast<dr_request_id_t>(++id_counter_ * 16); }
    conmon_client_request_id_t next_client_id() {
        return reinterpret_cast<conmon_client_request_id_t>(++id_counter_ * 16);
    }

    char api_ = 0, env_ = 0, runtime_ = 0, handler_ = 0, browse_ = 0, devices_obj_ = 0, config_ = 0,
         client_ = 0;
    std::string config_name_;
    std::vector<std::unique_ptr<browse_node>> nodes_;
    std::vector<std::unique_ptr<char>> handles_;
    std::map<dr_device_t*, device> devices_;
    std::map<dr_device_t*, dr_request_id_t> last_ping_;
    std::map<uint8_t, std::string> sources_;
    uintptr_t id_counter_ = 0;
    int register_calls_ = 0;
    mutable std::mutex queue_mutex_;
    std::deque<std::function<void()>> queue_;
    mutable std::mutex calls_mutex_;
    std::vector<std::string> calls_;
    std::vector<sent_control> sent_;
};

}  // namespace tavrin::testing
