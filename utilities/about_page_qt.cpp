#include "utilities/about_page_qt.h"

#include <QLabel>

#include "resources/page_templates.h"

namespace tavrin {

void qt_about_view::set_item_text(int item, const std::string& text) {
    if (auto* label = built_.get<QLabel>(item))
        label->setText(QString::fromStdString(text));
}

void qt_about_view::invalidate() {
    page_->update();
}

about_page::about_page(page_context& ctx, QWidget* parent)
    : QWidget(parent),
      built_(build_dialog(about_page_template, this)),
      view_(this, built_),
      logic_(ctx.params, view_) {
    setAutoFillBackground(true);
    logic_.init();
}

QWidget* make_about_page(page_context& ctx, QWidget* parent) {
    return new about_page(ctx, parent);
}

}  // namespace tavrin
