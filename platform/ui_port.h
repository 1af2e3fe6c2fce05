#pragma once
// Everything a non-UI thread does to a window goes through this port. The window
// implements it with queued calls to the UI thread; tests record the calls.
#include <string>

#include "app/core/app_events.h"

namespace tavrin {

class ui_port {
  public:
    virtual ~ui_port() = default;

    // A line for the main window's message list (the port adds the time stamp).
    virtual void log_message(const std::string& text) = 0;
    // The main window's device information text (info panel).
    virtual void set_info_text(const std::string& text) = 0;
    // Repaint the whole main window / only the connection lamp.
    virtual void invalidate_main_window() = 0;
    virtual void invalidate_status_lamp() = 0;
    // Caption of the Connect button ("Connect" or "Disconnect").
    virtual void set_connect_caption(const std::string& caption) = 0;
    // The 5000 ms poll timer: restart = kill and start again.
    virtual void start_poll_timer() = 0;
    virtual void stop_poll_timer() = 0;
    virtual void restart_poll_timer() = 0;
    // A message box; blocks the calling thread until it is answered.
    virtual box_answer message_box(const std::string& text, const std::string& caption,
                                   box_icon icon, box_buttons buttons) = 0;
};

// A port that does nothing, for code paths that run without any window.
class null_ui_port : public ui_port {
  public:
    void log_message(const std::string&) override {}
    void set_info_text(const std::string&) override {}
    void invalidate_main_window() override {}
    void invalidate_status_lamp() override {}
    void set_connect_caption(const std::string&) override {}
    void start_poll_timer() override {}
    void stop_poll_timer() override {}
    void restart_poll_timer() override {}
    box_answer message_box(const std::string&, const std::string&, box_icon, box_buttons) override {
        return box_answer::ok;
    }
};

}  // namespace tavrin
