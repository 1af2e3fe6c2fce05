#include "pages/input_page_qt.h"

#include <QLineEdit>

#include "platform/ui/edit_filter.h"
#include "platform/ui/trackbar.h"
#include "resources/page_templates.h"

namespace tavrin {
namespace {

constexpr limiter_item all_items[] = {limiter_item::threshold, limiter_item::ratio,
                                      limiter_item::knee,      limiter_item::attack,
                                      limiter_item::hold,      limiter_item::release};

}  // namespace

void qt_input_view::set_slider_range(int item, int min, int max) {
    if (auto* bar = built_.get<trackbar>(item))
        bar->set_range(min, max);
}

void qt_input_view::set_slider_position(int item, int position) {
    if (auto* bar = built_.get<trackbar>(item))
        bar->set_position(position);
}

void qt_input_view::arm_send_timer(uint32_t ms) {
    timers_.set_timer(send_timer_id, static_cast<int>(ms), [this] {
        if (tick_)
            tick_();
    });
}

void qt_input_view::stop_send_timer() {
    timers_.kill_timer(send_timer_id);
}

input_page::input_page(page_context& ctx, QWidget* parent)
    : QWidget(parent),
      built_(build_dialog(input_page_template, this)),
      view_(this, built_, timers_),
      logic_(ctx, view_) {
    setAutoFillBackground(true);
    view_.on_send_timer([this] { logic_.send_timer_fired(); });
    wire_controls();
    logic_.refresh();
}

input_page::~input_page() {
    qDeleteAll(filters_);
    logic_.flush();
}

void input_page::wire_controls() {
    for (amp_channel ch : {amp_channel::ch1, amp_channel::ch2}) {
        const int id = ch == amp_channel::ch1 ? input_item::ch1_trim : input_item::ch2_trim;
        if (auto* bar = built_.get<trackbar>(id)) {
            connect(bar, &trackbar::scrolled, this, [this, ch, bar](scroll_code code) {
                if (moves_thumb(code))
                    logic_.trim_scrolled(ch, bar->position());
            });
        }
        for (limiter_item item : all_items) {
            auto* edit = built_.get<QLineEdit>(limiter_edit(ch, item));
            if (edit == nullptr)
                continue;
            edit->setMaxLength(static_cast<int>(limiter_edit_width(item)));
            edit_rules rules;
            // Enter or leaving the edit applies; Tab alone does not.
            rules.tab_applies = false;
            rules.page_current = [this] { return current(); };
            rules.apply = [this, ch, item, edit] {
                logic_.limiter_typed(ch, item, edit->text().toStdString());
            };
            filters_.push_back(install_edit_filter(edit, std::move(rules)));
        }
    }
}

QWidget* make_input_page(page_context& ctx, QWidget* parent) {
    return new input_page(ctx, parent);
}

}  // namespace tavrin
