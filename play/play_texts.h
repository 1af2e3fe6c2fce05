#pragma once
// How a session's messages write texts and widgets: texts as a script writes them in
// quotes, so that a message stays on one line and can be pasted back into the script.
#include <QString>
#include <QStringList>
#include <QWidget>
#include <string>

namespace tavrin {

// "text" with \n, \t, \" and \\ escaped as the script reader reads them back.
std::string in_quotes(const std::string& text);
std::string in_quotes(const QString& text);

// The items in quotes, separated by ", "; "none" for no items.
std::string joined(const QStringList& items);

// A widget's objectName, else its class; "nothing" for none.
std::string widget_label(QWidget* w);

inline QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace tavrin
