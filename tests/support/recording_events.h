#pragma once
// An events port that records every call, for tests of code that talks to the window.
#include <mutex>
#include <string>
#include <vector>

#include "link/session_events.h"

namespace tavrin::testing {

class recording_events : public session_events {
  public:
    void log_line(const std::string& text) override { add(logs_, text); }
    void link_changed(bool open) override { add(links_, open ? "open" : "closed"); }
    void info_changed(const std::string& text) override { add(infos_, text); }
    void params_changed(field_mask) override { bump(state_changes_); }
    void gated(bool) override { bump(state_changes_); }
    box_answer ask(const question& q) override {
        std::lock_guard lock(mutex_);
        boxes_.push_back(q);
        if (!answers_.empty()) {
            const box_answer a = answers_.front();
            answers_.erase(answers_.begin());
            return a;
        }
        return next_answer_;
    }
    void update_running(bool running) override { add(update_runs_, running ? "on" : "off"); }
    void update_progress(uint32_t position, uint32_t total) override {
        add(progress_, std::to_string(position) + "/" + std::to_string(total));
    }
    void update_status(const std::string& text) override { add(statuses_, text); }

    std::vector<std::string> logs() const { return get(logs_); }
    std::vector<std::string> links() const { return get(links_); }
    std::vector<std::string> infos() const { return get(infos_); }
    std::vector<std::string> update_runs() const { return get(update_runs_); }
    std::vector<std::string> progress() const { return get(progress_); }
    std::vector<std::string> statuses() const { return get(statuses_); }
    std::vector<question> boxes() const {
        std::lock_guard lock(mutex_);
        return boxes_;
    }
    // Changes shown: fields of the mirror, or the firmware gate.
    int state_changes() const {
        std::lock_guard lock(mutex_);
        return state_changes_;
    }
    // The answer every question gets unless queued answers remain.
    void set_next_answer(box_answer a) {
        std::lock_guard lock(mutex_);
        next_answer_ = a;
    }
    // Answers for the next questions, in order.
    void queue_answer(box_answer a) {
        std::lock_guard lock(mutex_);
        answers_.push_back(a);
    }
    void clear() {
        std::lock_guard lock(mutex_);
        logs_.clear();
        links_.clear();
        infos_.clear();
        update_runs_.clear();
        progress_.clear();
        statuses_.clear();
        boxes_.clear();
        state_changes_ = 0;
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
    std::vector<std::string> logs_, links_, infos_, update_runs_, progress_, statuses_;
    std::vector<question> boxes_;
    std::vector<box_answer> answers_;
    int state_changes_ = 0;
    box_answer next_answer_ = box_answer::ok;
};

}  // namespace tavrin::testing
