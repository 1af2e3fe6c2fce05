#pragma once
// page_view over a page widget built from its template: items are found by id.
#include <QWidget>

#include "pages/page_view.h"
#include "platform/ui/dialog_builder.h"

namespace tavrin {

class qt_page_view : public page_view {
  public:
    // Both must outlive the view.
    qt_page_view(QWidget* page, const built_dialog& built) : page_(page), built_(built) {}

    void set_item_text(int item, const std::string& text) override;
    void set_check(int item, bool checked) override;
    void invalidate() override;
    void invalidate_area(const graph::rect& area) override;
    int width() const override;
    int height() const override;

  private:
    QWidget* page_;
    const built_dialog& built_;
};

}  // namespace tavrin
