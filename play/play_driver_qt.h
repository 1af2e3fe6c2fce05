#pragma once
// Runs a scripted session on the main window: each step acts through the real
// widgets with the pointer and keyboard a person uses, answers message boxes and
// file dialogs from the script, and checks what the window shows. The verbs are
// described in docs/play.md.
#include <ostream>
#include <string>

#include "play/play_script.h"

namespace tavrin {

class main_window;

struct play_options {
    std::string shots_dir;        // where `shot` pictures go; empty: the current directory
    std::string files_dir;        // what relative `file` paths start from; empty: the current one
    int connect_ms = 10000;       // double-click to a green or yellow lamp
    int search_ms = 15000;        // one search, from the press to its end step
    int searches = 3;             // searches while the list lacks what `discover` wants
    int poll_ms = 20;             // how often a wait looks again
    bool announce_shots = false;  // print each picture's path on `out`
};

// Exit codes of a session.
constexpr int play_done = 0;
constexpr int play_failed = 1;        // an expectation did not hold
constexpr int play_script_error = 2;  // a line cannot run (bad id, no such tab, ...)

// Runs every step in order through the window's event loop and returns the exit
// code. Failures and script errors are written to `err` as "NAME:LINE: ...", message
// boxes that found no answer waiting too; pictures' paths go to `out` when announced.
int run_play(main_window& window, const play_script& script, const play_options& options,
             std::ostream& out, std::ostream& err);

}  // namespace tavrin
