#include "window/scan_window_qt.h"

#include "platform/ui/dialog_builder.h"

namespace tavrin {

scan_window::scan_window(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint), timers_(this) {
    setObjectName(QStringLiteral("scan_window"));
    const built_dialog built = build_dialog(*find_template(scan_template_id), this);
    label_ = built.get<QLabel>(1220);
    label_->setText(QString::fromStdString(cycle_.text()));
    timers_.set_timer(scan_timer_id, scan_timer_period_ms, [this] { tick(); });
}

void scan_window::tick() {
    cycle_.tick();
    label_->setText(QString::fromStdString(cycle_.text()));
}

void scan_window::centre_over(const QWidget* owner) {
    const QRect outer = owner->frameGeometry();
    move(outer.x() + (outer.width() - width()) / 2, outer.y() + (outer.height() - height()) / 2);
}

}  // namespace tavrin
