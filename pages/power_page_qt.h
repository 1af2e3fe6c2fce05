#pragma once
// The "Power" page widget (tab index 5, template 108).
#include <QWidget>

#include "app/page_context.h"
#include "pages/page_view_qt.h"
#include "pages/power_page.h"
#include "platform/ui/dialog_builder.h"
#include "platform/ui/window_timers.h"

namespace tavrin {

// power_view over the page's controls and its window timers.
class qt_power_view : public qt_view<power_view> {
  public:
    qt_power_view(QWidget* page, const built_dialog& built, window_timers& timers)
        : qt_view(page, built), timers_(timers) {}

    void add_entry(int item, const std::string& text) override;
    void select_entry(int item, int index) override;
    void set_enabled(int item, bool enabled) override;
    void set_slider_range(int item, int min, int max) override;
    void set_slider_position(int item, int position) override;
    void arm_send_timer(uint32_t ms) override;
    void stop_send_timer() override;

    void on_send_timer(std::function<void()> tick) { tick_ = std::move(tick); }

  private:
    window_timers& timers_;
    std::function<void()> tick_;
};

class power_page : public QWidget, public params_listener {
  public:
    void params_changed(field_mask changed) override { logic_.params_changed(changed); }
    power_page(page_context& ctx, QWidget* parent);
    // Sends a limit still waiting for its pause, and starts the poll timer again.
    ~power_page() override;

    const built_dialog& controls() const { return built_; }
    window_timers& timers() { return timers_; }
    const power_page_logic& logic() const { return logic_; }

  private:
    void wire_controls();

    built_dialog built_;
    window_timers timers_{this};
    qt_power_view view_;
    power_page_logic logic_;
};

QWidget* make_power_page(page_context& ctx, QWidget* parent);

}  // namespace tavrin
