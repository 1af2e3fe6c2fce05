#pragma once
// A filter_page_view that records what the Filter page logic asks of its window.
#include <map>
#include <string>
#include <vector>

#include "pages/filter_page.h"

namespace tavrin::testing {

struct recording_filter_view : filter_page_view {
    std::map<int, std::string> texts;
    std::map<int, bool> checks;
    std::map<int, std::vector<std::string>> choices;
    std::map<int, int> selected;
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
    void set_choices(int item, std::span<const char* const> entries) override {
        choices[item].assign(entries.begin(), entries.end());
        selected.erase(item);
    }
    void select_choice(int item, int index) override { selected[item] = index; }
};

}  // namespace tavrin::testing
