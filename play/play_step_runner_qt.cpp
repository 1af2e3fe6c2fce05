#include "play/play_step_runner_qt.h"

#include <QCoreApplication>
#include <utility>

namespace tavrin {

step_runner::step_runner(play_session& session, perform_step perform, end_check at_end)
    : session_(session), perform_(std::move(perform)), at_end_(std::move(at_end)) {
    step_timer_.setSingleShot(true);
    connect(&step_timer_, &QTimer::timeout, this, &step_runner::run_next);
    poll_timer_.setInterval(session_.options().poll_ms);
    connect(&poll_timer_, &QTimer::timeout, this, &step_runner::poll);
}

int step_runner::run() {
    step_timer_.start(0);
    return loop_.exec();
}

void step_runner::run_next() {
    // Whatever the last step set going (queued signals, repaints) lands first.
    QCoreApplication::sendPostedEvents();
    if (session_.ended()) {
        finish(at_end_());
        return;
    }
    follow(perform_(session_.step()));
}

void step_runner::follow(play_outcome o) {
    if (std::optional<play_outcome> late = session_.take_late_failure())
        o = std::move(*late);
    if (o.code >= 0) {
        finish(o);
        return;
    }
    if (o.wait) {
        wait_ = std::move(o.wait);
        deadline_ = QDeadlineTimer(wait_->limit_ms);
        poll_timer_.start();
        poll();
        return;
    }
    session_.next();
    step_timer_.start(0);
}

void step_runner::poll() {
    if (!wait_)
        return;
    if (session_.failed_later()) {
        poll_timer_.stop();
        wait_.reset();
        follow(proceed());
        return;
    }
    std::function<play_outcome()> next;
    if (wait_->done())
        next = std::move(wait_->then);
    else if (deadline_.hasExpired())
        next = std::move(wait_->on_timeout);
    else
        return;
    poll_timer_.stop();
    wait_.reset();
    follow(next ? next() : proceed());
}

void step_runner::finish(const play_outcome& o) {
    poll_timer_.stop();
    if (!o.message.empty())
        session_.err() << o.message << "\n";
    session_.held().let_go();
    loop_.exit(o.code);
}

}  // namespace tavrin
