#pragma once
// The "Input" page widget (tab index 1, template 104).
#include <QWidget>

#include <vector>
#include "app/page_context.h"
#include "pages/input_page.h"
#include "pages/page_view_qt.h"

#include "platform/ui/dialog_builder.h"
#include "platform/ui/edit_filter.h"
#include "platform/ui/window_timers.h"

namespace tavrin {

// input_view over the page's controls and its window timers.
class qt_input_view : public qt_view<input_view> {
  public:
    qt_input_view(QWidget* page, const built_dialog& built, window_timers& timers)
        : qt_view(page, built), timers_(timers) {}

    void set_slider_range(int item, int min, int max) override;
    void set_slider_position(int item, int position) override;
    void arm_send_timer(uint32_t ms) override;
    void stop_send_timer() override;

    // What the send timer runs.
    void on_send_timer(std::function<void()> tick) { tick_ = std::move(tick); }

  private:
    window_timers& timers_;
    std::function<void()> tick_;
};

class input_page : public QWidget, public params_listener {
  public:
    void params_changed(field_mask changed) override { logic_.params_changed(changed); }
    input_page(page_context& ctx, QWidget* parent);
    // Sends a trim still waiting for its pause, and starts the poll timer again.
    ~input_page() override;

    const built_dialog& controls() const { return built_; }
    window_timers& timers() { return timers_; }

  private:
    void wire_controls();
    bool current() const { return isVisible(); }

    built_dialog built_;
    window_timers timers_{this};
    qt_input_view view_;
    input_page_logic logic_;
    // Removed before the page's widgets go: the focused edit loses its focus then,
    // and that must apply nothing.
    std::vector<edit_filter*> filters_;
};

QWidget* make_input_page(page_context& ctx, QWidget* parent);

}  // namespace tavrin
