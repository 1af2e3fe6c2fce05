#include "utilities/utility_page_qt.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "platform/ui/edit_filter.h"
#include "resources/page_templates.h"
#include "utilities/name_rules.h"

namespace tavrin {

void qt_utility_view::set_item_text(int item, const std::string& text) {
    const QString value = QString::fromStdString(text);
    QWidget* w = built_.control(item);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(value);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(value);
}

std::string qt_utility_view::item_text(int item) const {
    if (auto* edit = built_.get<QLineEdit>(item))
        return edit->text().toStdString();
    return {};
}

void qt_utility_view::start_timer(int id, int period_ms) {
    timers_.set_timer(id, period_ms, [this, id] {
        if (on_tick)
            on_tick(id);
    });
}

void qt_utility_view::kill_timer(int id) {
    timers_.kill_timer(id);
}

void qt_utility_view::invalidate() {
    page_->update();
}

utility_page::utility_page(page_context& ctx, QWidget* parent)
    : QWidget(parent),
      built_(build_dialog(utility_page_template, this)),
      timers_(this),
      view_(this, built_, timers_),
      logic_({ctx.flags, ctx.device, ctx.ring, ctx.params, ctx.events, ctx.session,
              wrapper_rename(ctx.wrapper), wrapper_device_names(ctx.wrapper)},
             view_) {
    setAutoFillBackground(true);
    // The fields take only what the amplifier accepts: a name's characters (the rule
    // of name_rules, which the rename checks whole), and a location of 16 single-byte
    // characters.
    // A click selects the whole text, as in the other pages' fields; Enter does nothing.
    const edit_rules select_on_click{QString(), false, {}, {}};
    if (auto* name = built_.get<QLineEdit>(idc_rename_field)) {
        install_edit_filter(name, select_on_click);
        name->setMaxLength(static_cast<int>(max_rename_chars));
        name->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[A-Za-z0-9-]*")), name));
    }
    if (auto* location = built_.get<QLineEdit>(idc_location_field)) {
        install_edit_filter(location, select_on_click);
        location->setMaxLength(static_cast<int>(location_size));
        location->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[\\x{20}-\\x{7E}\\x{A0}-\\x{FF}]*")), location));
    }
    view_.on_tick = [this](int id) {
        if (id == find_me_timer_id)
            logic_.find_me_tick();
    };
    const auto wire = [this](int id, void (utility_page_logic::*action)()) {
        if (auto* button = built_.get<QAbstractButton>(id))
            connect(button, &QAbstractButton::clicked, this,
                    [this, action] { (logic_.*action)(); });
    };
    wire(idc_rename_ok, &utility_page_logic::rename_clicked);
    wire(idc_location_ok, &utility_page_logic::location_clicked);
    wire(idc_reset, &utility_page_logic::reset_clicked);
    wire(idc_find_me_toggle, &utility_page_logic::find_me_clicked);
    logic_.init();
}

utility_page::~utility_page() {
    logic_.page_destroyed();
}

QWidget* make_utility_page(page_context& ctx, QWidget* parent) {
    return new utility_page(ctx, parent);
}

}  // namespace tavrin
