#include "platform/ui/trackbar.h"

namespace tavrin {

trackbar::trackbar(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent) {
    if (orientation == Qt::Vertical) {
        // The minimum sits at the top, and Up moves towards it.
        setInvertedAppearance(true);
        setInvertedControls(true);
    }
    setTickPosition(QSlider::NoTicks);
}

}  // namespace tavrin
