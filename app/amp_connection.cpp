#include "app/amp_connection.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "protocol/catalogue.h"

namespace tavrin {

amp_connection::amp_connection(tool_core& core) : core_(core), session_(core.session_parts_for()) {
    session_.set_events(this);
    core_.add(session_);
}

amp_connection::~amp_connection() {
    core_.remove(session_);
    session_.set_events(nullptr);
}

page_context amp_connection::pages() {
    page_context ctx = session_context(session_, *this, core_.time, shared_, core_.work_dir);
    ctx.wrapper = &core_.wrapper;
    return ctx;
}

template <typename F>
void amp_connection::tell(F&& change) {
    {
        std::lock_guard lock(mutex_);
        change();
        ++told_;
    }
    changed_.notify_all();
}

void amp_connection::open(const std::string& name) {
    tell([&] {
        info_.reset();
        open_ = false;
        at_open_ = answers_;
    });
    session_.start();
    session_.choose(name);
}

void amp_connection::switch_to(const std::string& name) {
    if (session_.view().link_open()) {
        session_.close();
        std::unique_lock lock(mutex_);
        core_.time.wait_for(changed_, lock, 2000, [&] { return !open_; });
    }
    open(name);
}

uint64_t amp_connection::answers() const {
    std::lock_guard lock(mutex_);
    return answers_;
}

std::optional<std::string> amp_connection::info_text() const {
    std::lock_guard lock(mutex_);
    return info_;
}

bool amp_connection::server_away() const {
    std::lock_guard lock(mutex_);
    return away_;
}

bool amp_connection::wait_until(const std::function<bool()>& done, uint32_t ms) {
    std::unique_lock lock(mutex_);
    uint32_t start = core_.time.now_ms();
    const uint64_t returns_before = returns_;
    uint64_t returns = returns_;
    // After the server's return only an answer over the link opened again counts: until
    // then the session may still empty its outbox, and what the caller queued next
    // would go.
    const auto finished = [&] {
        const bool answered_since_open = open_ && answers_ > at_open_;
        return done() && (returns_ == returns_before || answered_since_open);
    };
    while (!finished()) {
        const uint32_t now = core_.time.now_ms();
        if (returns_ != returns) {
            returns = returns_;
            start = back_at_;
        }
        uint32_t left = 0;
        if (away_) {
            if (now - away_since_ >= server_return_ms)
                return false;
            left = server_return_ms - (now - away_since_);
        } else {
            if (now - start >= ms)
                return false;
            left = ms - (now - start);
        }
        // Whatever the session tells wakes the wait, to look again.
        const uint64_t seen = told_;
        core_.time.wait_for(changed_, lock, left, [&] { return told_ != seen; });
    }
    return true;
}

bool amp_connection::wait_answer(uint64_t seen, uint32_t ms) {
    return wait_until([&] { return answers_ != seen; }, ms);
}

bool amp_connection::wait_first_answer(uint32_t ms) {
    return wait_until([&] { return info_.has_value() && answers_ > at_open_; }, ms);
}

bool amp_connection::wait_next_answer(uint32_t ms) {
    const uint64_t seen = answers();
    session_.outbox().ring_push(cmd::poll());
    return wait_answer(seen, ms);
}

bool amp_connection::wait_info(const std::string& expected, uint32_t ms) {
    return wait_until([&] { return info_ == expected; }, ms);
}

bool amp_connection::wait_outbox_empty(uint32_t ms) {
    return wait_until([&] { return session_.outbox().waiting() == 0; }, ms);
}

void amp_connection::on_line(line_fn fn) {
    std::lock_guard lock(mutex_);
    line_ = std::move(fn);
}

void amp_connection::on_info(std::function<void()> fn) {
    std::lock_guard lock(mutex_);
    info_fn_ = std::move(fn);
}

void amp_connection::on_question(question_fn fn) {
    std::lock_guard lock(mutex_);
    question_ = std::move(fn);
}

void amp_connection::on_update(update_sink* sink) {
    std::lock_guard lock(mutex_);
    update_sink_ = sink;
}

// ---- session_events

void amp_connection::log_line(const std::string& text) {
    line_fn fn;
    {
        std::lock_guard lock(mutex_);
        fn = line_;
    }
    if (fn)
        fn(text);
}

void amp_connection::link_changed(bool open) {
    tell([&] {
        if (open)
            at_open_ = answers_;
        open_ = open;
    });
}

void amp_connection::answered(answer_kind kind) {
    if (kind == answer_kind::location)
        return;
    tell([&] { ++answers_; });
}

void amp_connection::info_changed(const std::string& text) {
    std::function<void()> fn;
    tell([&] {
        info_ = text;
        fn = info_fn_;
    });
    if (fn)
        fn();
}

void amp_connection::server_changed(bool reachable) {
    const uint32_t now = core_.time.now_ms();
    bool returned = false;
    tell([&] {
        if (!reachable) {
            if (!away_)
                away_since_ = now;
            away_ = true;
        } else if (away_) {
            away_ = false;
            ++returns_;
            back_at_ = now;
            returned = true;
        }
    });
    // The lost server took the amplifier's answer with it, and the session closed the
    // link: this probe opens it again (over a link still open it asks again).
    if (returned && !session_.view().disconnect_request() && !session_.view().updating())
        session_.poll_now();
}

void amp_connection::frame_sent() {
    tell([] {});
}

box_answer amp_connection::ask(const question& q) {
    question_fn fn;
    {
        std::lock_guard lock(mutex_);
        fn = question_;
    }
    if (fn)
        return fn(q);
    if (q.caption.empty())
        std::fprintf(stderr, "%s\n", q.text.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", q.caption.c_str(), q.text.c_str());
    return default_answer(q.buttons);
}

void amp_connection::update_running(bool running) {
    std::lock_guard lock(mutex_);
    if (update_sink_ != nullptr)
        update_sink_->running(running);
}

void amp_connection::update_progress(uint32_t position, uint32_t total) {
    std::lock_guard lock(mutex_);
    if (update_sink_ != nullptr)
        update_sink_->progress(position, total);
}

void amp_connection::update_status(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (update_sink_ != nullptr)
        update_sink_->status(text);
}

}  // namespace tavrin
