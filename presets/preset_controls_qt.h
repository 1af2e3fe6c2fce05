#pragma once
// The main window's "Preset File" group: the drop-down lists the preset folder each
// time it opens, and "Load a File", "Delete a File" and "Save" act on its choice. The
// drop-down's state lives in a preset_picker; the widgets mirror it.
#include <QObject>
#include <QPushButton>

#include "app/page_context.h"
#include "platform/ui/dialog_builder.h"
#include "platform/ui/drop_down.h"
#include "presets/preset_actions.h"
#include "presets/preset_picker.h"

namespace tavrin {

namespace preset_ids {
constexpr int list = 1007;
constexpr int load = 1008;
constexpr int remove = 1009;
constexpr int save = 1011;
}  // namespace preset_ids

class preset_controls : public QObject {
  public:
    // `controls` are the main window's; this object lives as the window's child.
    preset_controls(const page_context& ctx, const built_dialog& controls, QObject* owner);

    const preset_picker& picker() const { return picker_; }

    // What the widgets do.
    void about_to_open();
    void closed(bool chosen);
    preset_outcome load();
    preset_outcome remove();
    preset_outcome save();

  private:
    void show_names();
    void show_buttons();

    page_context ctx_;
    preset_actions actions_;
    preset_picker picker_;
    drop_down* list_ = nullptr;
    QPushButton* load_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* save_ = nullptr;
};

// Connects the preset group of the main window built into `main_controls`.
preset_controls* wire_preset_controls(page_context& ctx, const built_dialog& main_controls,
                                      QWidget* main_window);

}  // namespace tavrin
