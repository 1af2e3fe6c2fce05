#pragma once
// The "Frequency Respond" page widget (tab index 4, template 107).
#include <QWidget>

#include "app/page_context.h"
#include "pages/freq_respond_page.h"
#include "pages/page_view_qt.h"
#include "platform/ui/dialog_builder.h"
#include "platform/ui/graph_mapping.h"

namespace tavrin {

class freq_respond_page : public QWidget, public params_listener, public graph_mapping {
  public:
    void params_changed(field_mask changed) override { logic_.params_changed(changed); }
    freq_respond_page(page_context& ctx, response_show_flags& show, QWidget* parent);

    const built_dialog& controls() const { return built_; }
    const freq_respond_page_logic& logic() const { return logic_; }

    // The graph is drawn on the page itself.
    int graph_x(double hz) const override;
    int graph_y(double db) const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    built_dialog built_;
    qt_page_view view_;
    freq_respond_page_logic logic_;
};

// Builds the page inside `parent` with the program-wide show flags.
QWidget* make_freq_respond_page(page_context& ctx, QWidget* parent);

}  // namespace tavrin
