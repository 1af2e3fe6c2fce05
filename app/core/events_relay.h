#pragma once
// An events port that forwards to whichever port is installed, so that the parts made
// before the window exists can be given a port at once. Without a target the events
// are dropped and questions get their default answer.
#include <atomic>

#include "app/core/app_events.h"

namespace tavrin {

class events_relay : public app_events {
  public:
    void set_target(app_events* target) { target_.store(target); }

    void log_line(const std::string& text) override {
        if (app_events* t = target_.load())
            t->log_line(text);
    }
    void link_changed(bool open) override {
        if (app_events* t = target_.load())
            t->link_changed(open);
    }
    void info_changed(const std::string& text) override {
        if (app_events* t = target_.load())
            t->info_changed(text);
    }
    void state_changed() override {
        if (app_events* t = target_.load())
            t->state_changed();
    }
    void poll_timer(poll_timer_action action) override {
        if (app_events* t = target_.load())
            t->poll_timer(action);
    }
    box_answer ask(const question& q) override {
        if (app_events* t = target_.load())
            return t->ask(q);
        return default_answer(q.buttons);
    }
    void update_running(bool running) override {
        if (app_events* t = target_.load())
            t->update_running(running);
    }
    void update_progress(uint32_t position, uint32_t total) override {
        if (app_events* t = target_.load())
            t->update_progress(position, total);
    }
    void update_status(const std::string& text) override {
        if (app_events* t = target_.load())
            t->update_status(text);
    }

  private:
    std::atomic<app_events*> target_{nullptr};
};

}  // namespace tavrin
