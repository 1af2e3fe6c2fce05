#include "play/play_texts.h"

namespace tavrin {

std::string in_quotes(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '"' || c == '\\')
            out += std::string("\\") + c;
        else
            out += c;
    }
    return out + "\"";
}

std::string in_quotes(const QString& text) {
    return in_quotes(text.toStdString());
}

std::string joined(const QStringList& items) {
    if (items.isEmpty())
        return "none";
    QStringList shown;
    for (const QString& item : items)
        shown << QString::fromStdString(in_quotes(item));
    return shown.join(QStringLiteral(", ")).toStdString();
}

std::string widget_label(QWidget* w) {
    if (w == nullptr)
        return "nothing";
    if (!w->objectName().isEmpty())
        return w->objectName().toStdString();
    return w->metaObject()->className();
}

}  // namespace tavrin
