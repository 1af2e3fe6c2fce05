#pragma once
// Dialog units to pixels the way dialog templates are laid out: a horizontal unit is
// a quarter of the dialog font's average character width, a vertical unit an eighth
// of its height.
#include <QFont>
#include <QRect>
#include <QSize>

namespace tavrin {

struct dialog_base_units {
    int x = 0;  // average character width in pixels
    int y = 0;  // character height in pixels
};

// Average width of the 52 Latin letters (rounded), and the font height.
dialog_base_units base_units_of(const QFont& font);

// The dialog font: the platform's default sans-serif face at the template's size.
QFont dialog_font(int points);

// Rounded like MulDiv(value, base, 4 or 8).
int dlu_to_x(const dialog_base_units& units, int value);
int dlu_to_y(const dialog_base_units& units, int value);
QRect dlu_rect(const dialog_base_units& units, int x, int y, int w, int h);
QSize dlu_size(const dialog_base_units& units, int w, int h);

}  // namespace tavrin
