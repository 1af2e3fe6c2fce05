#include "play/play_search_verbs_qt.h"

#include <QListWidget>
#include <QPushButton>

#include "play/play_controls_qt.h"
#include "play/play_input_qt.h"
#include "play/play_texts.h"
#include "window/main_window_qt.h"

namespace tavrin {

bool search_verbs::wanted_listed(const play_step& s) const {
    QListWidget* list = session_.window().device_list();
    if (!s.has_text)
        return list->count() > 0;
    return !list->findItems(qt(s.text), Qt::MatchExactly).isEmpty();
}

QStringList search_verbs::listed() const {
    QListWidget* list = session_.window().device_list();
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

play_outcome search_verbs::discover(const play_step& s) {
    searches_ = 0;
    return search(s);
}

// Presses Discovery (unless a search is running already) and waits for its end; a
// person searches again while what they look for is missing.
play_outcome search_verbs::search(const play_step& s) {
    ++searches_;
    main_window& window = session_.window();
    const play_options& options = session_.options();
    if (window.scan() == nullptr) {
        auto* button = window.controls().get<QPushButton>(idc_discovery);
        const QPoint at = button->rect().center();
        if (auto refused =
                reach_.clickable(button, at, control_label(std::to_string(idc_discovery))))
            return *refused;
        mouse_click(button, at);
    }
    return waiting(
        [this] { return session_.window().scan() == nullptr; }, options.search_ms,
        [this, &s]() -> play_outcome {
            if (wanted_listed(s))
                return proceed();
            if (searches_ < session_.options().searches)
                return search(s);
            if (!s.has_text)
                return proceed();  // an empty network stays empty
            return session_.failed(in_quotes(s.text) + " in the device list", joined(listed()));
        },
        [this] {
            return session_.failed(
                "the search to end within " + std::to_string(session_.options().search_ms) + " ms",
                "it still running");
        });
}

play_outcome search_verbs::connect(const play_step& s) {
    main_window& window = session_.window();
    const play_options& options = session_.options();
    QListWidget* list = window.device_list();
    QListWidgetItem* item = nullptr;
    if (s.has_text) {
        const QList<QListWidgetItem*> found = list->findItems(qt(s.text), Qt::MatchExactly);
        if (found.isEmpty())
            return session_.failed(in_quotes(s.text) + " in the device list", joined(listed()));
        item = found.front();
    } else if (!list->selectedItems().isEmpty()) {
        item = list->selectedItems().front();
    } else if (list->count() > 0) {
        item = list->item(0);
    } else {
        return session_.failed("an entry in the device list", "none");
    }
    list->scrollToItem(item);
    QWidget* viewport = list->viewport();
    const QPoint at = list->visualItemRect(item).center();
    if (auto refused = reach_.clickable(viewport, at, "the device list"))
        return *refused;
    mouse_double_click(viewport, at);
    return waiting(
        [this] {
            const std::optional<lamp_state> lamp = lamp_shown(session_.window());
            return lamp == lamp_state::green || lamp == lamp_state::yellow;
        },
        options.connect_ms, {},
        [this] {
            const std::optional<lamp_state> lamp = lamp_shown(session_.window());
            return session_.failed("the lamp green or yellow within " +
                                       std::to_string(session_.options().connect_ms) + " ms",
                                   lamp ? lamp_name(*lamp) : "no lamp colour");
        });
}

}  // namespace tavrin
