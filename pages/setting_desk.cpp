#include "pages/setting_desk.h"

namespace tavrin {

// One window that shows nothing, for all five pages.
struct setting_desk::unseen_page final : volume_view, input_view, filter_page_view, power_view {
    void set_item_text(int, const std::string&) override {}
    void set_check(int, bool) override {}
    void invalidate() override {}
    void invalidate_area(const graph::rect&) override {}
    int width() const override { return 0; }
    int height() const override { return 0; }
    void set_slider_range(int, int, int) override {}
    void set_slider_position(int, int) override {}
    void arm_send_timer(uint32_t) override {}
    void stop_send_timer() override {}
    void set_choices(int, std::span<const char* const>) override {}
    void select_choice(int, int) override {}
    void add_entry(int, const std::string&) override {}
    void select_entry(int, int) override {}
    void set_enabled(int, bool) override {}
};

// What a page needs besides the block when no amplifier is there: flags that say "not
// connected", so that the ring queues nothing.
struct setting_desk::offline_parts {
    explicit offline_parts(const param_block& block) { params.replace(block); }
    link_view flags;
    selected_device device;
    command_ring ring{flags};
    amp_params params;
    session_events events;
    fake_time time;
};

namespace {

page_context with_own_channel(const page_context& outer, page_shared& shared) {
    return {outer.flags, outer.device,   outer.ring,     outer.params,  outer.events, outer.time,
            shared,      outer.work_dir, outer.firmware, outer.wrapper, outer.session};
}

}  // namespace

setting_desk::setting_desk(const page_context& ctx)
    : ctx_(with_own_channel(ctx, shared_)), view_(std::make_unique<unseen_page>()) {}

setting_desk::setting_desk(const param_block& block)
    : offline_(std::make_unique<offline_parts>(block)),
      ctx_{offline_->flags,  offline_->device, offline_->ring, offline_->params,
           offline_->events, offline_->time,   shared_,        "."},
      view_(std::make_unique<unseen_page>()) {}

setting_desk::~setting_desk() {
    flush();
}

volume_page_logic& setting_desk::volume() {
    if (!volume_)
        volume_.emplace(ctx_, static_cast<volume_view&>(*view_));
    volume_->refresh();
    return *volume_;
}

input_page_logic& setting_desk::input() {
    if (!input_)
        input_.emplace(ctx_, static_cast<input_view&>(*view_));
    input_->flush();
    input_->refresh();
    return *input_;
}

peq_page_logic& setting_desk::peq(amp_channel shown) {
    if (!peq_)
        peq_.emplace(ctx_, static_cast<volume_view&>(*view_));
    peq_->choose_channel(static_cast<int>(shown));
    return *peq_;
}

filter_page_logic& setting_desk::filter(amp_channel shown) {
    if (!filter_)
        filter_.emplace(ctx_, static_cast<filter_page_view&>(*view_));
    filter_->choose_channel(static_cast<int>(shown));
    return *filter_;
}

power_page_logic& setting_desk::power() {
    if (!power_)
        power_.emplace(ctx_, static_cast<power_view&>(*view_));
    power_->flush();
    power_->refresh();
    return *power_;
}

void setting_desk::flush() {
    if (input_)
        input_->flush();
    if (power_)
        power_->flush();
}

}  // namespace tavrin
