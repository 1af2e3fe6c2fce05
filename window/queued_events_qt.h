#pragma once
// The window's events port for every thread: events raised on the UI thread reach the
// window at once; events from other threads are queued to the UI thread, and a
// question blocks its caller until it has been answered. Made before the window (the
// core and the session report through it from the start) and given the window once
// it exists; until then, and after close(), events are dropped and questions get
// their default answer.
#include <QObject>
#include <QPointer>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "link/session_events.h"

namespace tavrin {

class queued_events : public session_events {
  public:
    // `context` lives on the UI thread (the application, or the window).
    explicit queued_events(QObject* context);

    // The window that shows the events (UI thread; null: none).
    void set_target(session_events* target) { target_.store(target); }

    void log_line(const std::string& text) override;
    void link_changed(bool open) override;
    void lost(close_reason why) override;
    void answered(answer_kind kind) override;
    void params_changed(field_mask changed) override;
    void info_changed(const std::string& text) override;
    void gated(bool refused) override;
    box_answer ask(const question& q) override;
    void update_running(bool running) override;
    void update_progress(uint32_t position, uint32_t total) override;
    void update_status(const std::string& text) override;

    // The window is going: every question still waiting for the UI thread gets its
    // default answer now, and later ones get it at once, so no thread stays blocked
    // on a window that will not answer.
    void close();

  private:
    struct pending_question;

    // Runs `call` with the target on the UI thread.
    template <typename F>
    void post(F&& call);

    QPointer<QObject> context_;
    std::atomic<session_events*> target_{nullptr};
    std::mutex pending_mutex_;
    bool closed_ = false;
    std::vector<std::shared_ptr<pending_question>> pending_;
};

}  // namespace tavrin
