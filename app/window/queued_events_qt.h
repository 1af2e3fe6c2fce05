#pragma once
// The events port for every thread: events raised on the UI thread are shown at
// once; events from other threads are queued to the UI thread, and a question blocks
// its caller until it has been answered.
#include <QObject>
#include <QPointer>
#include <memory>
#include <mutex>
#include <vector>

#include "app/core/app_events.h"

namespace tavrin {

class queued_events : public app_events {
  public:
    // `direct` runs on the UI thread; `context` lives there (usually the main window)
    // and queued events are dropped once it is gone.
    queued_events(QObject* context, app_events& direct);

    void log_line(const std::string& text) override;
    void link_changed(bool open) override;
    void info_changed(const std::string& text) override;
    void state_changed() override;
    void poll_timer(poll_timer_action action) override;
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

    template <typename F>
    void post(F&& call);

    QPointer<QObject> context_;
    app_events& direct_;
    std::mutex pending_mutex_;
    bool closed_ = false;
    std::vector<std::shared_ptr<pending_question>> pending_;
};

}  // namespace tavrin
