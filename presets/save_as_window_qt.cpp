#include "presets/save_as_window_qt.h"

#include <QLineEdit>
#include <QPushButton>

namespace tavrin {
namespace {

built_dialog controls_of(QWidget* window) {
    built_dialog built;
    for (int id : {save_as_ids::name, save_as_ids::ok, save_as_ids::cancel})
        built.controls[id] = window->findChild<QWidget*>(control_name(id));
    return built;
}

}  // namespace

save_as_form::save_as_form(const page_context& ctx, QWidget* window)
    : QObject(window), ctx_(ctx), actions_(ctx_), window_(window), built_(controls_of(window)) {
    setObjectName(QStringLiteral("save_as_form"));
    auto* edit = built_.get<QLineEdit>(save_as_ids::name);
    if (edit != nullptr) {
        edit->setMaxLength(save_as_name_max);
        connect(edit, &QLineEdit::returnPressed, this, [this] { press_ok(); });
    }
    if (auto* ok = built_.get<QPushButton>(save_as_ids::ok)) {
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, this, [this] { press_ok(); });
    }
    if (auto* cancel = built_.get<QPushButton>(save_as_ids::cancel))
        connect(cancel, &QPushButton::clicked, window_, &QWidget::close);
}

preset_outcome save_as_form::press_ok() {
    auto* edit = built_.get<QLineEdit>(save_as_ids::name);
    const std::string name = edit != nullptr ? edit->text().toStdString() : std::string();
    const preset_outcome outcome = actions_.save_as(name);
    if (save_as_window_closes(outcome))
        window_->close();
    return outcome;
}

save_as_form* fill_save_as_window(page_context& ctx, QWidget* window) {
    return new save_as_form(ctx, window);
}

}  // namespace tavrin
