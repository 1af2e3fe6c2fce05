#pragma once
// The "Utility" page widget (tab index 6, template 109).
#include <QWidget>

#include "app/page_context.h"
#include "platform/ui/dialog_builder.h"
#include "platform/ui/window_timers.h"
#include "utilities/utility_page.h"

namespace tavrin {

class qt_utility_view : public utility_view {
  public:
    // All three must outlive the view.
    qt_utility_view(QWidget* page, const built_dialog& built, window_timers& timers)
        : page_(page), built_(built), timers_(timers) {}

    void set_item_text(int item, const std::string& text) override;
    std::string item_text(int item) const override;
    void start_timer(int id, int period_ms) override;
    void kill_timer(int id) override;
    void invalidate() override;

    // What a tick of the timer runs.
    std::function<void(int id)> on_tick;

  private:
    QWidget* page_;
    const built_dialog& built_;
    window_timers& timers_;
};

class utility_page : public QWidget, public params_listener {
  public:
    void params_changed(field_mask changed) override { logic_.params_changed(changed); }
    utility_page(page_context& ctx, QWidget* parent);
    ~utility_page() override;

    const built_dialog& controls() const { return built_; }
    window_timers& timers() { return timers_; }

  private:
    built_dialog built_;
    window_timers timers_;
    qt_utility_view view_;
    utility_page_logic logic_;
};

QWidget* make_utility_page(page_context& ctx, QWidget* parent);

}  // namespace tavrin
