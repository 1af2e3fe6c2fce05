#include "play/play_controls_qt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QTextEdit>
#include <QWindow>

#include "app/lamp_colour.h"
#include "window/main_window_qt.h"
#include "window/status_lamp_qt.h"

namespace tavrin {
namespace {

// Time stamps are "hh:mm:ss" and three blanks.
constexpr int stamp_chars = 11;

QWidget* named_in(QWidget* root, const QString& name) {
    if (root == nullptr)
        return nullptr;
    if (root->objectName() == name)
        return root;
    return root->findChild<QWidget*>(name);
}

bool same(const QColor& c, const rgb& want) {
    return c.red() == want.r && c.green() == want.g && c.blue() == want.b;
}

}  // namespace

std::string control_label(const std::string& id) {
    return "idc_" + id;
}

QWidget* find_control(main_window& window, const std::string& id) {
    const QString name = QString::fromStdString(control_label(id));
    if (QWidget* on_page = named_in(window.page_window(), name))
        return on_page;
    // Secondary windows: open ones, the most recently shown (the active one) first.
    QWidget* active = QApplication::activeWindow();
    if (active != nullptr && active != &window && active->isVisible()) {
        if (QWidget* found = named_in(active, name))
            return found;
    }
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top == &window || top == active || !top->isVisible())
            continue;
        if (QWidget* found = named_in(top, name))
            return found;
    }
    bool ok = false;
    const int number = QString::fromStdString(id).toInt(&ok);
    return ok ? window.controls().control(number) : nullptr;
}

std::optional<QString> shown_text(QWidget* control) {
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        return edit->text();
    if (auto* label = qobject_cast<QLabel*>(control))
        return label->text();
    if (qobject_cast<QCheckBox*>(control) != nullptr ||
        qobject_cast<QRadioButton*>(control) != nullptr)
        return static_cast<QAbstractButton*>(control)->isChecked() ? QStringLiteral("checked")
                                                                   : QStringLiteral("unchecked");
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        return button->text();
    if (auto* combo = qobject_cast<QComboBox*>(control))
        return combo->currentIndex() < 0 ? QString() : combo->currentText();
    if (auto* slider = qobject_cast<QSlider*>(control))
        return QString::number(slider->value());
    if (auto* list = qobject_cast<QListWidget*>(control)) {
        const QList<QListWidgetItem*> selected = list->selectedItems();
        return selected.isEmpty() ? QString() : selected.front()->text();
    }
    if (auto* bar = qobject_cast<QProgressBar*>(control))
        return QString::number(bar->value());
    if (auto* group = qobject_cast<QGroupBox*>(control))
        return group->title();
    if (auto* tabs = qobject_cast<QTabWidget*>(control))
        return tabs->tabText(tabs->currentIndex());
    if (auto* text = qobject_cast<QPlainTextEdit*>(control))
        return text->toPlainText();
    if (auto* text = qobject_cast<QTextEdit*>(control))
        return text->toPlainText();
    return std::nullopt;
}

std::optional<lamp_state> lamp_shown(main_window& window) {
    status_lamp* lamp = window.lamp();
    const QPoint centre = lamp->mapTo(&window, lamp->centre());
    QColor colour;
    QScreen* screen = window.screen();
    const QImage image =
        screen != nullptr && window.windowHandle() != nullptr
            ? screen->grabWindow(window.winId(), centre.x(), centre.y(), 1, 1).toImage()
            : QImage();
    if (image.isNull() || image.size() != QSize(1, 1))
        colour = lamp->grab().toImage().pixelColor(lamp->centre());  // no screen to read
    else
        colour = image.pixelColor(0, 0);
    if (same(colour, lamp_red))
        return lamp_state::red;
    if (same(colour, lamp_green))
        return lamp_state::green;
    if (same(colour, lamp_yellow))
        return lamp_state::yellow;
    return std::nullopt;
}

QStringList log_lines(main_window& window) {
    QStringList lines;
    QListWidget* list = window.message_list();
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text().mid(stamp_chars);
    return lines;
}

}  // namespace tavrin
