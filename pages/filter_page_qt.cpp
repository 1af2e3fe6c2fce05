#include "pages/filter_page_qt.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

#include "pages/response_graph_qt.h"
#include "platform/ui/edit_filter.h"
#include "resources/page_templates.h"

namespace tavrin {

void qt_filter_page_view::set_choices(int item, std::span<const char* const> entries) {
    auto* list = built_.get<QComboBox>(item);
    if (list == nullptr)
        return;
    // A list that holds these entries already stays as it is, so that a refresh while
    // it is open does not take it away under the pointer.
    bool same = list->count() == static_cast<int>(entries.size());
    for (int i = 0; same && i < list->count(); ++i)
        same = list->itemText(i) == QString::fromUtf8(entries[static_cast<size_t>(i)]);
    if (same)
        return;
    list->clear();
    for (const char* entry : entries)
        list->addItem(QString::fromUtf8(entry));
}

void qt_filter_page_view::select_choice(int item, int index) {
    // Programmatic: no "activated", so the page's own handler does not run.
    if (auto* list = built_.get<QComboBox>(item))
        list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

filter_page::filter_page(page_context& ctx, QWidget* parent)
    : QWidget(parent),
      built_(build_dialog(filter_page_template, this)),
      view_(this, built_),
      logic_(ctx, view_) {
    setAutoFillBackground(true);
    wire_controls();
    logic_.refresh();
}

filter_page::~filter_page() {
    // The children go while the logic still exists, and a focused edit that loses the
    // focus on its way out applies nothing.
    closing_ = true;
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

void filter_page::wire_controls() {
    for (int id : {idc_hpf_enable, idc_lpf_enable, idc_filter_ch1, idc_filter_ch2}) {
        if (auto* button = built_.get<QAbstractButton>(id))
            connect(button, &QAbstractButton::clicked, this,
                    [this, id](bool checked) { logic_.check_clicked(id, checked); });
    }
    for (int id : {idc_hpf_slope, idc_lpf_slope}) {
        // A choice the user completed, with the mouse or the keys.
        if (auto* list = built_.get<QComboBox>(id))
            connect(list, &QComboBox::activated, this,
                    [this, id](int index) { logic_.slope_chosen(id, index); });
    }
    for (int id : {idc_hpf_freq, idc_lpf_freq}) {
        auto* edit = built_.get<QLineEdit>(id);
        if (edit == nullptr)
            continue;
        edit->setMaxLength(5);
        edit_rules rules;
        rules.allowed = QStringLiteral("0123456789");
        rules.page_current = [this] { return !closing_; };
        rules.apply = [this, edit, id] { logic_.edit_applied(id, edit->text().toStdString()); };
        install_edit_filter(edit, std::move(rules));
    }
}

void filter_page::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    draw_filter_graph(painter, logic_.record(), logic_.axes());
}

void filter_page::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint p = event->position().toPoint();
        logic_.button_down(p.x(), p.y());
    }
}

void filter_page::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    logic_.mouse_move(p.x(), p.y());
}

void filter_page::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint p = event->position().toPoint();
        logic_.button_up(p.x(), p.y());
    }
}

int filter_page::graph_x(double hz) const {
    return freq_to_x(hz, logic_.axes());
}

int filter_page::graph_y(double db) const {
    return db_to_y(db, logic_.axes());
}

QWidget* make_filter_page(page_context& ctx, QWidget* parent) {
    return new filter_page(ctx, parent);
}

}  // namespace tavrin
