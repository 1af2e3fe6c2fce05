// tavrin-config [device-name [primary-index [secondary-index]]]
//               [--tour DIR] [--version]
#include <QApplication>
#include <QScreen>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "app/core/startup_args.h"
#include "app/core/tool_core.h"
#include "app/window/main_window_qt.h"
#include "app/window/page_factory_qt.h"
#include "app/window/tour_qt.h"
#include "firmware/firmware_update.h"

namespace {

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
    const command_line line = parse_command_line(argc, argv);
    if (!line.error.empty()) {
        std::fprintf(stderr, "tavrin-config: %s\n", line.error.c_str());
        return 2;
    }
    if (line.show_version) {
        std::printf("%s\n", version_text().c_str());
        return 0;
    }
    // The tour needs no display.
    if (line.tour_dir)
        setenv("QT_QPA_PLATFORM", "offscreen", 0);

    QApplication app(argc, argv);
    tool_core core;
    core.device.set_name(line.args.device_name);
    core.device.renew_copy();
    core.work_dir = current_work_dir();

    firmware_update update({core.flags, core.ring, core.relay, core.time});
    core.firmware = &update;
    core.attach_update(&update);

    int code = 0;
    {
        main_window window({core.flags, core.device, core.ring, core.params, core.discovery,
                            [&core](app_events& events) {
                                core.attach_events(&events);
                                return core.start_worker();
                            },
                            make_page_factory(core.pages()), make_window_filler(core.pages()),
                            &core.shared});
        if (!window.worker_started())
            return 1;
        core.discovery.select_interfaces(line.args.primary, line.args.secondary);
        centre_on_screen(window);
        window.show();
        code = line.tour_dir ? run_tour(window, *line.tour_dir, std::cout) : app.exec();
        core.stop();
        core.attach_events(nullptr);
    }
    return code;
}
