#include "platform/ui/dialog_units.h"

#include <QFontMetrics>

namespace tavrin {
namespace {

int mul_div(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

}  // namespace

dialog_base_units base_units_of(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

QFont dialog_font(int points) {
    QFont font(QStringLiteral("Sans Serif"), points);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

int dlu_to_x(const dialog_base_units& units, int value) {
    return mul_div(value, units.x, 4);
}

int dlu_to_y(const dialog_base_units& units, int value) {
    return mul_div(value, units.y, 8);
}

QRect dlu_rect(const dialog_base_units& units, int x, int y, int w, int h) {
    return {dlu_to_x(units, x), dlu_to_y(units, y), dlu_to_x(units, w), dlu_to_y(units, h)};
}

QSize dlu_size(const dialog_base_units& units, int w, int h) {
    return {dlu_to_x(units, w), dlu_to_y(units, h)};
}

}  // namespace tavrin
