#pragma once
// The device node list: one node per device the browse has found, the routing-device
// connection opened for it, the state-driven updates, the tagged library requests,
// the ping sweep, the rename, and the facts the Audinate status messages told.
//
// The browse and routing-device callbacks (node_events) run on the socket thread with
// library_lock held. nodes_mutex_ guards the list and is taken after library_lock;
// nodes are added and removed only with library_lock held, so a thread holding it
// may keep a node pointer across a release of nodes_mutex_.
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/time_source.h"
#include "qxapi/audinate_facts.h"
#include "qxapi/dante_calls.h"
#include "qxapi/dt_node.h"
#include "qxapi/library_events.h"
#include "qxapi/request_slots.h"
#include "qxapi/runtime_host.h"
#include "qxapi/service_watch.h"
#include "qxapi/wrapper_log.h"
#include "qxapi/wrapper_options.h"

namespace tavrin {

class device_node_list : public node_events, public runtime_part {
  public:
    device_node_list(dante_calls& lib, runtime_host& host, time_source& time, wrapper_logger& log,
                     const wrapper_options& options);

    // ---- node_events (socket thread, library_lock held)
    void on_browse_node(db_browse_t* browse, const db_node_ref_t* item,
                        db_node_change_t event) override;
    void on_network_changed() override;
    void on_browse_event(int phase) override;
    void on_sockets_changed() override;
    void on_device_changed(dr_device_t* device, dr_device_change_flags_t changes) override;
    void on_request_done(dr_device_t* device, dr_request_id_t request_id,
                         aud_error_t result) override;
    // The state-driven update; library_lock held.
    void update_device(dr_device_t* device);

    // ---- runtime_part (library_lock held)
    void runtime_reset() override;
    void runtime_teardown() override;
    // The component updates of active devices, spaced by component_pause_ms.
    uint32_t deferred_due_in() override;
    void run_deferred() override;

    // Told when the DNS-SD service goes away (null: nobody). Must outlive the runtime.
    void set_service_watch(service_watch* watch) { watch_.store(watch); }
    // True once the browse of this runtime lost the DNS-SD service.
    bool dnssd_lost() const { return dnssd_lost_.load(); }

    // ---- readers (any thread)
    std::string first_active_name() const;
    // `buffer` holds a node name; receives the next active name or an empty text. An
    // unknown name is logged and leaves the buffer unchanged.
    void next_active_name(std::string& buffer) const;
    bool has_node(const std::string& name) const;
    std::vector<node_summary> nodes() const;
    size_t pending_slots() const;

    // ---- user actions (take library_lock)
    bool rename_device(const std::string& name, const std::string& new_name);
    void ping_device(const std::string& name);
    // 1 when the set of active nodes changed, else 0.
    int ping_all();

    // ---- facts of the Audinate status messages; a sender without a node gets nothing
    void store_facts(const std::string& sender, const interface_facts& facts);
    void store_facts(const std::string& sender, const srate_facts& facts);
    void store_facts(const std::string& sender, const manf_facts& facts);

  private:
    // nodes_mutex_ held.
    dt_node* find_node_locked(const std::string& name) const;
    // The node of a message's sender: its name, else the same name in another letter
    // case (DNS-SD names are case-blind; the server may know an older spelling).
    dt_node* find_sender_locked(const std::string& sender) const;
    dt_node* find_node_by_device_locked(const dr_device_t* device) const;
    // library_lock held.
    void ping_device_locked(const std::string& name);
    void add_node(db_node_t* browse_node);
    void remove_node(const std::string& name);
    void label_event(const db_node_ref_t* item, db_node_change_t event);
    void update_active(dr_device_t* device);
    // Requests the next stale component of the queue's first device (library_lock held).
    void request_next_component();
    void forget_deferred(const dr_device_t* device);
    // Frees the library's entries of requests whose slots were dropped while their
    // device stays open; otherwise a silent device's would pile up.
    void cancel_requests(const std::vector<request_slot>& dropped);

    dante_calls& lib_;
    runtime_host& host_;
    time_source& time_;
    wrapper_logger& log_;
    const wrapper_options options_;

    // Devices whose stale components are still to be requested, in the order they
    // became active, each with the next component to look at. Requests go out one at
    // a time, component_pause_ms apart, from the socket thread between its processing
    // steps: a pause inside a callback would hold library_lock for everyone.
    struct pending_components {
        dr_device_t* device = nullptr;
        size_t next = 0;
    };
    std::deque<pending_components> pending_components_;  // library_lock
    uint32_t next_component_at_ = 0;                     // library_lock

    mutable std::mutex nodes_mutex_;
    std::vector<std::unique_ptr<dt_node>> nodes_;
    request_slots slots_;  // guarded by library_lock
    std::atomic<service_watch*> watch_{nullptr};
    std::atomic<bool> dnssd_lost_{false};
};

}  // namespace tavrin
