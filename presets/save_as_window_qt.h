#pragma once
// The "Save As..." window (template 145): a name, OK and Cancel.
#include <QObject>
#include <QWidget>

#include "app/page_context.h"
#include "platform/ui/dialog_builder.h"
#include "presets/preset_actions.h"

namespace tavrin {

namespace save_as_ids {
constexpr int name = 1239;
constexpr int ok = 1240;
constexpr int cancel = 1241;
}  // namespace save_as_ids

// The longest name the field takes.
constexpr int save_as_name_max = 1023;

class save_as_form : public QObject {
  public:
    save_as_form(const page_context& ctx, QWidget* window);

    // "OK": saves under the typed name; the window closes unless the name was empty,
    // refused or the overwrite question was answered No.
    preset_outcome press_ok();

  private:
    page_context ctx_;
    preset_actions actions_;
    QWidget* window_;
    built_dialog built_;
};

// Wires the window built from template 145.
save_as_form* fill_save_as_window(page_context& ctx, QWidget* window);

}  // namespace tavrin
