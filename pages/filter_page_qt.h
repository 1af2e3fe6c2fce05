#pragma once
// The "Filter" page widget (tab index 3, template 106): the graph above, the two
// filters' controls below; mouse events on the page go to the logic in page pixels.
#include <QWidget>

#include "app/page_context.h"
#include "pages/filter_page.h"
#include "pages/page_view_qt.h"
#include "platform/ui/dialog_builder.h"
#include "platform/ui/graph_mapping.h"

namespace tavrin {

// filter_page_view over the built template: the page_view part as for every page,
// the slope lists by id.
class qt_filter_page_view : public qt_view<filter_page_view> {
  public:
    // Both must outlive the view.
    qt_filter_page_view(QWidget* page, const built_dialog& built) : qt_view(page, built) {}

    void set_choices(int item, std::span<const char* const> entries) override;
    void select_choice(int item, int index) override;

  private:
};

class filter_page : public QWidget, public params_listener, public graph_mapping {
  public:
    void params_changed(field_mask changed) override { logic_.params_changed(changed); }
    filter_page(page_context& ctx, QWidget* parent);
    ~filter_page() override;

    const built_dialog& controls() const { return built_; }
    filter_page_logic& logic() { return logic_; }
    const filter_page_logic& logic() const { return logic_; }

    // The graph is drawn on the page itself.
    int graph_x(double hz) const override;
    int graph_y(double db) const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void wire_controls();

    built_dialog built_;
    qt_filter_page_view view_;
    filter_page_logic logic_;
    // Set while the page goes: an edit losing the focus then applies nothing.
    bool closing_ = false;
};

QWidget* make_filter_page(page_context& ctx, QWidget* parent);

}  // namespace tavrin
