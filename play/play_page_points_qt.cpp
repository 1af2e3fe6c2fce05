#include "play/play_page_points_qt.h"

#include "platform/ui/graph_mapping.h"

namespace tavrin {

std::optional<QPoint> page_point(QWidget* page, const play_point& p) {
    const bool graph = p.x.kind != play_coord::unit::pixel || p.y.kind != play_coord::unit::pixel;
    found_graph g;
    if (graph) {
        g = find_graph(page);
        if (g.mapping == nullptr)
            return std::nullopt;
    }
    QPoint at(static_cast<int>(p.x.value), static_cast<int>(p.y.value));
    // The mapping speaks of its own widget's pixels, which may sit inside the page.
    if (p.x.kind == play_coord::unit::hertz)
        at.setX(g.widget->mapTo(page, QPoint(g.mapping->graph_x(p.x.value), 0)).x());
    if (p.y.kind == play_coord::unit::decibel)
        at.setY(g.widget->mapTo(page, QPoint(0, g.mapping->graph_y(p.y.value))).y());
    return at;
}

}  // namespace tavrin
