#pragma once
// Pixel checks on rendered graphs.
#include <QImage>

#include "pages/graph_style.h"

namespace tavrin::testing {

inline bool is(const QImage& img, int x, int y, graph_style::rgb c) {
    if (!img.rect().contains(x, y))
        return false;
    const QRgb p = img.pixel(x, y);
    return qRed(p) == c.r && qGreen(p) == c.g && qBlue(p) == c.b;
}

// Pixels of colour `c` in the box [left, right] x [top, bottom], clipped to the image.
inline int count(const QImage& img, graph_style::rgb c, int left, int top, int right, int bottom) {
    int n = 0;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            n += is(img, x, y, c);
    return n;
}

inline int count(const QImage& img, graph_style::rgb c) {
    return count(img, c, 0, 0, img.width() - 1, img.height() - 1);
}

}  // namespace tavrin::testing
