#pragma once
// The guided tour: a built-in script that searches, connects to the first amplifier
// listed, visits every tab and saves one picture per step.
#include <ostream>
#include <string>

namespace tavrin {

class main_window;

// The tour's script (see docs/play.md for its verbs).
std::string tour_script();

// Runs the tour with its pictures in `dir`; the exit code is that of a scripted
// session.
int run_tour(main_window& window, const std::string& dir, std::ostream& out, std::ostream& err);

}  // namespace tavrin
