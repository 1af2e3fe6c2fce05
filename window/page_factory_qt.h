#pragma once
// The pages behind the nine tabs and the contents of the secondary windows, made from
// the feature folders' widget code over one page context.
#include "app/page_context.h"
#include "window/main_window_qt.h"

namespace tavrin {

page_factory make_page_factory(page_context context);
window_filler make_window_filler(page_context context);

}  // namespace tavrin
