#pragma once
// What the application core tells whoever shows it: the window (queued to its own
// thread), tavrin-cli (printed), tests (recorded). Any thread may call; `ask` blocks
// its caller until the question has been answered.
#include <cstdint>
#include <string>

#include "platform/question.h"

namespace tavrin {

enum class poll_timer_action { start, stop, restart };

class app_events {
  public:
    virtual ~app_events() = default;

    // A line for the message list; the receiver adds the time stamp.
    virtual void log_line(const std::string& text) = 0;
    // The connection with the selected amplifier opened or closed.
    virtual void link_changed(bool open) = 0;
    // The device information text (info panel) is now `text`.
    virtual void info_changed(const std::string& text) = 0;
    // The mirror, the gate or the connection changed: repaint (lamp and page).
    virtual void state_changed() = 0;
    // The 5-second poll timer.
    virtual void poll_timer(poll_timer_action action) = 0;
    // A message box; blocks until answered.
    virtual box_answer ask(const question& q) = 0;

    // A firmware transfer: running (the window takes no input) or ended, how far it
    // has come (blocks sent of total), and the status text of the Update page.
    virtual void update_running(bool running) = 0;
    virtual void update_progress(uint32_t position, uint32_t total) = 0;
    virtual void update_status(const std::string& text) = 0;
};

// Events with nobody to show them: questions get their default answer.
class null_app_events : public app_events {
  public:
    void log_line(const std::string&) override {}
    void link_changed(bool) override {}
    void info_changed(const std::string&) override {}
    void state_changed() override {}
    void poll_timer(poll_timer_action) override {}
    box_answer ask(const question& q) override { return default_answer(q.buttons); }
    void update_running(bool) override {}
    void update_progress(uint32_t, uint32_t) override {}
    void update_status(const std::string&) override {}
};

}  // namespace tavrin
