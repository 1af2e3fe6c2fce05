#pragma once
// One QApplication for the widget tests of this executable, made on first use.
#include <QApplication>
#include <cstdlib>

namespace tavrin::testing {

inline QApplication& qt_app() {
    static int argc = 1;
    static char name[] = "pages_ui_tests";
    static char* argv[] = {name, nullptr};
    // Widget tests never need a display.
    static const bool offscreen = setenv("QT_QPA_PLATFORM", "offscreen", 0) == 0;
    (void)offscreen;
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace tavrin::testing
