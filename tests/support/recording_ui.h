#pragma once
// A ui_port that records every call, for tests of code that talks to the window.
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui_port.h"

namespace tavrin::testing {

struct recorded_box {
    std::string text;
    std::string caption;
    box_icon icon;
    box_buttons buttons;
};

class recording_ui : public ui_port {
  public:
    void log_message(const std::string& text) override { add(logs_, text); }
    void set_info_text(const std::string& text) override { add(infos_, text); }
    void invalidate_main_window() override { bump(main_invalidations_); }
    void invalidate_status_lamp() override { bump(lamp_invalidations_); }
    void set_connect_caption(const std::string& caption) override { add(captions_, caption); }
    void start_poll_timer() override { add(timer_calls_, std::string("start")); }
    void stop_poll_timer() override { add(timer_calls_, std::string("stop")); }
    void restart_poll_timer() override { add(timer_calls_, std::string("restart")); }
    box_answer message_box(const std::string& text, const std::string& caption, box_icon icon,
                           box_buttons buttons) override {
        std::lock_guard lock(mutex_);
        boxes_.push_back({text, caption, icon, buttons});
        return next_answer_;
    }

    std::vector<std::string> logs() const { return get(logs_); }
    std::vector<std::string> infos() const { return get(infos_); }
    std::vector<std::string> captions() const { return get(captions_); }
    std::vector<std::string> timer_calls() const { return get(timer_calls_); }
    std::vector<recorded_box> boxes() const {
        std::lock_guard lock(mutex_);
        return boxes_;
    }
    int main_invalidations() const {
        std::lock_guard lock(mutex_);
        return main_invalidations_;
    }
    int lamp_invalidations() const {
        std::lock_guard lock(mutex_);
        return lamp_invalidations_;
    }
    void set_next_answer(box_answer a) {
        std::lock_guard lock(mutex_);
        next_answer_ = a;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        logs_.clear();
        infos_.clear();
        captions_.clear();
        timer_calls_.clear();
        boxes_.clear();
        main_invalidations_ = lamp_invalidations_ = 0;
    }

  private:
    void add(std::vector<std::string>& v, const std::string& s) {
        std::lock_guard lock(mutex_);
        v.push_back(s);
    }
    void bump(int& n) {
        std::lock_guard lock(mutex_);
        ++n;
    }
    std::vector<std::string> get(const std::vector<std::string>& v) const {
        std::lock_guard lock(mutex_);
        return v;
    }

    mutable std::mutex mutex_;
    std::vector<std::string> logs_, infos_, captions_, timer_calls_;
    std::vector<recorded_box> boxes_;
    int main_invalidations_ = 0;
    int lamp_invalidations_ = 0;
    box_answer next_answer_ = box_answer::ok;
};

}  // namespace tavrin::testing
