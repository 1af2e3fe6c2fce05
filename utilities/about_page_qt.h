#pragma once
// The "About" page widget (tab index 8, template 112).
#include <QWidget>

#include "app/page_context.h"
#include "platform/ui/dialog_builder.h"
#include "utilities/about_page.h"

namespace tavrin {

class qt_about_view : public about_view {
  public:
    qt_about_view(QWidget* page, const built_dialog& built) : page_(page), built_(built) {}
    void set_item_text(int item, const std::string& text) override;
    void invalidate() override;

  private:
    QWidget* page_;
    const built_dialog& built_;
};

class about_page : public QWidget, public params_listener {
  public:
    void params_changed(field_mask changed) override { logic_.params_changed(changed); }
    about_page(page_context& ctx, QWidget* parent);
    const built_dialog& controls() const { return built_; }

  private:
    built_dialog built_;
    qt_about_view view_;
    about_page_logic logic_;
};

QWidget* make_about_page(page_context& ctx, QWidget* parent);

}  // namespace tavrin
