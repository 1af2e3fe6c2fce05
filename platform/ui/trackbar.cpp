#include "platform/ui/trackbar.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionSlider>

namespace tavrin {
namespace {

bool scroll_key(int key) {
    switch (key) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            return true;
        default:
            return false;
    }
}

}  // namespace

trackbar::trackbar(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent) {
    if (orientation == Qt::Vertical) {
        // The minimum sits at the top, and Up moves towards it.
        setInvertedAppearance(true);
        setInvertedControls(true);
    }
    setTickPosition(QSlider::NoTicks);
    connect(this, &QAbstractSlider::actionTriggered, this, &trackbar::action);
}

QRect trackbar::thumb_rect() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
}

QPoint trackbar::thumb_centre_at(int pos) const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.sliderPosition = pos;
    option.sliderValue = pos;
    return style()
        ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this)
        .center();
}

void trackbar::action(int action) {
    // The position has moved but the value follows only after this signal, so the
    // codes wait until the event that caused them is done.
    switch (action) {
        case SliderSingleStepAdd:
            pending_.push_back(scroll_code::line_down);
            break;
        case SliderSingleStepSub:
            pending_.push_back(scroll_code::line_up);
            break;
        case SliderPageStepAdd:
            pending_.push_back(scroll_code::page_down);
            break;
        case SliderPageStepSub:
            pending_.push_back(scroll_code::page_up);
            break;
        case SliderToMinimum:
            pending_.push_back(scroll_code::top);
            break;
        case SliderToMaximum:
            pending_.push_back(scroll_code::bottom);
            break;
        case SliderMove:
            if (isSliderDown())
                pending_.push_back(scroll_code::thumb_track);
            else if (sliderPosition() != value())  // the wheel scrolls by lines
                pending_.push_back(sliderPosition() < value() ? scroll_code::line_up
                                                              : scroll_code::line_down);
            break;
        default:
            break;
    }
    if (depth_ == 0 && !pending_.empty())
        QMetaObject::invokeMethod(this, &trackbar::report, Qt::QueuedConnection);
}

void trackbar::report() {
    std::vector<scroll_code> codes;
    codes.swap(pending_);
    for (scroll_code code : codes)
        emit scrolled(code);
}

bool trackbar::event(QEvent* e) {
    const bool dragging = isSliderDown();
    ++depth_;
    const bool handled = QSlider::event(e);
    --depth_;
    switch (e->type()) {
        case QEvent::MouseButtonPress:
            if (static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton)
                mouse_down_ = true;
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton && mouse_down_) {
                mouse_down_ = false;
                if (dragging)
                    pending_.push_back(scroll_code::thumb_position);
                pending_.push_back(scroll_code::end_scroll);
            }
            break;
        case QEvent::KeyRelease: {
            const auto* key = static_cast<QKeyEvent*>(e);
            if (!key->isAutoRepeat() && scroll_key(key->key()) &&
                key->modifiers() == Qt::NoModifier)
                pending_.push_back(scroll_code::end_scroll);
            break;
        }
        default:
            break;
    }
    if (depth_ == 0)
        report();
    return handled;
}

}  // namespace tavrin
