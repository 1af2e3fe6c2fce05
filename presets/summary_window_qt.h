#pragma once
// The "Setting Summary" window (template 147): every setting as text, refreshed from
// the mirror on creation, at once when an answer changed it, and every 3 s while it
// is open (a page's edit changes the mirror without an answer).
#include <QObject>
#include <QWidget>

#include "app/page_context.h"
#include "platform/ui/window_timers.h"

namespace tavrin {

class summary_form : public QObject, public params_listener {
  public:
    summary_form(const page_context& ctx, QWidget* window);
    void params_changed(field_mask) override { refresh(); }

    // Writes every value field.
    void refresh();
    window_timers& timers() { return timers_; }

  private:
    page_context ctx_;
    QWidget* window_;
    window_timers timers_;
};

// Wires the window built from template 147.
summary_form* fill_summary_window(page_context& ctx, QWidget* window);

}  // namespace tavrin
