#pragma once
// A group box drawn as the templates' dialog units mean it: the frame's top line half
// the font height below the box's top, the title on that line with the line broken
// behind it, so that what the template puts inside the box lies below the line.
#include <QGroupBox>

namespace tavrin {

class group_box : public QGroupBox {
  public:
    group_box(const QString& title, QWidget* parent);

    // The row of the frame's top line, in the box's own pixels.
    int top_line() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace tavrin
