#pragma once
// A non-editable drop-down list that reports when it is about to open and when it
// has closed, with or without a choice.
#include <QComboBox>

namespace tavrin {

class drop_down : public QComboBox {
    Q_OBJECT
  public:
    explicit drop_down(QWidget* parent = nullptr);

    void showPopup() override;
    void hidePopup() override;

  signals:
    void about_to_open();
    // Emitted once the popup has gone and the choice (if any) has been applied.
    void closed(bool chosen);

  private:
    bool open_ = false;
    bool chosen_ = false;
};

}  // namespace tavrin
