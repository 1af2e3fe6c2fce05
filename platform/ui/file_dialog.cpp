#include "platform/ui/file_dialog.h"

#include <QFileDialog>
#include <QStringList>

namespace tavrin {
namespace {

file_chooser& chooser() {
    static file_chooser c;
    return c;
}

// "Hex file(*.hex)" with pattern "*.hex" shows as Qt wants it: name (pattern). A name
// that already ends in its pattern in parentheses is kept as it is. "*.*" means every
// file where the patterns come from, names without a dot too; here that is "*".
QString qt_filter(const file_filter& f) {
    const QString name = QString::fromStdString(f.name);
    const QString pattern =
        f.pattern == "*.*" ? QStringLiteral("*") : QString::fromStdString(f.pattern);
    if (name.endsWith(QLatin1Char('(') + pattern + QLatin1Char(')')))
        return name;
    return name + QStringLiteral(" (") + pattern + QLatin1Char(')');
}

}  // namespace

QStringList qt_name_filters(const open_file_request& request) {
    QStringList filters;
    for (const file_filter& f : request.filters)
        filters << qt_filter(f);
    return filters;
}

std::optional<std::string> choose_open_file(QWidget* owner, const open_file_request& request) {
    if (chooser())
        return chooser()(owner, request);
    const QStringList filters = qt_name_filters(request);
    QFileDialog dialog(owner);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    if (request.initial_filter < static_cast<size_t>(filters.size()))
        dialog.selectNameFilter(filters[static_cast<int>(request.initial_filter)]);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

file_chooser set_file_chooser(file_chooser c) {
    file_chooser previous = std::move(chooser());
    chooser() = std::move(c);
    return previous;
}

}  // namespace tavrin
