#pragma once
// A trackbar: a slider whose position of a vertical bar counts from the top (0 at the
// top, the maximum at the bottom), as the pages expect; up and down keys move the
// thumb up and down.
#include <QSlider>

namespace tavrin {

class trackbar : public QSlider {
    Q_OBJECT
  public:
    explicit trackbar(Qt::Orientation orientation, QWidget* parent = nullptr);

    void set_range(int min, int max) { setRange(min, max); }
    int position() const { return value(); }
    void set_position(int pos) { setValue(pos); }
};

}  // namespace tavrin
