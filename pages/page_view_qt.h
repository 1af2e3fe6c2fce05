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

// A page's own view interface over its widget: the page_view part forwarded once to
// qt_page_view, the page's own controls left to the page (found in `built_`).
template <typename View>
class qt_view : public View {
  public:
    // Both must outlive the view.
    qt_view(QWidget* page, const built_dialog& built) : base_(page, built), built_(built) {}

    void set_item_text(int item, const std::string& text) override {
        base_.set_item_text(item, text);
    }
    void set_check(int item, bool checked) override { base_.set_check(item, checked); }
    void invalidate() override { base_.invalidate(); }
    void invalidate_area(const graph::rect& area) override { base_.invalidate_area(area); }
    int width() const override { return base_.width(); }
    int height() const override { return base_.height(); }

  protected:
    qt_page_view base_;
    const built_dialog& built_;
};

}  // namespace tavrin
