#pragma once
// A page_view that records what page logic asks of its window.
#include <map>
#include <string>

#include "pages/page_view.h"

namespace tavrin::testing {

struct recording_view : page_view {
    std::map<int, std::string> texts;
    std::map<int, bool> checks;
    int invalidations = 0;
    int area_invalidations = 0;
    int w = 641;
    int h = 381;

    void set_item_text(int item, const std::string& text) override { texts[item] = text; }
    void set_check(int item, bool checked) override { checks[item] = checked; }
    void invalidate() override { ++invalidations; }
    void invalidate_area(const graph::rect&) override { ++area_invalidations; }
    int width() const override { return w; }
    int height() const override { return h; }
};

}  // namespace tavrin::testing
