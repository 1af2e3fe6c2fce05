#pragma once
// The communication worker: wakes every 100 ms, opens and closes the connection with
// the selected amplifier, hands received answers to the parser (or to a running
// firmware update) and sends at most one queued frame per wake-up.
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "app/core/app_events.h"
#include "app/core/command_ring.h"
#include "app/core/worker_ports.h"
#include "platform/time_source.h"
#include "protocol/answer_mailbox.h"
#include "protocol/link_state.h"

namespace tavrin {

struct worker_parts {
    link_flags& flags;
    selected_device& device;
    command_ring& ring;
    answer_mailbox& mailbox;
    app_events& events;
    time_source& time;
    frame_sender& sender;
    answer_handler& answers;
    // The firmware update, if the tool has one; without it answers always go to the
    // parser. set_update may change it later.
    update_procedure* update = nullptr;
    // Runs first on the worker thread (installs the receive handler).
    std::function<void()> on_thread_start = {};
};

class comm_worker {
  public:
    static constexpr uint32_t wake_period_ms = 100;
    // Update frames leave a little after the previous one so the amplifier keeps up.
    static constexpr uint32_t update_gap_ms = 20;

    explicit comm_worker(worker_parts parts);
    ~comm_worker();

    comm_worker(const comm_worker&) = delete;
    comm_worker& operator=(const comm_worker&) = delete;

    // Starts the thread. Returns false when it cannot be created; the application
    // then exits with code 1. Starting a running worker does nothing.
    [[nodiscard]] bool start();
    // Ends the thread after its current wake-up and joins it. Harmless when stopped.
    void stop();
    bool running() const { return thread_.joinable(); }
    // Installs the firmware update procedure (null removes it).
    void set_update(update_procedure* update) { update_.store(update); }

    // The work of one wake-up, without the sleep before it. For tests that step the
    // worker; never call it while the thread runs.
    void wake_once();

  private:
    void thread_body();
    void connect_transition();
    void disconnect_transition();
    void hand_over_answer();
    void send_head();
    update_procedure* current_update() const;

    worker_parts parts_;
    std::atomic<update_procedure*> update_{nullptr};
    std::atomic<bool> stop_requested_{false};
    std::thread thread_;
};

}  // namespace tavrin
