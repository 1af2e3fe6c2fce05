#include "platform/ui/list_box.h"

#include "platform/text_order.h"

namespace tavrin {
namespace {

bool sorted(const QObject* control) {
    return control->property(sorted_property).toBool();
}

bool comes_before(const QString& a, const QString& b) {
    return sorts_before(a.toStdString(), b.toStdString());
}

}  // namespace

int sorted_position(const QStringList& items, const QString& text) {
    int index = 0;
    // Equal strings go after the ones already there.
    while (index < items.size() && !comes_before(text, items[index]))
        ++index;
    return index;
}

int add_string(QListWidget* list, const QString& text) {
    int index = list->count();
    if (sorted(list)) {
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->item(i)->text();
        index = sorted_position(items, text);
    }
    list->insertItem(index, text);
    return index;
}

int add_string(QComboBox* combo, const QString& text) {
    int index = combo->count();
    if (sorted(combo)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        index = sorted_position(items, text);
    }
    combo->insertItem(index, text);
    return index;
}

std::optional<QString> selected_text(const QListWidget* list) {
    const QList<QListWidgetItem*> chosen = list->selectedItems();
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen.front()->text();
}

}  // namespace tavrin
