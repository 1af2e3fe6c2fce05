#pragma once
// The "Parametric EQ" page widget (tab index 2, template 105): the graph above, the
// band columns below; mouse events on the page go to the logic in page pixels.
#include <QWidget>

#include "app/page_context.h"
#include "pages/page_view_qt.h"
#include "pages/peq_page.h"
#include "platform/ui/dialog_builder.h"
#include "platform/ui/graph_mapping.h"

namespace tavrin {

class peq_page : public QWidget, public params_listener, public graph_mapping {
  public:
    void params_changed(field_mask changed) override { logic_.params_changed(changed); }
    peq_page(page_context& ctx, QWidget* parent);
    ~peq_page() override;

    const built_dialog& controls() const { return built_; }
    peq_page_logic& logic() { return logic_; }
    const peq_page_logic& logic() const { return logic_; }

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
    qt_page_view view_;
    peq_page_logic logic_;
    // Set while the page goes: an edit losing the focus then applies nothing.
    bool closing_ = false;
};

QWidget* make_peq_page(page_context& ctx, QWidget* parent);

}  // namespace tavrin
