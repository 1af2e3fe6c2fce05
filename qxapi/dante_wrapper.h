#pragma once
// The application's layer over the control library, composed of its parts:
//   runtime_host      library handles, start-up and teardown, the start-up and socket
//                     threads, interface selection, library_lock
//   device_node_list  the devices the browse found, their requests, pings, rename and
//                     the facts their Audinate status messages told
//   conmon_link       the ConMon client, the amplifier send and receive, the Audinate
//                     requests and decoding
// This facade wires them together (the library's callbacks reach the node list and
// the link through one library_events) and offers what the core and tavrin-cli call.
// All state lives in the object, so tests can make several. See qxapi/README.md for
// the threads and locks.
#include <string>
#include <vector>

#include "qxapi/conmon_link.h"
#include "qxapi/dante_calls.h"
#include "qxapi/device_node_list.h"
#include "qxapi/library_events.h"
#include "qxapi/runtime_host.h"
#include "qxapi/wrapper_log.h"
#include "qxapi/wrapper_options.h"

namespace tavrin {

class dante_wrapper {
  public:
    explicit dante_wrapper(dante_calls& lib, wrapper_options options = {});
    ~dante_wrapper();

    dante_wrapper(const dante_wrapper&) = delete;
    dante_wrapper& operator=(const dante_wrapper&) = delete;

    runtime_host& host() { return host_; }
    const runtime_host& host() const { return host_; }
    device_node_list& node_list() { return nodes_; }
    const device_node_list& node_list() const { return nodes_; }
    // Also the amplifier path's control_sender.
    conmon_link& link() { return link_; }

    // ---- runtime
    void dante_start() { host_.dante_start(); }
    void dante_stop() { host_.dante_stop(); }
    bool start_restart_thread() { return host_.start_restart_thread(); }
    void join_restart_thread() { host_.join_restart_thread(); }
    void select_interfaces(uint32_t primary, uint32_t secondary) {
        host_.select_interfaces(primary, secondary);
    }
    void get_selected_interfaces(uint32_t& primary, uint32_t& secondary) const {
        host_.get_selected_interfaces(primary, secondary);
    }
    void reset_interfaces() { host_.reset_interfaces(); }
    db_browse_config_t iface_selection() const { return host_.iface_selection(); }
    // SUCCESS while the browse runs; NOTRUNNING without avahi-daemon (see runtime_host).
    aud_error_t browse_status() const { return host_.browse_status(); }
    // Who hears of a lost or restored ConMon server and a lost DNS-SD service (null:
    // nobody); it must outlive the runtime.
    void set_service_watch(service_watch* watch) {
        nodes_.set_service_watch(watch);
        link_.set_service_watch(watch);
    }

    // ---- devices
    std::vector<node_summary> nodes() const { return nodes_.nodes(); }
    std::string first_active_name() const { return nodes_.first_active_name(); }
    void next_active_name(std::string& buffer) const { nodes_.next_active_name(buffer); }
    int ping_all() { return nodes_.ping_all(); }
    bool rename_device(const std::string& name, const std::string& new_name) {
        return nodes_.rename_device(name, new_name);
    }

    // ---- ConMon
    send_result request_manf_versions(const std::string& name, uint32_t wait_ms = UINT32_MAX) {
        return link_.request_manf_versions(name, wait_ms);
    }
    send_result request_interface(const std::string& name, uint32_t wait_ms = UINT32_MAX) {
        return link_.request_interface(name, wait_ms);
    }
    bool subscribed() const { return link_.subscribed(); }
    server_state server() const { return link_.server(); }
    uint64_t server_losses() const { return link_.server_losses(); }
    aud_error_t connect_error() const { return link_.connect_error(); }
    device_probe probe_device(const std::string& name) { return link_.probe_device(name); }
    std::string error_text(aud_error_t error) { return link_.error_text(error); }
    void set_amp_target(amp_message_sink* target) { link_.set_amp_target(target); }

    // ---- the diagnostic log
    // The log as its levels say: level-2 lines and the level-1 clear.
    void set_log_sink(wrapper_logger::sink_fn sink, wrapper_logger::clear_fn clear = {}) {
        log_.set_sink(std::move(sink), std::move(clear));
    }
    // Every line of every level, for diagnosing the tool itself.
    void set_log_trace(wrapper_logger::trace_fn trace) { log_.set_trace(std::move(trace)); }
    void wrapper_log(int level, const std::string& text) const { log_.write(level, text); }

  private:
    wrapper_logger log_;
    library_events events_;
    runtime_host host_;
    device_node_list nodes_;
    conmon_link link_;
};

}  // namespace tavrin
