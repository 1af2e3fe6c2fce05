#include "window/status_lamp_qt.h"

#include <QPainter>

#include "app/lamp_colour.h"

namespace tavrin {
namespace {

QColor colour(const rgb& c) {
    return QColor(c.r, c.g, c.b);
}

// The ellipse in the lamp widget's coordinates.
QRect ellipse_rect() {
    return QRect(lamp_left - lamp_area_left, lamp_top - lamp_area_top, lamp_right - lamp_left - 1,
                 lamp_bottom - lamp_top - 1);
}

}  // namespace

status_lamp::status_lamp(const link_view& link, QWidget* parent) : QWidget(parent), link_(link) {
    setObjectName(QStringLiteral("status_lamp"));
    setGeometry(lamp_area_left, lamp_area_top, lamp_area_right - lamp_area_left,
                lamp_area_bottom - lamp_area_top);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QPoint status_lamp::centre() const {
    return ellipse_rect().center();
}

void status_lamp::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QPen(colour(lamp_outline), 1));
    painter.setBrush(colour(lamp_fill(link_.connect_flag(), link_.version_gate())));
    painter.drawEllipse(ellipse_rect());
}

}  // namespace tavrin
