#pragma once
// The guided tour: runs the main window against whatever it can reach, searches,
// connects to the first listed amplifier, visits every tab and saves one picture per
// step.
#include <QImage>
#include <ostream>
#include <string>

namespace tavrin {

class main_window;

struct tour_limits {
    int scan_wait_ms = 15000;     // the 6-second search and its end step
    int connect_wait_ms = 20000;  // double-click to the first accepted answer
    int searches = 3;             // searches before giving up on an empty list
};

// Returns the exit code: 0 when every picture was saved, 2 when no amplifier was
// listed, 3 when the amplifier never answered, 4 when a picture could not be saved.
int run_tour(main_window& window, const std::string& dir, std::ostream& out,
             tour_limits limits = {});

// The main window as shown, with the scan window drawn over it while it is open.
QImage window_picture(main_window& window);

}  // namespace tavrin
