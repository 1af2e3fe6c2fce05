#pragma once
// The "Update" page widget (tab index 7, template 111).
#include <QWidget>

#include "app/page_context.h"
#include "firmware/update_page.h"
#include "platform/ui/dialog_builder.h"

namespace tavrin {

class update_page : public QWidget, public params_listener, private update_page_view {
  public:
    update_page(page_context& ctx, QWidget* parent);
    void params_changed(field_mask changed) override { logic_.params_changed(changed); }

    const built_dialog& controls() const { return built_; }
    update_page_logic& logic() { return logic_; }
    // What Browse does: the file dialog with the firmware filters, then the transfer.
    browse_outcome press_browse();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void show_status(const std::string& text) override;
    void show_progress(uint32_t position, uint32_t total) override;

    built_dialog built_;
    update_page_logic logic_;
};

QWidget* make_update_page(page_context& ctx, QWidget* parent);

}  // namespace tavrin
