#include "pages/power_page_qt.h"

#include <QCheckBox>
#include <QRadioButton>

#include "platform/ui/drop_down.h"
#include "platform/ui/trackbar.h"
#include "resources/page_templates.h"

namespace tavrin {
void qt_power_view::add_entry(int item, const std::string& text) {
    if (auto* combo = built_.get<drop_down>(item))
        combo->addItem(QString::fromStdString(text));
}

void qt_power_view::select_entry(int item, int index) {
    if (auto* combo = built_.get<drop_down>(item))
        combo->setCurrentIndex(index);
}

void qt_power_view::set_enabled(int item, bool enabled) {
    if (QWidget* w = built_.control(item))
        w->setEnabled(enabled);
}

void qt_power_view::set_slider_range(int item, int min, int max) {
    if (auto* bar = built_.get<trackbar>(item))
        bar->set_range(min, max);
}

void qt_power_view::set_slider_position(int item, int position) {
    if (auto* bar = built_.get<trackbar>(item))
        bar->set_position(position);
}

void qt_power_view::arm_send_timer(uint32_t ms) {
    timers_.set_timer(send_timer_id, static_cast<int>(ms), [this] {
        if (tick_)
            tick_();
    });
}

void qt_power_view::stop_send_timer() {
    timers_.kill_timer(send_timer_id);
}

power_page::power_page(page_context& ctx, QWidget* parent)
    : QWidget(parent),
      built_(build_dialog(power_page_template, this)),
      view_(this, built_, timers_),
      logic_(ctx, view_) {
    setAutoFillBackground(true);
    view_.on_send_timer([this] { logic_.send_timer_fired(); });
    wire_controls();
    logic_.init();
}

power_page::~power_page() {
    logic_.flush();
}

void power_page::wire_controls() {
    const auto on_click = [this](int id, void (power_page_logic::*click)(bool)) {
        if (auto* box = built_.get<QCheckBox>(id))
            connect(box, &QCheckBox::clicked, this,
                    [this, click](bool on) { (logic_.*click)(on); });
    };
    on_click(power_item::manual, &power_page_logic::manual_clicked);
    on_click(power_item::pbtl, &power_page_logic::pbtl_clicked);
    on_click(power_item::limit_enable, &power_page_logic::limit_enable_clicked);
    on_click(power_item::current_enable, &power_page_logic::current_enable_clicked);

    // A choice made in the list (not a selection set by the page itself).
    if (auto* combo = built_.get<drop_down>(power_item::power_class))
        connect(combo, &QComboBox::activated, this,
                [this](int index) { logic_.class_chosen(index); });

    for (const auto& [id, ohms] :
         {std::pair{power_item::speaker_4, 4}, std::pair{power_item::speaker_8, 8}}) {
        if (auto* button = built_.get<QRadioButton>(id))
            connect(button, &QRadioButton::clicked, this,
                    [this, ohms = ohms] { logic_.speaker_clicked(static_cast<uint8_t>(ohms)); });
    }

    for (limit_slot slot : {limit_slot::ch1, limit_slot::ch2, limit_slot::pbtl}) {
        if (auto* bar = built_.get<trackbar>(power_limit_slider(slot))) {
            connect(bar, &trackbar::scrolled, this, [this, slot, bar](scroll_code code) {
                if (moves_thumb(code))
                    logic_.limit_scrolled(slot, bar->position());
            });
        }
    }
    const auto on_scroll = [this](int id, bool (power_page_logic::*scrolled)(int)) {
        auto* bar = built_.get<trackbar>(id);
        if (bar == nullptr)
            return;
        connect(bar, &trackbar::scrolled, this, [this, bar, scrolled](scroll_code code) {
            if (moves_thumb(code))
                (logic_.*scrolled)(bar->position());
        });
    };
    on_scroll(power_item::threshold, &power_page_logic::threshold_scrolled);
    on_scroll(power_item::release, &power_page_logic::release_scrolled);
}

QWidget* make_power_page(page_context& ctx, QWidget* parent) {
    return new power_page(ctx, parent);
}

}  // namespace tavrin
