#include "firmware/update_page_qt.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "platform/ui/file_dialog.h"
#include "resources/page_templates.h"

namespace tavrin {

update_page::update_page(page_context& ctx, QWidget* parent)
    : QWidget(parent), built_(build_dialog(update_page_template, this)), logic_(ctx, *this) {
    setAutoFillBackground(true);
    if (auto* bar = built_.get<QProgressBar>(update_ids::progress))
        bar->setTextVisible(false);
    if (auto* browse = built_.get<QPushButton>(update_ids::browse)) {
        browse->setEnabled(logic_.can_update());
        connect(browse, &QPushButton::clicked, this, [this] { press_browse(); });
    }
    logic_.init();
}

browse_outcome update_page::press_browse() {
    open_file_request request;
    for (const firmware_filter& f : firmware_file_filters)
        request.filters.push_back({f.name, f.pattern});
    request.initial_filter = firmware_initial_filter;
    return logic_.browse(choose_open_file(this, request));
}

void update_page::paintEvent(QPaintEvent* event) {
    logic_.paint_begins();
    QWidget::paintEvent(event);
}

void update_page::show_status(const std::string& text) {
    if (auto* label = built_.get<QLabel>(update_ids::status)) {
        const QString value = QString::fromStdString(text);
        if (label->text() != value)
            label->setText(value);
    }
}

void update_page::show_progress(uint32_t position, uint32_t total) {
    auto* bar = built_.get<QProgressBar>(update_ids::progress);
    if (bar == nullptr)
        return;
    // QProgressBar counts in int; a 16 MiB image has 65536 blocks, well inside.
    const int top = total == 0 ? 1 : static_cast<int>(total);
    if (bar->maximum() != top)
        bar->setRange(0, top);
    bar->setValue(static_cast<int>(std::min(position, total)));
}

QWidget* make_update_page(page_context& ctx, QWidget* parent) {
    return new update_page(ctx, parent);
}

}  // namespace tavrin
