#pragma once
// One QApplication for the widget tests of this executable, made on first use.
#include <QApplication>

namespace tavrin::testing {

inline QApplication& qt_app() {
    static int argc = 1;
    static char name[] = "app_ui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace tavrin::testing
