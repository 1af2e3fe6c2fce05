#include "app/core/comm_worker.h"

#include <cstring>
#include <system_error>

#include "app/core/poll_tick.h"

namespace tavrin {

comm_worker::comm_worker(worker_parts parts) : parts_(std::move(parts)) {
    update_.store(parts_.update);
}

comm_worker::~comm_worker() {
    stop();
}

bool comm_worker::start() {
    if (thread_.joinable())
        return true;
    stop_requested_.store(false);
    try {
        thread_ = std::thread([this] { thread_body(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void comm_worker::stop() {
    stop_requested_.store(true);
    if (thread_.joinable())
        thread_.join();
}

void comm_worker::thread_body() {
    if (parts_.on_thread_start)
        parts_.on_thread_start();
    while (!stop_requested_.load()) {
        parts_.time.sleep_ms(wake_period_ms);
        if (stop_requested_.load())
            break;
        if (parts_.flags.run_flag.load())
            wake_once();
    }
}

void comm_worker::wake_once() {
    link_flags& f = parts_.flags;
    if (!f.link_open.load() && f.connect_flag.load()) {
        connect_transition();
    } else {
        hand_over_answer();
    }
    send_head();
    if (update_procedure* update = current_update(); f.update_mode.load() && update != nullptr)
        update->update_step();
    if (f.disconnect_request.load())
        disconnect_transition();
}

update_procedure* comm_worker::current_update() const {
    return update_.load();
}

void comm_worker::connect_transition() {
    link_flags& f = parts_.flags;
    parts_.device.renew_copy();
    f.link_open.store(true);
    parts_.events.link_changed(true);
    parts_.events.log_line("Connected to " + parts_.device.name());
    parts_.ring.ring_clear();
    parts_.events.poll_timer(poll_timer_action::stop);
    parts_.answers.clear_params();
    push_poll(parts_.ring);
    f.missed_polls.store(0);
    parts_.events.poll_timer(poll_timer_action::start);
}

void comm_worker::disconnect_transition() {
    link_flags& f = parts_.flags;
    parts_.ring.ring_clear();
    f.link_open.store(false);
    parts_.events.link_changed(false);
    parts_.events.state_changed();
    parts_.events.log_line("Disconnected from " + parts_.device.name());
    f.connect_flag.store(false);
    f.disconnect_request.store(false);
}

void comm_worker::hand_over_answer() {
    link_flags& f = parts_.flags;
    if (!f.connect_flag.load() && !f.probe_flag.load())
        return;
    if (parts_.mailbox.empty())
        return;
    uint8_t buffer[answer_mailbox::capacity];
    const size_t length = parts_.mailbox.take(buffer);
    if (length == 0)
        return;
    if (update_procedure* update = current_update(); f.update_mode.load() && update != nullptr) {
        update->update_on_answer(buffer, length, sizeof buffer);
    } else {
        parts_.answers.parse_answer(buffer, length);
    }
}

void comm_worker::send_head() {
    link_flags& f = parts_.flags;
    if (!f.connect_flag.load() && !f.probe_flag.load())
        return;
    if (!parts_.ring.head_waiting())
        return;
    const bool update = f.update_mode.load();
    if (update)
        parts_.time.sleep_ms(update_gap_ms);
    uint8_t frame[command_ring::slot_size];
    const size_t size = parts_.ring.ring_pop_into(frame, sizeof frame);
    if (size == 0)
        return;
    // Any traffic keeps the link alive, so polls come only after 5 s of silence.
    if (!update)
        parts_.events.poll_timer(poll_timer_action::restart);
    parts_.sender.send_frame(frame, size);
}

}  // namespace tavrin
