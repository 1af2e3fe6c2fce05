#pragma once
// The main window: device information with the connection lamp, the device search
// and connection controls, the preset controls, the nine tabs with one live page,
// and the hidden message list every part of the tool writes to.
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>
#include <functional>
#include <memory>
#include <thread>

#include "app/discovery_port.h"
#include "app/page_context.h"
#include "link/amp_session.h"
#include "link/session_events.h"
#include "platform/ui/dialog_builder.h"
#include "platform/ui/drop_down.h"
#include "platform/ui/window_timers.h"
#include "window/queued_events_qt.h"
#include "window/scan_window_qt.h"

namespace tavrin {

class status_lamp;

// Ids of the main window's controls and timers.
enum main_control : int {
    idc_tabs = 102,
    idc_info_panel = 1002,
    idc_discovery = 1003,
    idc_connect = 1004,
    idc_device_list = 1005,
    idc_synchronize = 1006,
    idc_preset_list = 1007,
    idc_clear = 1012,
    idc_debug = 1013,
    idc_message_list = 1014,
    idc_network = 1219,
    idc_save_as = 1237,
    idc_summary = 1238,
    idc_find_me = 1287,
    idc_brand_filter = 1292,
};
constexpr int discovery_timer_id = 6000;
constexpr int discovery_period_ms = 6000;

// The tabs, in order, with the template of each page.
struct tab_entry {
    const char* caption;
    int page_template;
};
constexpr tab_entry main_tabs[] = {
    {"Volume", 103},
    {"Input", 104},
    {"Parametric EQ", 105},
    {"Filter", 106},
    {"Frequency Respond", 107},
    {"Power", 108},
    {"Utility", 109},
    {"Update", 111},
    {"About", 112},
};
constexpr int tab_count = 9;

// Makes the page of a tab inside `parent`; nullptr leaves an empty page of the
// template's size.
using page_factory = std::function<QWidget*(int tab, QWidget* parent)>;
// Fills a secondary window (Network, Save As, Setting Summary) built from its
// template, and, called once with the main window's own template, wires the main
// window's preset group; may be empty.
using window_filler = std::function<void(int template_id, QWidget* window)>;

struct main_window_parts {
    // The amplifier the window shows, and the port its events come through (the
    // window becomes that port's target).
    amp_session& session;
    queued_events& events;
    discovery_port& discovery;
    // Starts the thread that drives the session; false ends the process with exit
    // code 1.
    std::function<bool()> start_worker;
    page_factory pages = {};
    window_filler fill_window = {};
    // Where the firmware transfer's progress is kept for the Update page (may be null).
    page_shared* shared = nullptr;
};

class main_window : public QWidget, public session_events {
    Q_OBJECT
  public:
    explicit main_window(main_window_parts parts, QWidget* parent = nullptr);
    ~main_window() override;

    // False when the worker thread could not be started.
    bool worker_started() const { return worker_started_; }
    // The events port for every thread: queues events from other threads to this window.
    session_events& events() { return parts_.events; }
    // Answers every question another thread still waits on with its default, and
    // every later one at once: the window will answer no more.
    void close_events() { parts_.events.close(); }

    // session_events, on the UI thread.
    void log_line(const std::string& text) override;
    void link_changed(bool open) override;
    void info_changed(const std::string& text) override;
    void params_changed(field_mask changed) override;
    void gated(bool refused) override;
    box_answer ask(const question& q) override;
    void update_running(bool running) override;
    void update_progress(uint32_t position, uint32_t total) override;
    void update_status(const std::string& text) override;

    // The controls.
    const built_dialog& controls() const { return built_; }
    QTabWidget* tabs() const { return tabs_; }
    QWidget* page_window() const { return page_; }
    QListWidget* device_list() const { return device_list_; }
    QListWidget* message_list() const { return message_list_; }
    QLabel* info_panel() const { return info_panel_; }
    drop_down* brand_filter() const { return brand_filter_; }
    status_lamp* lamp() const { return lamp_; }
    scan_window* scan() const { return scan_; }
    QWidget* secondary_window(int template_id) const;
    window_timers& timers() { return timers_; }

    // The actions behind the controls.
    void discover_devices();
    void end_of_discovery();
    // The end step's result, on the UI thread: the window is enabled and the list filled.
    void finish_discovery(const std::vector<std::string>& names);
    void choose_selected_device();
    void brand_filter_closed(bool chosen);
    void press_connect();
    void press_synchronize();
    void open_secondary(int template_id);
    brand_rule current_rule() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void build_tabs();
    void show_page(int tab);
    void connect_controls();
    void fill_device_list(const std::vector<std::string>& names);
    // The lamp, the window and the page are drawn again.
    void repaint_state();

    main_window_parts parts_;
    built_dialog built_;
    window_timers timers_;
    QTabWidget* tabs_ = nullptr;
    QPointer<QWidget> page_;
    QListWidget* device_list_ = nullptr;
    QListWidget* message_list_ = nullptr;
    QLabel* info_panel_ = nullptr;
    drop_down* brand_filter_ = nullptr;
    status_lamp* lamp_ = nullptr;
    QPointer<scan_window> scan_;
    QPointer<QWidget> network_window_;
    QPointer<QWidget> save_as_window_;
    QPointer<QWidget> summary_window_;
    bool worker_started_ = false;
    // The end of a search, off the UI thread.
    std::thread end_thread_;
};

}  // namespace tavrin
