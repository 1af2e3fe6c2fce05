#include "pages/page_view_qt.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>

namespace tavrin {

void qt_page_view::set_item_text(int item, const std::string& text) {
    const QString value = QString::fromStdString(text);
    QWidget* w = built_.control(item);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(value);
    else if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(value);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(value);
}

void qt_page_view::set_check(int item, bool checked) {
    // setChecked emits no clicked(), so the page's own handlers do not run.
    if (auto* button = built_.get<QAbstractButton>(item))
        button->setChecked(checked);
}

void qt_page_view::invalidate() {
    page_->update();
}

void qt_page_view::invalidate_area(const graph::rect& area) {
    page_->update(QRect(area.left, area.top, area.right - area.left, area.bottom - area.top));
}

int qt_page_view::width() const {
    return page_->frameGeometry().width();
}

int qt_page_view::height() const {
    return page_->frameGeometry().height();
}

}  // namespace tavrin
