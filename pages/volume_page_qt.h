#pragma once
// The "Volume" page widget (tab index 0, template 103).
#include <QWidget>

#include <vector>
#include "app/page_context.h"
#include "pages/page_view_qt.h"
#include "pages/volume_page.h"

#include "platform/ui/dialog_builder.h"
#include "platform/ui/edit_filter.h"

namespace tavrin {

// volume_view over the page's controls.
class qt_volume_view : public qt_view<volume_view> {
  public:
    qt_volume_view(QWidget* page, const built_dialog& built) : qt_view(page, built) {}

    void set_slider_range(int item, int min, int max) override;
    void set_slider_position(int item, int position) override;
};

class volume_page : public QWidget, public params_listener {
  public:
    void params_changed(field_mask changed) override { logic_.params_changed(changed); }
    volume_page(page_context& ctx, QWidget* parent);
    ~volume_page() override;

    const built_dialog& controls() const { return built_; }

  private:
    void wire_controls();
    // Focus loss applies an edit only while the page is the one shown.
    bool current() const { return isVisible(); }

    built_dialog built_;
    qt_volume_view view_;
    volume_page_logic logic_;
    // Removed before the page's widgets go: the focused edit loses its focus then,
    // and that must apply nothing.
    std::vector<edit_filter*> filters_;
};

QWidget* make_volume_page(page_context& ctx, QWidget* parent);

}  // namespace tavrin
