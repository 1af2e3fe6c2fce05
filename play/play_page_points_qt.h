#pragma once
// Where a script's point lies on the page: page pixels as written; frequencies and
// levels through the axes of the graph the page draws (docs/play.md, "Graph
// coordinates"), so that the driver needs to know no page.
#include <QPoint>
#include <QWidget>
#include <optional>

#include "play/play_script.h"

namespace tavrin {

// The point in `page`'s pixels; nothing when it has graph coordinates and the page
// draws no graph.
std::optional<QPoint> page_point(QWidget* page, const play_point& p);

}  // namespace tavrin
