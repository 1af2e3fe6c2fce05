#pragma once
// The open-file dialog: filters as (name, pattern) pairs, one of them chosen at first;
// the chosen file must exist. Tests and scripted sessions replace the chooser so that
// no modal loop runs.
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavrin {

struct file_filter {
    std::string name;     // "Hex file(*.hex)"
    std::string pattern;  // "*.hex"
};

struct open_file_request {
    std::vector<file_filter> filters;
    size_t initial_filter = 0;
};

using file_chooser =
    std::function<std::optional<std::string>(QWidget* owner, const open_file_request& request)>;

// The filters as the dialog takes them: "Name (pattern)".
QStringList qt_name_filters(const open_file_request& request);

// Shows the dialog owned by `owner` on the UI thread; nothing when it is cancelled.
std::optional<std::string> choose_open_file(QWidget* owner, const open_file_request& request);

// Replaces the real dialog; an empty chooser restores it. Returns the previous one.
file_chooser set_file_chooser(file_chooser chooser);

}  // namespace tavrin
