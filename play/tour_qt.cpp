#include "play/tour_qt.h"

#include <QDir>

#include "play/play_driver_qt.h"
#include "play/play_script.h"
#include "window/main_window_qt.h"

namespace tavrin {
namespace {

std::string file_part(const char* caption) {
    return QString::fromUtf8(caption)
        .toLower()
        .replace(QLatin1Char(' '), QLatin1Char('-'))
        .toStdString();
}

std::string picture(int number, const std::string& step) {
    return (number < 10 ? "0" : "") + std::to_string(number) + "-" + step + ".png";
}

}  // namespace

std::string tour_script() {
    std::string s =
        "# The guided tour: search, connect to the first amplifier listed, visit every tab.\n"
        "wait 200\n"
        "shot " +
        picture(1, "start") +
        "\n"
        "click 1003             # Discovery\n"
        "wait 1500\n"
        "shot " +
        picture(2, "discovering") +
        "\n"
        "discover               # waits for the end; searches again while none is listed\n"
        "shot " +
        picture(3, "listed") +
        "\n"
        "connect                # the first entry\n"
        "shot " +
        picture(4, "connected") + "\n";
    int number = 5;
    for (const tab_entry& tab : main_tabs) {
        s += "tab " + std::string(tab.caption) + "\n";
        s += "wait 300\n";
        s += "shot " + picture(number++, "tab-" + file_part(tab.caption)) + "\n";
    }
    return s;
}

int run_tour(main_window& window, const std::string& dir, std::ostream& out, std::ostream& err) {
    const play_parse_result parsed = parse_play_script(tour_script(), "tour");
    if (parsed.error) {
        err << describe(*parsed.error, "tour") << "\n";
        return play_script_error;
    }
    if (!QDir().mkpath(QString::fromStdString(dir))) {
        err << "tavrin-config: cannot create " << dir << "\n";
        return play_script_error;
    }
    out << "tavrin-config: tour pictures in " << dir << "\n";
    play_options options;
    options.shots_dir = dir;
    options.announce_shots = true;
    options.connect_ms = 20000;
    return run_play(window, parsed.script, options, out, err);
}

}  // namespace tavrin
