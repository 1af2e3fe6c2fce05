#include "pages/volume_page_qt.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

#include "platform/ui/edit_filter.h"
#include "platform/ui/trackbar.h"
#include "resources/page_templates.h"

namespace tavrin {
void qt_volume_view::set_slider_range(int item, int min, int max) {
    if (auto* bar = built_.get<trackbar>(item))
        bar->set_range(min, max);
}

void qt_volume_view::set_slider_position(int item, int position) {
    if (auto* bar = built_.get<trackbar>(item))
        bar->set_position(position);
}

volume_page::volume_page(page_context& ctx, QWidget* parent)
    : QWidget(parent),
      built_(build_dialog(volume_page_template, this)),
      view_(this, built_),
      logic_(ctx, view_) {
    setAutoFillBackground(true);
    wire_controls();
    logic_.refresh();
}

volume_page::~volume_page() {
    qDeleteAll(filters_);
}

void volume_page::wire_controls() {
    if (auto* master = built_.get<trackbar>(volume_item::master_fader)) {
        connect(master, &trackbar::scrolled, this, [this, master](scroll_code code) {
            if (moves_thumb(code))
                logic_.master_scrolled(master->position());
        });
    }
    for (amp_channel ch : {amp_channel::ch1, amp_channel::ch2}) {
        const bool one = ch == amp_channel::ch1;
        // Every notification of a channel fader counts, top and bottom too.
        if (auto* fader =
                built_.get<trackbar>(one ? volume_item::ch1_fader : volume_item::ch2_fader)) {
            connect(fader, &trackbar::scrolled, this, [this, ch, fader](scroll_code) {
                logic_.fader_scrolled(ch, fader->position());
            });
        }
        if (auto* edit =
                built_.get<QLineEdit>(one ? volume_item::ch1_level : volume_item::ch2_level)) {
            edit->setMaxLength(static_cast<int>(level_edit_width));
            edit->setAlignment(Qt::AlignHCenter);
            edit_rules rules;
            rules.tab_applies = true;
            rules.page_current = [this] { return current(); };
            rules.apply = [this, ch, edit] { logic_.level_typed(ch, edit->text().toStdString()); };
            filters_.push_back(install_edit_filter(edit, std::move(rules)));
        }
    }
    if (auto* mute = built_.get<QCheckBox>(volume_item::mute))
        connect(mute, &QCheckBox::clicked, this, [this](bool on) { logic_.mute_clicked(on); });
    if (auto* invert = built_.get<QCheckBox>(volume_item::invert))
        connect(invert, &QCheckBox::clicked, this, [this](bool on) { logic_.invert_clicked(on); });
    for (uint8_t r = 0; r < route_count; ++r) {
        if (auto* button = built_.get<QRadioButton>(volume_item::route_bypass + r))
            connect(button, &QRadioButton::clicked, this,
                    [this, r](bool checked) { logic_.route_clicked(r, checked); });
    }
}

QWidget* make_volume_page(page_context& ctx, QWidget* parent) {
    return new volume_page(ctx, parent);
}

}  // namespace tavrin
