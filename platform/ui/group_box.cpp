#include "platform/ui/group_box.h"

#include <QPainter>

namespace tavrin {

group_box::group_box(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

int group_box::top_line() const {
    return fontMetrics().height() / 2;
}

void group_box::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // An etched frame: a shadow line with a light one beside it. (The styles' own
    // group box frame leaves room for a title above it, which a template does not.)
    const QRect frame = rect().adjusted(0, top_line(), -1, -1);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(frame.adjusted(1, 1, 0, 0));
    if (title().isEmpty())
        return;
    // The title starts one character in, on a strip of the background a blank wide
    // on either side that breaks the line.
    const QFontMetrics metrics = fontMetrics();
    const int pad = metrics.horizontalAdvance(QLatin1Char(' ')) / 2;
    QRect text(metrics.averageCharWidth(), 0, metrics.horizontalAdvance(title()) + 2 * pad,
               metrics.height());
    text = text.intersected(rect());
    painter.fillRect(text, palette().brush(backgroundRole()));
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(text.adjusted(pad, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, title());
}

}  // namespace tavrin
