#include "link/amp_session.h"

#include "link/answer_texts.h"
#include "link/send_report.h"
#include "protocol/catalogue.h"

namespace tavrin {
namespace {

constexpr field_mask firmware_date_fields = field_range(param_field::fw_year, param_field::fw_hour);

}  // namespace

amp_session::amp_session(session_parts parts)
    : parts_(std::move(parts)),
      receiver_(device_, inbox_, parts_.time),
      sender_(parts_.link, device_, parts_.send_log, parts_.random) {}

amp_session::~amp_session() = default;

// ---------------------------------------------------------------------------
// Requests

void amp_session::post(request r) {
    std::lock_guard lock(requests_mutex_);
    requests_.push_back(std::move(r));
}

void amp_session::start() {
    post({request_kind::start, {}});
}
void amp_session::choose(const std::string& name) {
    post({request_kind::choose, name});
}
void amp_session::close() {
    post({request_kind::close, {}});
}
void amp_session::synchronize() {
    post({request_kind::synchronize, {}});
}
void amp_session::pause_poll() {
    post({request_kind::pause_poll, {}});
}
void amp_session::resume_poll() {
    post({request_kind::resume_poll, {}});
}
void amp_session::renamed(const std::string& name) {
    post({request_kind::renamed, name});
}
void amp_session::server_lost() {
    post({request_kind::server_lost, {}});
}
void amp_session::server_back() {
    post({request_kind::server_back, {}});
}
void amp_session::poll_now() {
    post({request_kind::poll_now, {}});
}
void amp_session::begin_update(update_procedure* update) {
    post({request_kind::begin_update, {}, update});
}
void amp_session::end_update() {
    post({request_kind::end_update, {}});
}

void amp_session::apply_requests() {
    std::vector<request> waiting;
    {
        std::lock_guard lock(requests_mutex_);
        waiting.swap(requests_);
    }
    for (const request& r : waiting)
        apply(r);
}

void amp_session::apply(const request& r) {
    const link_state state = view_.state();
    switch (r.kind) {
        case request_kind::start:
            view_.run_.store(true);
            break;
        case request_kind::choose:
            device_.set_name(r.name);
            // A link that is closing closes first; an open one stays open.
            if (state == link_state::idle || state == link_state::probing)
                set_state(link_state::opening);
            break;
        case request_kind::close:
            if (state == link_state::opening || state == link_state::open)
                set_state(link_state::closing);
            break;
        case request_kind::synchronize:
            params_.clear_params();
            push_poll();
            view_.missed_.store(0);
            poll_timer_start();
            if (session_events* e = events())
                e->params_changed(all_fields);
            break;
        case request_kind::pause_poll:
            poll_timer_stop();
            break;
        case request_kind::resume_poll:
            poll_timer_start();
            break;
        case request_kind::renamed:
            device_.set_name(r.name);
            device_.renew_copy();
            if (session_events* e = events())
                e->info_changed(device_info_text(device_.name(), params_.location_bytes()));
            break;
        case request_kind::server_lost:
            // Answers cannot come now; waiting for four missed polls would only hide
            // why. A firmware transfer keeps its own time-outs and is left alone.
            if (view_.link_open() && !view_.updating() &&
                (state == link_state::open || state == link_state::opening)) {
                set_state(link_state::closing);
                close_reason_ = close_reason::server_lost;
            }
            if (session_events* e = events())
                e->server_changed(false);
            break;
        case request_kind::server_back:
            if (session_events* e = events())
                e->server_changed(true);
            break;
        case request_kind::poll_now:
            poll_tick();
            break;
        case request_kind::begin_update:
            update_ = r.update;
            view_.update_.store(update_ != nullptr);
            break;
        case request_kind::end_update:
            view_.update_.store(false);
            update_ = nullptr;
            break;
    }
}

// ---------------------------------------------------------------------------
// The poll timer: a window timer's behaviour, run by the session itself

void amp_session::poll_timer_start() {
    poll_on_ = true;
    poll_started_ = parts_.time.now_ms();
}

void amp_session::poll_timer_stop() {
    poll_on_ = false;
}

void amp_session::run_poll_timer(uint32_t now) {
    if (!poll_on_ || now - poll_started_ < poll_period_ms)
        return;
    poll_started_ = now;
    poll_tick();
}

void amp_session::push_poll() {
    outbox_.ring_push(cmd::poll());
}

void amp_session::poll_tick() {
    if (view_.connect_flag()) {
        if (view_.updating())
            return;
        push_poll();
        if (view_.missed_.fetch_add(1) + 1 > max_missed_polls) {
            set_state(link_state::closing);
            close_reason_ = close_reason::silent;
        }
        return;
    }
    if (view_.disconnect_request() || device_.empty() || view_.updating())
        return;
    set_state(link_state::probing);
    push_poll();
}

// ---------------------------------------------------------------------------
// The wake-up

uint32_t amp_session::tick() {
    switch (phase_) {
        case phase::wake:
            break;
        case phase::after_update_answer:
            return send_step();
        case phase::before_update_send:
            send_head();
            return finish_wake();
    }
    apply_requests();
    if (!view_.run_flag())
        return wake_period_ms;
    run_poll_timer(parts_.time.now_ms());
    if (!view_.link_open() && view_.connect_flag()) {
        connect_transition();
    } else if (hand_over_answers()) {
        phase_ = phase::after_update_answer;
        return update_answer_pause_ms;
    }
    return send_step();
}

uint32_t amp_session::send_step() {
    if (view_.updating() && view_.accepts_commands() && outbox_.head_waiting()) {
        phase_ = phase::before_update_send;
        return update_gap_ms;
    }
    send_head();
    return finish_wake();
}

uint32_t amp_session::finish_wake() {
    phase_ = phase::wake;
    if (view_.updating() && update_ != nullptr)
        update_->update_step();
    // The transfer may have ended in that step.
    apply_requests();
    if (view_.disconnect_request())
        disconnect_transition();
    return wake_period_ms;
}

void amp_session::connect_transition() {
    device_.renew_copy();
    view_.open_.store(true);
    set_state(link_state::open);
    close_reason_ = close_reason::asked;
    if (session_events* e = events()) {
        e->link_changed(true);
        e->log_line("Connected to " + device_.name());
    }
    outbox_.ring_clear();
    poll_timer_stop();
    params_.clear_params();
    push_poll();
    view_.missed_.store(0);
    poll_timer_start();
}

void amp_session::disconnect_transition() {
    outbox_.ring_clear();
    const bool was_open = view_.link_open();
    view_.open_.store(false);
    set_state(link_state::idle);
    const close_reason why = close_reason_;
    close_reason_ = close_reason::asked;
    if (session_events* e = events()) {
        e->link_changed(false);
        e->log_line("Disconnected from " + device_.name());
        if (was_open && why != close_reason::asked)
            e->lost(why);
    }
}

bool amp_session::hand_over_answers() {
    if (!view_.accepts_commands())
        return false;
    inbox_frame frame;
    if (view_.updating() && update_ != nullptr) {
        // One answer per wake-up, each followed by the amplifier's pause.
        if (!inbox_.pop(frame))
            return false;
        update_->update_on_answer(frame.bytes.data(), frame.size, frame.bytes.size());
        return true;
    }
    while (view_.accepts_commands() && inbox_.pop(frame))
        apply_answer(frame);
    return false;
}

void amp_session::apply_answer(const inbox_frame& frame) {
    if (!is_amp_answer(frame.view))
        return;
    if (frame.view.code == location_answer_code)
        apply_location(frame.view);
    else if (frame.view.code == parameter_answer_code)
        apply_parameters(frame.view);
}

void amp_session::apply_location(const frame_view& answer) {
    // A short answer carries fewer than 16 characters; the rest of the field is
    // cleared rather than filled from an older frame.
    constexpr size_t location_size = 16;
    const size_t n = answer.count < location_size ? answer.count : location_size;
    params_.set_location(answer.data, n);
    if (session_events* e = events()) {
        e->info_changed(device_info_text(device_.name(), params_.location_bytes()));
        e->params_changed(field_bit(param_field::location));
        e->answered(answer_kind::location);
    }
}

void amp_session::apply_parameters(const frame_view& answer) {
    view_.missed_.store(0);
    session_events* e = events();
    if (answer.length != full_parameter_length) {
        field_mask changed = 0;
        // The date is the last four data bytes; a shorter answer has none to give.
        if (answer.count >= 4) {
            const param_block before = params_.snapshot();
            const uint8_t* d = answer.data + answer.count - 4;
            params_.set_fw_date(d[0], d[1], d[2], d[3]);
            changed = changed_fields(before, params_.snapshot()) & firmware_date_fields;
        }
        view_.gate_.store(true);
        if (e != nullptr) {
            e->info_changed(wrong_size_text);
            e->gated(true);
            if (changed != 0)
                e->params_changed(changed);
            e->answered(answer_kind::wrong_size);
        }
        return;
    }

    // An answer opens the link when a probe (or a choice) waits for one.
    if (view_.state() == link_state::probing || view_.state() == link_state::idle)
        set_state(link_state::opening);
    answers_.fetch_add(1);
    const param_block before = params_.snapshot();
    if (!params_.replace_if_different(answer.data)) {
        if (e != nullptr)
            e->answered(view_.gated() ? answer_kind::refused_firmware : answer_kind::parameters);
        return;
    }
    const field_mask changed = changed_fields(before, params_.snapshot());

    const auto date = [&](param_field f) { return answer.data[field_def(f).offset]; };
    const uint32_t value =
        firmware_date_value(date(param_field::fw_year), date(param_field::fw_month),
                            date(param_field::fw_day), date(param_field::fw_hour));
    const bool refused = value < min_firmware_date;
    view_.gate_.store(refused);
    if (e == nullptr)
        return;
    if (refused) {
        e->info_changed(firmware_refused_text);
        e->gated(true);
        e->answered(answer_kind::refused_firmware);
        return;
    }
    e->info_changed(device_info_text(device_.name(), params_.location_bytes()));
    e->gated(false);
    e->params_changed(changed);
    e->answered(answer_kind::parameters);
}

void amp_session::send_head() {
    if (!view_.accepts_commands() || !outbox_.head_waiting())
        return;
    uint8_t frame[command_ring::slot_size];
    const size_t size = outbox_.ring_pop_into(frame, sizeof frame);
    if (size == 0)
        return;
    // Any traffic keeps the link alive, so polls come only after 5 s of silence.
    if (!view_.updating())
        poll_timer_start();
    const send_result sent = sender_.send_frame(frame, size);
    if (session_events* e = events()) {
        report_send(sent, *e);
        e->frame_sent();
    }
}

void amp_session::log_line(const std::string& text) {
    if (session_events* e = events())
        e->log_line(text);
}

}  // namespace tavrin
