#pragma once
// A UI port that forwards to whichever port is installed, so that the parts made
// before the window exists can be given a port at once. Without a target the calls
// are dropped (message boxes answer as if dismissed).
#include <atomic>

#include "platform/ui_port.h"

namespace tavrin {

class ui_relay : public ui_port {
  public:
    void set_target(ui_port* target) { target_.store(target); }

    void log_message(const std::string& text) override {
        if (ui_port* t = target_.load())
            t->log_message(text);
    }
    void set_info_text(const std::string& text) override {
        if (ui_port* t = target_.load())
            t->set_info_text(text);
    }
    void invalidate_main_window() override {
        if (ui_port* t = target_.load())
            t->invalidate_main_window();
    }
    void invalidate_status_lamp() override {
        if (ui_port* t = target_.load())
            t->invalidate_status_lamp();
    }
    void set_connect_caption(const std::string& caption) override {
        if (ui_port* t = target_.load())
            t->set_connect_caption(caption);
    }
    void start_poll_timer() override {
        if (ui_port* t = target_.load())
            t->start_poll_timer();
    }
    void stop_poll_timer() override {
        if (ui_port* t = target_.load())
            t->stop_poll_timer();
    }
    void restart_poll_timer() override {
        if (ui_port* t = target_.load())
            t->restart_poll_timer();
    }
    box_answer message_box(const std::string& text, const std::string& caption, box_icon icon,
                           box_buttons buttons) override {
        if (ui_port* t = target_.load())
            return t->message_box(text, caption, icon, buttons);
        return buttons == box_buttons::yes_no ? box_answer::no : box_answer::ok;
    }

  private:
    std::atomic<ui_port*> target_{nullptr};
};

}  // namespace tavrin
