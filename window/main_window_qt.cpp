#include "window/main_window_qt.h"

#include <QEvent>
#include <QFontMetrics>
#include <QTabBar>

#include "app/log_line.h"
#include "app/shell_actions.h"
#include "platform/ui/list_box.h"
#include "platform/ui/message_box.h"
#include "window/scan_window_qt.h"
#include "window/status_lamp_qt.h"

namespace tavrin {
namespace {

constexpr const char* brand_entries[] = {"TAVRIN-PA22", "Varnoll AB", "All"};

// Pages sit inside the tab control at (10, 20), below its tabs.
constexpr int page_x = 10;
constexpr int page_y = 20;

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

main_window::main_window(main_window_parts parts, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      parts_(std::move(parts)),
      timers_(this) {
    setObjectName(QStringLiteral("main_window"));
    built_ = build_dialog(*find_template(main_template_id), this);
    tabs_ = built_.get<QTabWidget>(idc_tabs);
    device_list_ = built_.get<QListWidget>(idc_device_list);
    message_list_ = built_.get<QListWidget>(idc_message_list);
    info_panel_ = built_.get<QLabel>(idc_info_panel);
    brand_filter_ = built_.get<drop_down>(idc_brand_filter);
    lamp_ = new status_lamp(parts_.session.view(), this);

    build_tabs();
    for (const char* entry : brand_entries)
        brand_filter_->addItem(QString::fromUtf8(entry));
    brand_filter_->setCurrentIndex(0);

    // The list font: 16 pixels, heavy.
    QFont list_font = device_list_->font();
    list_font.setPixelSize(16);
    list_font.setWeight(QFont::Black);
    device_list_->setFont(list_font);
    device_list_->setSelectionMode(QAbstractItemView::SingleSelection);
    device_list_->viewport()->installEventFilter(this);
    device_list_->setTextElideMode(Qt::ElideMiddle);

    connect_controls();
    // The preset group belongs to the presets folder; it wires itself to these controls.
    if (parts_.fill_window)
        parts_.fill_window(main_template_id, this);

    parts_.events.set_target(this);
    parts_.session.start();
    worker_started_ = parts_.start_worker ? parts_.start_worker() : true;
}

main_window::~main_window() {
    // A search that is ending still uses the window; it ends within its bound.
    if (end_thread_.joinable())
        end_thread_.join();
    parts_.events.close();
    parts_.events.set_target(nullptr);
    // Pages and secondary windows are children; the scan window too.
    device_list_->viewport()->removeEventFilter(this);
}

void main_window::build_tabs() {
    for (const tab_entry& tab : main_tabs)
        tabs_->addTab(new QWidget(), QString::fromUtf8(tab.caption));
    tabs_->setCurrentIndex(0);
    show_page(0);
    connect(tabs_, &QTabWidget::currentChanged, this, &main_window::show_page);
}

void main_window::show_page(int tab) {
    // The page shown so far goes, with its timers.
    delete page_.data();
    page_ = nullptr;
    if (tab < 0 || tab >= tab_count)
        return;
    QWidget* page = parts_.pages ? parts_.pages(tab, tabs_) : nullptr;
    if (page == nullptr) {
        page = new QWidget(tabs_);
        build_dialog(*find_template(main_tabs[tab].page_template), page);
    }
    page->setObjectName(QStringLiteral("page_%1").arg(main_tabs[tab].page_template));
    page->move(page_x, std::max(page_y, tabs_->tabBar()->sizeHint().height()));
    page->show();
    page->raise();
    page_ = page;
}

void main_window::connect_controls() {
    auto button = [this](int id) { return built_.get<QPushButton>(id); };
    connect(button(idc_discovery), &QPushButton::clicked, this, &main_window::discover_devices);
    connect(button(idc_connect), &QPushButton::clicked, this, &main_window::press_connect);
    connect(button(idc_synchronize), &QPushButton::clicked, this, &main_window::press_synchronize);
    connect(button(idc_clear), &QPushButton::clicked, message_list_, &QListWidget::clear);
    connect(button(idc_find_me), &QPushButton::clicked, this,
            [this] { find_me(parts_.session.outbox()); });
    connect(button(idc_network), &QPushButton::clicked, this,
            [this] { open_secondary(network_template_id); });
    connect(button(idc_save_as), &QPushButton::clicked, this,
            [this] { open_secondary(save_as_template_id); });
    connect(button(idc_summary), &QPushButton::clicked, this,
            [this] { open_secondary(summary_template_id); });
    connect(brand_filter_, &drop_down::closed, this, &main_window::brand_filter_closed);
}

bool main_window::eventFilter(QObject* watched, QEvent* event) {
    if (watched == device_list_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        // Let the list select the entry under the pointer first.
        QMetaObject::invokeMethod(this, &main_window::choose_selected_device, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

// ---- session_events on the UI thread

void main_window::log_line(const std::string& text) {
    message_list_->insertItem(0, qt(log_line_now(text)));
    while (message_list_->count() > message_list_lines)
        delete message_list_->takeItem(message_list_->count() - 1);
}

void main_window::link_changed(bool open) {
    built_.get<QPushButton>(idc_connect)
        ->setText(open ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
    // A closed link repaints the lamp at once; an open one shows when the amplifier's
    // first answer is drawn.
    if (!open)
        repaint_state();
}

void main_window::info_changed(const std::string& text) {
    // Each line kept to the panel's width, a long name shortened in its middle, so
    // that no line wraps and pushes "Location:" out of sight.
    info_panel_->setWordWrap(false);
    info_panel_->setToolTip(QString());
    const QFontMetrics metrics(info_panel_->font());
    const int width = info_panel_->contentsRect().width();
    QStringList lines = qt(text).split(QLatin1Char('\n'));
    bool shortened = false;
    for (QString& line : lines) {
        const QString fitted = metrics.elidedText(line, Qt::ElideMiddle, width);
        shortened = shortened || fitted != line;
        line = fitted;
    }
    info_panel_->setText(lines.join(QLatin1Char('\n')));
    if (shortened)
        info_panel_->setToolTip(qt(text));
}

void main_window::repaint_state() {
    update();
    lamp_->update();
    if (page_ != nullptr)
        page_->update();
}

void main_window::params_changed(field_mask changed) {
    // The page shown and every open secondary window reload what they show of it.
    std::vector<QObject*> shown;
    if (page_ != nullptr)
        shown.push_back(page_.data());
    for (QWidget* w : {network_window_.data(), save_as_window_.data(), summary_window_.data()}) {
        if (w != nullptr) {
            shown.push_back(w);
            for (QObject* child : w->findChildren<QObject*>(Qt::FindDirectChildrenOnly))
                shown.push_back(child);
        }
    }
    for (QObject* o : shown) {
        if (auto* listener = dynamic_cast<params_listener*>(o))
            listener->params_changed(changed);
    }
    repaint_state();
}

void main_window::gated(bool) {
    repaint_state();
}

box_answer main_window::ask(const question& q) {
    return show_message_box(this, q.text, q.caption, q.icon, q.buttons);
}

void main_window::update_running(bool running) {
    setEnabled(!running);
}

void main_window::update_progress(uint32_t position, uint32_t total) {
    if (parts_.shared != nullptr) {
        parts_.shared->update_position = position;
        parts_.shared->update_total = total;
    }
    if (page_ != nullptr)
        page_->update();
}

void main_window::update_status(const std::string& text) {
    if (parts_.shared != nullptr)
        parts_.shared->update_status = text;
    if (page_ != nullptr)
        page_->update();
}

// ---- discovery and connection

brand_rule main_window::current_rule() const {
    const int index = brand_filter_->currentIndex();
    return index == 1 ? brand_rule::maker : index == 2 ? brand_rule::all : brand_rule::model;
}

void main_window::discover_devices() {
    device_list_->clear();
    timers_.kill_timer(discovery_timer_id);
    timers_.set_timer(discovery_timer_id, discovery_period_ms, [this] { end_of_discovery(); });
    setEnabled(false);
    if (scan_ == nullptr) {
        scan_ = new scan_window(this);
        scan_->setAttribute(Qt::WA_DeleteOnClose);
    }
    scan_->centre_over(this);
    scan_->show();
    parts_.discovery.restart_runtime();
}

void main_window::end_of_discovery() {
    // One shot: no second end step even if this one takes long.
    timers_.kill_timer(discovery_timer_id);
    if (end_thread_.joinable())
        return;
    // The end step waits for the start-up thread and for every device's answers; it
    // runs beside the UI thread so the window and its scan window stay responsive,
    // and the list is filled when it is done.
    const brand_rule rule = current_rule();
    end_thread_ = std::thread([this, rule] {
        std::vector<std::string> names = parts_.discovery.end_of_scan(rule);
        QMetaObject::invokeMethod(
            this, [this, names = std::move(names)] { finish_discovery(names); },
            Qt::QueuedConnection);
    });
}

void main_window::finish_discovery(const std::vector<std::string>& names) {
    if (end_thread_.joinable())
        end_thread_.join();
    setEnabled(true);
    delete scan_.data();
    scan_ = nullptr;
    fill_device_list(names);
    if (device_list_->count() > 0)
        device_list_->setCurrentRow(0);
}

void main_window::fill_device_list(const std::vector<std::string>& names) {
    device_list_->clear();
    for (const std::string& name : names) {
        const int row = add_string(device_list_, qt(name));
        // A name wider than the list is shortened in its middle; the whole name stays
        // in its tooltip and in the item's text, which the double-click reads.
        device_list_->item(row)->setToolTip(qt(name));
    }
}

void main_window::brand_filter_closed(bool chosen) {
    if (!chosen)
        return;
    fill_device_list(parts_.discovery.refill(current_rule()));
    device_list_->clearSelection();
    device_list_->setCurrentRow(-1);
}

void main_window::choose_selected_device() {
    const std::optional<QString> selected = selected_text(device_list_);
    const std::optional<std::string> name =
        selected ? std::optional<std::string>(selected->toStdString()) : std::nullopt;
    const choose_result result = choose_device(parts_.session, name);
    if (result == choose_result::need_selection)
        ask({std::string(select_device_text), std::string(select_device_caption), box_icon::error,
             box_buttons::ok});
}

void main_window::press_connect() {
    const std::optional<QString> selected = selected_text(device_list_);
    const std::optional<std::string> name =
        selected ? std::optional<std::string>(selected->toStdString()) : std::nullopt;
    const connect_outcome outcome = toggle_connect(parts_.session, name);
    if (outcome.need_selection) {
        ask({std::string(select_device_text), std::string(select_device_caption), box_icon::error,
             box_buttons::ok});
        return;
    }
    if (outcome.empty_list)
        device_list_->clear();
}

void main_window::press_synchronize() {
    synchronize(parts_.session);
}

// ---- secondary windows

QWidget* main_window::secondary_window(int template_id) const {
    switch (template_id) {
        case network_template_id:
            return network_window_.data();
        case save_as_template_id:
            return save_as_window_.data();
        case summary_template_id:
            return summary_window_.data();
        default:
            return nullptr;
    }
}

void main_window::open_secondary(int template_id) {
    QPointer<QWidget>* slot = template_id == network_template_id   ? &network_window_
                              : template_id == save_as_template_id ? &save_as_window_
                              : template_id == summary_template_id ? &summary_window_
                                                                   : nullptr;
    if (slot == nullptr)
        return;
    if (slot->isNull()) {
        auto* window = new QWidget(this, Qt::Window);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setObjectName(QStringLiteral("window_%1").arg(template_id));
        build_dialog(*find_template(template_id), window);
        if (parts_.fill_window)
            parts_.fill_window(template_id, window);
        *slot = window;
    }
    (*slot)->show();
    (*slot)->raise();
    (*slot)->activateWindow();
}

}  // namespace tavrin
