#include "app/window/queued_events_qt.h"

#include <QMetaObject>
#include <QThread>

namespace tavrin {

queued_events::queued_events(QObject* context, app_events& direct)
    : context_(context), direct_(direct) {}

template <typename F>
void queued_events::post(F&& call) {
    QObject* context = context_.data();
    if (context == nullptr)
        return;
    if (QThread::currentThread() == context->thread()) {
        call();
        return;
    }
    QMetaObject::invokeMethod(context, std::forward<F>(call), Qt::QueuedConnection);
}

void queued_events::log_line(const std::string& text) {
    post([this, text] { direct_.log_line(text); });
}

void queued_events::link_changed(bool open) {
    post([this, open] { direct_.link_changed(open); });
}

void queued_events::info_changed(const std::string& text) {
    post([this, text] { direct_.info_changed(text); });
}

void queued_events::state_changed() {
    post([this] { direct_.state_changed(); });
}

void queued_events::poll_timer(poll_timer_action action) {
    post([this, action] { direct_.poll_timer(action); });
}

void queued_events::update_running(bool running) {
    post([this, running] { direct_.update_running(running); });
}

void queued_events::update_progress(uint32_t position, uint32_t total) {
    post([this, position, total] { direct_.update_progress(position, total); });
}

void queued_events::update_status(const std::string& text) {
    post([this, text] { direct_.update_status(text); });
}

box_answer queued_events::ask(const question& q) {
    QObject* context = context_.data();
    if (context == nullptr)
        return default_answer(q.buttons);
    if (QThread::currentThread() == context->thread())
        return direct_.ask(q);
    box_answer answer = default_answer(q.buttons);
    QMetaObject::invokeMethod(
        context, [&] { answer = direct_.ask(q); }, Qt::BlockingQueuedConnection);
    return answer;
}

}  // namespace tavrin
