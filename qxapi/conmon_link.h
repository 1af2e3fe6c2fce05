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
// Later: a client that loses its server and reconnects will be followed here.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/time_source.h"
#include "protocol/amp_receiver.h"
#include "protocol/control_sender.h"
#include "qxapi/dante_calls.h"
#include "qxapi/device_node_list.h"
#include "qxapi/library_events.h"
#include "qxapi/runtime_host.h"
#include "qxapi/wrapper_log.h"
#include "qxapi/wrapper_options.h"

namespace tavrin {

class conmon_link : public client_events, public runtime_part, public control_sender {
  public:
    static constexpr uint32_t vendor_broadcast_group = 0xEFFE327B;

    conmon_link(dante_calls& lib, runtime_host& host, device_node_list& nodes, time_source& time,
                wrapper_logger& log, const wrapper_options& options);

    // Creates the client and waits (bounded) for the connect answer.
    void conmon_start();
    bool client_connected();
    // True once the subscription to STATUS messages of all devices has been answered.
    bool subscribed() const { return subscribed_.load(); }

    // The receive path of the amplifier (null: none). The worker installs its own on
    // its thread; it must stay alive until it is replaced or the runtime stops.
    void set_amp_target(amp_receiver* target) { amp_target_.store(target); }

    // ---- control_sender (communication worker)
    int send_control(const std::string& device_name, uint16_t message_class,
                     const vendor_id_bytes& vendor_id, const uint8_t* body, size_t size) override;
    std::string error_text(int code) override;

    // ---- Audinate requests of the device search (user-interface thread); they wait
    // for the library's answer
    send_result request_manf_versions(const std::string& device_name);
    send_result request_interface(const std::string& device_name);
    send_result send_audinate(const std::string& device_name, const std::string& hex_text);

    // ---- client_events (socket thread, library_lock held)
    void on_client_event(conmon_client_t* client, uint32_t flags) override;
    void on_connect_response(conmon_client_request_id_t id, aud_error_t result) override;
    void on_request_response(conmon_client_request_id_t id, aud_error_t result) override;
    void on_subscribe_response(conmon_client_request_id_t id, aud_error_t result) override;
    void on_monitor_message(conmon_client_t* client, uint16_t channel, uint16_t direction,
                            const conmon_message_head_t* head, const uint8_t* body) override;

    // ---- runtime_part
    void runtime_reset() override;
    void runtime_started() override;
    void runtime_teardown() override;

  private:
    bool wait_request_cleared(uint32_t bound_ms, const char* what);
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
    std::atomic<bool> subscribed_{false};
    // One request-id wait at a time (connect and Audinate sends share
    // connect_request); taken before library_lock.
    std::mutex request_wait_mutex_;

    std::atomic<amp_receiver*> amp_target_{nullptr};
};

}  // namespace tavrin
