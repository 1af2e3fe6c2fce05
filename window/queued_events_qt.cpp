#include "window/queued_events_qt.h"

#include <QMetaObject>
#include <QThread>
#include <algorithm>
#include <condition_variable>

namespace tavrin {

// A question from another thread, answered on the UI thread or abandoned by close().
struct queued_events::pending_question {
    std::mutex mutex;
    std::condition_variable answered;
    box_buttons buttons = box_buttons::ok;
    bool done = false;
    box_answer answer = box_answer::ok;

    // The first answer wins; returns whether this one did.
    bool finish(box_answer a) {
        std::lock_guard lock(mutex);
        if (done)
            return false;
        done = true;
        answer = a;
        answered.notify_all();
        return true;
    }
    bool finished() {
        std::lock_guard lock(mutex);
        return done;
    }
};

queued_events::queued_events(QObject* context) : context_(context) {}

template <typename F>
void queued_events::post(F&& call) {
    QObject* context = context_.data();
    if (context == nullptr)
        return;
    const auto run = [this, call = std::forward<F>(call)] {
        if (session_events* target = target_.load())
            call(*target);
    };
    if (QThread::currentThread() == context->thread()) {
        run();
        return;
    }
    QMetaObject::invokeMethod(context, run, Qt::QueuedConnection);
}

void queued_events::log_line(const std::string& text) {
    post([text](session_events& t) { t.log_line(text); });
}
void queued_events::link_changed(bool open) {
    post([open](session_events& t) { t.link_changed(open); });
}
void queued_events::lost(close_reason why) {
    post([why](session_events& t) { t.lost(why); });
}
void queued_events::answered(answer_kind kind) {
    post([kind](session_events& t) { t.answered(kind); });
}
void queued_events::params_changed(field_mask changed) {
    post([changed](session_events& t) { t.params_changed(changed); });
}
void queued_events::info_changed(const std::string& text) {
    post([text](session_events& t) { t.info_changed(text); });
}
void queued_events::gated(bool refused) {
    post([refused](session_events& t) { t.gated(refused); });
}
void queued_events::update_running(bool running) {
    post([running](session_events& t) { t.update_running(running); });
}
void queued_events::update_progress(uint32_t position, uint32_t total) {
    post([position, total](session_events& t) { t.update_progress(position, total); });
}
void queued_events::update_status(const std::string& text) {
    post([text](session_events& t) { t.update_status(text); });
}

box_answer queued_events::ask(const question& q) {
    QObject* context = context_.data();
    if (context == nullptr)
        return default_answer(q.buttons);
    if (QThread::currentThread() == context->thread()) {
        session_events* target = target_.load();
        return target != nullptr ? target->ask(q) : default_answer(q.buttons);
    }
    auto pending = std::make_shared<pending_question>();
    pending->buttons = q.buttons;
    {
        std::lock_guard lock(pending_mutex_);
        if (closed_)
            return default_answer(q.buttons);
        pending_.push_back(pending);
    }
    QMetaObject::invokeMethod(
        context,
        [this, pending, q] {
            if (pending->finished())
                return;
            session_events* target = target_.load();
            pending->finish(target != nullptr ? target->ask(q) : default_answer(q.buttons));
        },
        Qt::QueuedConnection);
    box_answer answer;
    {
        std::unique_lock lock(pending->mutex);
        pending->answered.wait(lock, [&] { return pending->done; });
        answer = pending->answer;
    }
    std::lock_guard lock(pending_mutex_);
    pending_.erase(std::remove(pending_.begin(), pending_.end(), pending), pending_.end());
    return answer;
}

void queued_events::close() {
    std::vector<std::shared_ptr<pending_question>> waiting;
    {
        std::lock_guard lock(pending_mutex_);
        closed_ = true;
        waiting = pending_;
    }
    for (const auto& p : waiting)
        p->finish(default_answer(p->buttons));
}

}  // namespace tavrin
