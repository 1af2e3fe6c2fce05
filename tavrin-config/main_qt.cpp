// tavrin-config [device-name [primary-index [secondary-index]]]
//               [--play FILE [--shots DIR]] [--tour DIR] [--version]
#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "app/startup_args.h"
#include "app/tool_core.h"
#include "firmware/firmware_update.h"
#include "link/session_thread.h"
#include "play/play_driver_qt.h"
#include "play/play_script.h"
#include "play/tour_qt.h"
#include "window/main_window_qt.h"
#include "window/page_factory_qt.h"
#include "window/queued_events_qt.h"

namespace {

// The script of --play, read before the window starts so a bad line costs nothing.
std::optional<tavrin::play_script> read_script(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) {
        std::fprintf(stderr, "tavrin-config: cannot read %s\n", file.c_str());
        return std::nullopt;
    }
    tavrin::play_parse_result parsed = tavrin::parse_play_script(text.str(), file);
    if (parsed.error) {
        std::fprintf(stderr, "%s\n", tavrin::describe(*parsed.error, file).c_str());
        return std::nullopt;
    }
    return std::move(parsed.script);
}

// The offscreen platform says what it cannot do (raise a window, grab the keyboard
// for a popup) at every turn; a scripted session's standard error keeps to its
// findings.
QtMessageHandler qt_default_handler = nullptr;

void quiet_offscreen(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && text.startsWith(QStringLiteral("This plugin does not support")))
        return;
    qt_default_handler(type, context, text);
}

// With TAVRIN_UI_STALL_PROBE set, a 5 ms timer measures the longest time the UI
// thread went without running its event loop; the figure goes to standard error at
// exit (bench/ui_stall.sh reads it).
class stall_probe {
  public:
    stall_probe() {
        if (std::getenv("TAVRIN_UI_STALL_PROBE") == nullptr)
            return;
        clock_.start();
        QObject::connect(&timer_, &QTimer::timeout,
                         [this] { longest_ = std::max(longest_, clock_.restart()); });
        timer_.start(5);
    }
    ~stall_probe() {
        if (timer_.isActive())
            std::fprintf(stderr, "longest UI-thread stall: %lld ms\n",
                         static_cast<long long>(longest_));
    }

  private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 longest_ = 0;
};

void centre_on_screen(QWidget& window) {
    if (const QScreen* screen = window.screen()) {
        const QRect area = screen->availableGeometry();
        window.move(area.center() - window.rect().center());
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tavrin;
    // Before the first DNS-SD call: the compatibility library warns otherwise.
    setenv("AVAHI_COMPAT_NOWARN", "1", 1);
    // A first look for what needs no window: help, version, usage errors, and whether
    // a script runs offscreen. Qt's own options are still in argv here.
    command_line line = parse_command_line(argc, argv);
    if (!line.error.empty()) {
        std::fprintf(stderr, "tavrin-config: %s\n%s", line.error.c_str(), usage_text().c_str());
        return 2;
    }
    if (line.show_help) {
        std::printf("%s", usage_text().c_str());
        return 0;
    }
    if (line.show_version) {
        std::printf("%s\n", version_text().c_str());
        return 0;
    }
    std::optional<play_script> script;
    if (line.play_file) {
        script = read_script(*line.play_file);
        if (!script)
            return play_script_error;
    }
    // The tour needs no display.
    if (line.tour_dir)
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (script || line.tour_dir)
        qt_default_handler = qInstallMessageHandler(quiet_offscreen);

    QApplication app(argc, argv);
    // Now without Qt's options: `tavrin-config -style fusion Amp-1` selects Amp-1.
    line = parse_command_line(argc, argv);
    for (const std::string& warning : line.warnings)
        std::fprintf(stderr, "tavrin-config: %s\n", warning.c_str());
    QIcon icon;
    for (const char* size : {"16", "32", "48", "256"})
        icon.addFile(QStringLiteral(":/icons/tavrin-config-%1.png").arg(QLatin1String(size)));
    app.setWindowIcon(icon);
    const stall_probe probe;
    // The window's port, made first: the core and the session report through it from
    // the start, and the window becomes its target.
    queued_events events(&app);
    tool_core core(events);
    core.work_dir = current_work_dir();
    amp_session session(core.session_parts_for());
    session.set_events(&events);
    session.preselect(line.args.device_name);
    core.add(session);
    session_thread worker(session, core.time);

    firmware_update update({session, events, core.time});
    page_shared shared;
    page_context pages = session_context(session, events, core.time, shared, core.work_dir);
    pages.firmware = &update;
    pages.wrapper = &core.wrapper;

    int code = 0;
    {
        main_window window({session, events, core.discovery, [&worker] { return worker.start(); },
                            make_page_factory(pages), make_window_filler(pages), &shared});
        if (!window.worker_started()) {
            core.remove(session);
            return 1;
        }
        core.discovery.select_interfaces(line.args.primary, line.args.secondary);
        centre_on_screen(window);
        window.show();
        if (script) {
            play_options options;
            options.shots_dir = line.shots_dir.value_or(std::string());
            options.files_dir = std::filesystem::path(*line.play_file).parent_path().string();
            code = run_play(window, *script, options, std::cout, std::cerr);
        } else if (line.tour_dir) {
            code = run_tour(window, *line.tour_dir, std::cout, std::cerr);
        } else {
            code = app.exec();
        }
        // The session may be waiting on a question the window will never show now.
        window.close_events();
        worker.stop();
        core.remove(session);
        core.stop();
    }
    return code;
}
