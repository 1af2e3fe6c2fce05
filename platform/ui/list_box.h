#pragma once
// List boxes and drop-down lists as the templates use them: a "sorted" control keeps
// its strings in order as they are added (without regard to case, ties by code
// point), the way a sorted list box does.
#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <optional>

namespace tavrin {

// Dynamic property set by the builder on sorted list boxes and drop-downs.
inline constexpr char sorted_property[] = "tavrin_sorted";

// Adds a string; returns the index it landed at.
int add_string(QListWidget* list, const QString& text);
int add_string(QComboBox* combo, const QString& text);

// The index a sorted control puts `text` at.
int sorted_position(const QStringList& items, const QString& text);

// The text of the selected entry, if one is selected.
std::optional<QString> selected_text(const QListWidget* list);

}  // namespace tavrin
