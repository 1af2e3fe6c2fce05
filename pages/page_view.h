#pragma once
// What page logic needs from its page window: item texts, check states, repaints and
// the window's size. The widget side implements it (qt_page_view); tests record it.
#include "pages/graph_records.h"
#include "pages/item_text.h"

namespace tavrin {

class page_view : public item_text_sink {
  public:
    virtual void set_check(int item, bool checked) = 0;
    // Repaint the whole page, or only an area of it.
    virtual void invalidate() = 0;
    virtual void invalidate_area(const graph::rect& area) = 0;
    // The page window's outer size in pixels.
    virtual int width() const = 0;
    virtual int height() const = 0;
};

}  // namespace tavrin
