#include "cli/cli_session.h"

#include <algorithm>
#include <cstdio>

#include "app/poll_tick.h"

namespace tavrin::cli {

void cli_ui::log_message(const std::string& text) {
    line_fn fn;
    {
        std::lock_guard lock(mutex_);
        fn = line_;
    }
    if (fn)
        fn(text);
}

void cli_ui::set_info_text(const std::string& text) {
    std::lock_guard lock(mutex_);
    info_ = text;
}

void cli_ui::start_poll_timer() {
    timer_start_.store(time_.now_ms());
    timer_on_.store(true);
}

void cli_ui::stop_poll_timer() {
    timer_on_.store(false);
}

void cli_ui::restart_poll_timer() {
    start_poll_timer();
}

box_answer cli_ui::message_box(const std::string& text, const std::string& caption, box_icon,
                               box_buttons) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return box_answer::ok;
}

void cli_ui::on_line(line_fn fn) {
    std::lock_guard lock(mutex_);
    line_ = std::move(fn);
}

std::optional<std::string> cli_ui::info_text() const {
    std::lock_guard lock(mutex_);
    return info_;
}

bool cli_ui::poll_due() {
    if (!timer_on_.load())
        return false;
    uint32_t start = timer_start_.load();
    if (time_.now_ms() - start < poll_period_ms)
        return false;
    // A window timer fires again one period later; a restart in between wins.
    timer_start_.compare_exchange_strong(start, time_.now_ms());
    return true;
}

class cli_session::worker_sender : public frame_sender {
  public:
    explicit worker_sender(amp_sender& sender) : sender_(sender) {}
    void send_frame(const uint8_t* frame, size_t size) override { sender_.send_frame(frame, size); }

  private:
    amp_sender& sender_;
};

class cli_session::worker_answers : public answer_handler {
  public:
    worker_answers(answer_parser& parser, amp_params& params) : parser_(parser), params_(params) {}
    void parse_answer(const uint8_t* buffer, size_t length) override {
        parser_.parse_answer(buffer, length);
    }
    void clear_params() override { params_.clear_params(); }

  private:
    answer_parser& parser_;
    amp_params& params_;
};

cli_session::cli_session()
    : time_(system_time()),
      ui_(time_),
      wrapper_(lib_, wrapper_options{&time_, &ui_}),
      ring_(flags_),
      parser_(params_, flags_, device_, ui_),
      receiver_(device_, mailbox_, time_),
      sender_(wrapper_, device_, ui_,
              [this](const std::string& line) { wrapper_.wrapper_log(2, line); }) {
    frame_port_ = std::make_unique<worker_sender>(sender_);
    answer_port_ = std::make_unique<worker_answers>(parser_, params_);
    worker_parts parts{flags_, device_, ring_, mailbox_, ui_, time_, *frame_port_, *answer_port_};
    // The worker owns the receive hook, as in the window.
    parts.on_thread_start = [this] {
        wrapper_.set_amp_target([this](const char* sender, const uint8_t* body, size_t size) {
            receiver_.on_amp_message(sender, body, size);
        });
    };
    worker_ = std::make_unique<comm_worker>(std::move(parts));
}

cli_session::~cli_session() {
    stop();
}

void cli_session::start_runtime(uint32_t primary, uint32_t secondary) {
    wrapper_.select_interfaces(primary, secondary);
    wrapper_.start_restart_thread();
    wrapper_.join_restart_thread();
}

bool cli_session::wait_subscribed(uint32_t ms) {
    const uint32_t start = time_.now_ms();
    while (!wrapper_.subscribed()) {
        if (time_.now_ms() - start >= ms)
            return false;
        time_.sleep_ms(10);
    }
    return true;
}

bool cli_session::connect(const std::string& name) {
    device_.set_name(name);
    device_.renew_copy();
    flags_.run_flag.store(true);
    flags_.connect_flag.store(true);
    return worker_->start();
}

void cli_session::pump(uint32_t ms) {
    const uint32_t start = time_.now_ms();
    while (time_.now_ms() - start < ms) {
        if (ui_.poll_due())
            poll_tick(flags_, device_, ring_);
        time_.sleep_ms(std::min<uint32_t>(ms, 10));
    }
}

void cli_session::stop() {
    if (worker_)
        worker_->stop();
    wrapper_.set_amp_target({});
    wrapper_.join_restart_thread();
    wrapper_.dante_stop();
}

}  // namespace tavrin::cli
