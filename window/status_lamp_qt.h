#pragma once
// The connection lamp drawn in the main window's "Device Information" box: a filled
// circle whose colour follows connect_flag and version_gate.
#include <QWidget>

#include "link/link_view.h"

namespace tavrin {

class status_lamp : public QWidget {
    Q_OBJECT
  public:
    // Placed over the main window's lamp area (15, 20)-(35, 40).
    status_lamp(const link_view& link, QWidget* parent);

    // The lamp's centre in the widget's own coordinates.
    QPoint centre() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const link_view& link_;
};

}  // namespace tavrin
