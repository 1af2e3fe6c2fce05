#include "pages/peq_page_qt.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpressionValidator>

#include "pages/response_graph_qt.h"
#include "platform/ui/edit_filter.h"
#include "resources/page_templates.h"

namespace tavrin {
namespace {

constexpr int bands = static_cast<int>(band_count);

}  // namespace

peq_page::peq_page(page_context& ctx, QWidget* parent)
    : QWidget(parent),
      built_(build_dialog(peq_page_template, this)),
      view_(this, built_),
      logic_(ctx, view_) {
    setAutoFillBackground(true);
    wire_controls();
    logic_.refresh();
}

peq_page::~peq_page() {
    // The children go while the logic still exists, and a focused edit that loses the
    // focus on its way out applies nothing.
    closing_ = true;
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

void peq_page::wire_controls() {
    auto wire_button = [this](int id) {
        if (auto* button = built_.get<QAbstractButton>(id))
            connect(button, &QAbstractButton::clicked, this,
                    [this, id](bool checked) { logic_.check_clicked(id, checked); });
    };
    wire_button(idc_peq_ch1);
    wire_button(idc_peq_ch2);
    for (int k = 0; k < bands; ++k) {
        wire_button(idc_peq_enable + k);
        for (int id : {idc_peq_freq + k, idc_peq_gain + k, idc_peq_q + k}) {
            auto* edit = built_.get<QLineEdit>(id);
            if (edit == nullptr)
                continue;
            // Shown values ("-20.0", "23000", "40.00") fill five characters.
            edit->setMaxLength(5);
            edit_rules rules;
            if (id < idc_peq_gain) {
                rules.allowed = QStringLiteral("0123456789");
            } else if (id < idc_peq_q) {
                // A gain is typed in at most four characters.
                edit->setValidator(new QRegularExpressionValidator(
                    QRegularExpression(QStringLiteral(".{0,4}")), edit));
            }
            rules.page_current = [this] { return !closing_; };
            rules.apply = [this, edit, id] { logic_.edit_applied(id, edit->text().toStdString()); };
            install_edit_filter(edit, std::move(rules));
        }
    }
}

void peq_page::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    draw_peq_graph(painter, logic_.bands(), logic_.axes());
}

void peq_page::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint p = event->position().toPoint();
        logic_.button_down(p.x(), p.y());
    }
}

void peq_page::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    logic_.mouse_move(p.x(), p.y());
}

void peq_page::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint p = event->position().toPoint();
        logic_.button_up(p.x(), p.y());
    }
}

int peq_page::graph_x(double hz) const {
    return freq_to_x(hz, logic_.axes());
}

int peq_page::graph_y(double db) const {
    return db_to_y(db, logic_.axes());
}

QWidget* make_peq_page(page_context& ctx, QWidget* parent) {
    return new peq_page(ctx, parent);
}

}  // namespace tavrin
