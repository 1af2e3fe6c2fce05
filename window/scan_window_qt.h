#pragma once
// The discovery scan window: a small captionless window over the main window whose
// text counts dots once a second while the search runs.
#include <QLabel>
#include <QWidget>

#include "app/scan_text.h"
#include "platform/ui/window_timers.h"

namespace tavrin {

class scan_window : public QWidget {
    Q_OBJECT
  public:
    explicit scan_window(QWidget* owner);

    // Centres the window over `owner` (half the difference of widths and heights).
    void centre_over(const QWidget* owner);
    QString text() const { return label_->text(); }
    window_timers& timers() { return timers_; }

  private:
    void tick();

    QLabel* label_ = nullptr;
    scan_text_cycle cycle_;
    window_timers timers_;
};

}  // namespace tavrin
