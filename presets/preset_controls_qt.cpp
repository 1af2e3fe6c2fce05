#include "presets/preset_controls_qt.h"

namespace tavrin {

preset_controls::preset_controls(const page_context& ctx, const built_dialog& controls,
                                 QObject* owner)
    : QObject(owner),
      ctx_(ctx),
      actions_(ctx_),
      list_(controls.get<drop_down>(preset_ids::list)),
      load_(controls.get<QPushButton>(preset_ids::load)),
      remove_(controls.get<QPushButton>(preset_ids::remove)),
      save_(controls.get<QPushButton>(preset_ids::save)) {
    setObjectName(QStringLiteral("preset_controls"));
    show_buttons();
    if (list_ != nullptr) {
        connect(list_, &drop_down::about_to_open, this, &preset_controls::about_to_open);
        connect(list_, &drop_down::closed, this, &preset_controls::closed);
        // Whatever changed the entry on show; the listing's own refill is silenced.
        connect(list_, &QComboBox::currentIndexChanged, this, [this](int index) {
            picker_.show(index >= 0 ? std::optional<size_t>(static_cast<size_t>(index))
                                    : std::nullopt);
            show_buttons();
        });
    }
    if (load_ != nullptr)
        connect(load_, &QPushButton::clicked, this, [this] { load(); });
    if (remove_ != nullptr)
        connect(remove_, &QPushButton::clicked, this, [this] { remove(); });
    if (save_ != nullptr)
        connect(save_, &QPushButton::clicked, this, [this] { save(); });
}

void preset_controls::show_names() {
    if (list_ == nullptr)
        return;
    const QSignalBlocker quiet(list_);
    list_->clear();
    for (const std::string& name : picker_.names())
        list_->addItem(QString::fromStdString(name));
    // A filled combo box selects its first entry by itself; the picker decides.
    list_->setCurrentIndex(picker_.selected() ? static_cast<int>(*picker_.selected()) : -1);
}

void preset_controls::show_buttons() {
    const preset_buttons b = picker_.buttons();
    if (load_ != nullptr)
        load_->setEnabled(b.load);
    if (remove_ != nullptr)
        remove_->setEnabled(b.remove);
    if (save_ != nullptr)
        save_->setEnabled(b.save);
}

void preset_controls::about_to_open() {
    picker_.open(actions_.listing());
    show_names();
}

void preset_controls::closed(bool chosen) {
    std::optional<size_t> choice;
    if (chosen && list_ != nullptr && list_->currentIndex() >= 0)
        choice = static_cast<size_t>(list_->currentIndex());
    picker_.close(choice);
    show_buttons();
}

preset_outcome preset_controls::load() {
    return actions_.load(picker_.selected_name());
}

preset_outcome preset_controls::remove() {
    const preset_outcome outcome = actions_.remove(picker_.selected_name());
    if (outcome == preset_outcome::done) {
        picker_.relist_after_delete(actions_.listing());
        show_names();
        show_buttons();
    }
    return outcome;
}

preset_outcome preset_controls::save() {
    return actions_.save(picker_.selected_name());
}

preset_controls* wire_preset_controls(page_context& ctx, const built_dialog& main_controls,
                                      QWidget* main_window) {
    return new preset_controls(ctx, main_controls, main_window);
}

}  // namespace tavrin
