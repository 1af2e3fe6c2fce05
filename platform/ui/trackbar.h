#pragma once
// A trackbar: a slider whose position of a vertical bar counts from the top (0 at the
// top, the maximum at the bottom), as the pages expect; up and down keys move the
// thumb up and down.
//
// It reports the user's scrolling as notifications with the codes the pages know
// (`scrolled`), after the position has followed: arrow keys give line up/down, Page
// Up/Down and clicks on the channel page up/down, Home and End top and bottom, each
// move of a dragged thumb thumb track; letting go of the key or the mouse gives end
// of scroll, after a drag preceded by thumb position. Positions set by the program
// report nothing.
#include <QSlider>
#include <vector>

namespace tavrin {

enum class scroll_code : int {
    line_up = 0,
    line_down = 1,
    page_up = 2,
    page_down = 3,
    thumb_position = 4,
    thumb_track = 5,
    top = 6,
    bottom = 7,
    end_scroll = 8,
};

// Every notification but end of scroll follows a move of the thumb (Home and End
// included), so a page stores and sends on it; end of scroll only ends one.
constexpr bool moves_thumb(scroll_code code) {
    return code != scroll_code::end_scroll;
}

class trackbar : public QSlider {
    Q_OBJECT
  public:
    explicit trackbar(Qt::Orientation orientation, QWidget* parent = nullptr);

    void set_range(int min, int max) { setRange(min, max); }
    int position() const { return value(); }
    void set_position(int pos) { setValue(pos); }

    // The thumb as drawn now, and the centre it would have at `pos`, in the bar's own
    // pixels: where a pointer grabs it and where to drag it.
    QRect thumb_rect() const;
    QPoint thumb_centre_at(int pos) const;

  signals:
    void scrolled(tavrin::scroll_code code);

  protected:
    bool event(QEvent* event) override;

  private:
    void action(int action);
    void report();

    std::vector<scroll_code> pending_;
    int depth_ = 0;
    bool mouse_down_ = false;
};

}  // namespace tavrin
