#include "presets/summary_window_qt.h"

#include <QLabel>
#include <QPushButton>

#include "platform/ui/dialog_builder.h"
#include "presets/summary.h"

namespace tavrin {

summary_form::summary_form(const page_context& ctx, QWidget* window)
    : QObject(window), ctx_(ctx), window_(window), timers_(window) {
    setObjectName(QStringLiteral("summary_form"));
    if (auto* ok = window_->findChild<QPushButton*>(control_name(summary_ok_id)))
        connect(ok, &QPushButton::clicked, window_, &QWidget::close);
    refresh();
    timers_.set_timer(summary_timer_id, summary_refresh_ms, [this] { refresh(); });
}

void summary_form::refresh() {
    for (const summary_field& f : summary_fields(ctx_.params.snapshot(), ctx_.device.name())) {
        if (auto* label = window_->findChild<QLabel*>(control_name(f.id)))
            label->setText(QString::fromStdString(f.text));
    }
}

summary_form* fill_summary_window(page_context& ctx, QWidget* window) {
    return new summary_form(ctx, window);
}

}  // namespace tavrin
