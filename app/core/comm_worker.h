#pragma once
// The communication worker: wakes every 100 ms, opens and closes the connection with
// the selected amplifier, hands received answers to the parser (or to a running
// firmware update) and sends at most one queued frame per wake-up.
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "app/core/command_ring.h"
#include "app/core/worker_ports.h"
#include "platform/time_source.h"
#include "platform/ui_port.h"
#include "protocol/answer_mailbox.h"
#include "protocol/link_state.h"

namespace tavrin {

struct worker_parts {
    link_flags& flags;
    selected_device& device;
    command_ring& ring;
    answer_mailbox& mailbox;
    ui_port& ui;
    time_source& time;
    frame_sender& sender;
    answer_handler& answers;
    // Absent until a firmware update exists; answers then always go to the parser.
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

    // The work of one wake-up, without the sleep before it. For tests that step the
    // worker; never call it while the thread runs.
    void wake_once();

  private:
    void thread_body();
    void connect_transition();
    void disconnect_transition();
    void hand_over_answer();
    void send_head();

    worker_parts parts_;
    std::atomic<bool> stop_requested_{false};
    std::thread thread_;
};

}  // namespace tavrin
