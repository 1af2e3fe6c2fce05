#pragma once
// The ConMon link: the ConMon client with its connection, registrations and
// subscription, the amplifier path's send (control_sender), the two Audinate requests
// of the device search, and the receive side. Every body a device sends goes straight
// to the amplifier receive path (the amp target), and an Audinate body also through
// the pure decoders into the node list.
//
// The client_events run on the socket thread with library_lock held. conmon_start
// runs on the start-up thread, send_control on the communication worker, the Audinate
// requests on the user-interface thread; each takes library_lock around its calls.
//
// A lost server connection is the library's to mend: it connects, registers and
// subscribes again by itself. The link only follows the state (server()) and tells
// the application through its service_watch.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "platform/time_source.h"
#include "protocol/control_sender.h"
#include "qxapi/amp_message_sink.h"
#include "qxapi/dante_calls.h"
#include "qxapi/device_node_list.h"
#include "qxapi/library_events.h"
#include "qxapi/runtime_host.h"
#include "qxapi/service_watch.h"
#include "qxapi/wrapper_log.h"
#include "qxapi/wrapper_options.h"

namespace tavrin {

// The client's connection to the local ConMon server.
enum class server_state {
    none,        // no client (the runtime is not up)
    connecting,  // the connect request is out
    connected,
    refused,  // the connect failed or went unanswered (connect_error() says how)
    lost,     // it was connected; the library is connecting again by itself
};

// What a probe of a device by name learnt: whether the server could deliver a query
// to it, and what the device said of itself.
struct device_probe {
    send_result sent;
    // The server's answer to the query: SUCCESS (delivered and acknowledged),
    // NOTFOUND (no device of that name), TIMEDOUT (the device stayed silent, or no
    // answer in time), NOTCONN (the server was lost meanwhile) ...
    aud_error_t answer = AUD_ERR_TIMEDOUT;
    // The device's manufacturer answer, when it came in time.
    std::optional<manf_facts> facts;
    // The name that answer came from: the device's own spelling of the name asked
    // for, which may differ in letter case (DNS-SD names are case-blind). Empty when
    // no answer came.
    std::string own_name;
};

class conmon_link : public client_events, public runtime_part, public control_sender {
  public:
    static constexpr uint32_t vendor_broadcast_group = 0xEFFE327B;

    conmon_link(dante_calls& lib, runtime_host& host, device_node_list& nodes, time_source& time,
                wrapper_logger& log, const wrapper_options& options);

    // Creates the client and waits (bounded) for the connect answer.
    void conmon_start();
    bool client_connected();
    // True once the subscription to STATUS messages of all devices has been answered
    // (and again once the library has restored it after a lost connection).
    bool subscribed() const { return subscribed_.load(); }
    // Waits until the subscription is answered, or the server refused the connect;
    // whether it was answered. Any thread but the socket thread.
    bool wait_subscribed(uint32_t ms);
    server_state server() const { return server_.load(); }
    // How many times the connection to the server was lost since the client was made.
    uint64_t server_losses() const { return losses_.load(); }
    // Why the connect failed (server() == refused); SUCCESS otherwise.
    aud_error_t connect_error() const { return connect_error_.load(); }
    // Told of a lost and restored server (null: nobody). Must outlive the runtime.
    void set_service_watch(service_watch* watch) { watch_.store(watch); }

    // Where every device's body goes (null: nowhere): the amplifier sessions. It
    // must stay alive until it is replaced or the runtime stops.
    void set_amp_target(amp_message_sink* target) { amp_target_.store(target); }

    // ---- control_sender (communication worker)
    int send_control(const std::string& device_name, uint16_t message_class,
                     const vendor_id_bytes& vendor_id, const uint8_t* body, size_t size) override;
    std::string error_text(int code) override;

    // ---- Audinate requests of the device search (user-interface thread); they wait
    // for the library's answer
    // `wait_ms` bounds the wait for the server's answer below the configured bound.
    send_result request_manf_versions(const std::string& device_name,
                                      uint32_t wait_ms = UINT32_MAX);
    send_result request_interface(const std::string& device_name, uint32_t wait_ms = UINT32_MAX);
    send_result send_audinate(const std::string& device_name, const std::string& hex_text,
                              uint32_t wait_ms = UINT32_MAX);
    // Asks the device NAME for its manufacturer and model, whether or not the browse
    // has found it, and waits for the server's answer and then (bounded by
    // probe_facts_wait_ms) for the device's.
    device_probe probe_device(const std::string& device_name);

    // ---- client_events (socket thread, library_lock held)
    void on_client_event(conmon_client_t* client, uint32_t flags) override;
    void on_connect_response(conmon_client_request_id_t id, aud_error_t result) override;
    void on_request_response(conmon_client_request_id_t id, aud_error_t result) override;
    void on_subscribe_response(conmon_client_request_id_t id, aud_error_t result) override;
    void on_server_lost(conmon_client_t* client) override;
    void on_monitor_message(conmon_client_t* client, uint16_t channel, uint16_t direction,
                            const conmon_message_head_t* head, const uint8_t* body) override;

    // ---- runtime_part
    void runtime_reset() override;
    void runtime_started() override;
    void runtime_teardown() override;

  private:
    // The answer to the request in connect_request, or TIMEDOUT when none came within
    // the bound (the request is then cancelled when `cancel` says so).
    aud_error_t wait_request_cleared(uint32_t bound_ms, const char* what, bool cancel);
    send_result send_audinate_request(const std::string& device_name, const std::string& hex_text,
                                      uint32_t wait_ms, aud_error_t& answer);
    void server_lost();
    void server_back();
    // An Audinate body from `sender`: log it, decode it, store the facts.
    void decode_audinate(const std::string& sender, const uint8_t* body, size_t size);
    void forget_requests();

    dante_calls& lib_;
    runtime_host& host_;
    device_node_list& nodes_;
    time_source& time_;
    wrapper_logger& log_;
    const wrapper_options options_;

    // Guarded by library_lock (null when absent).
    conmon_client_t* g_dtCLIENT = nullptr;
    // Written on the socket thread, polled under library_lock by the waiters.
    conmon_client_request_id_t connect_request = nullptr;
    conmon_client_request_id_t subscribe_request = nullptr;
    // The answer to the request last in connect_request (library_lock).
    aud_error_t request_result_ = AUD_SUCCESS;
    std::atomic<bool> subscribed_{false};
    // Notified, library_lock held, whenever a request's answer, the subscription, the
    // server's state or a probed device's facts change: what the waits above wait on.
    std::condition_variable changed_;
    std::atomic<server_state> server_{server_state::none};
    std::atomic<uint64_t> losses_{0};
    std::atomic<aud_error_t> connect_error_{AUD_SUCCESS};
    std::atomic<service_watch*> watch_{nullptr};
    // The device a probe waits for, and its manufacturer answer (library_lock).
    std::string probe_name_;
    std::optional<manf_facts> probe_facts_;
    std::string probe_sender_;
    // One request-id wait at a time (connect and Audinate sends share
    // connect_request); taken before library_lock.
    std::mutex request_wait_mutex_;

    std::atomic<amp_message_sink*> amp_target_{nullptr};
};

}  // namespace tavrin
