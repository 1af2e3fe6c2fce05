#pragma once
// Where a graph puts a frequency and a level. A page that draws a response graph
// implements this on the widget that draws it (the page itself or a widget inside
// it), in that widget's own pixels; scripted sessions (`tavrin-config --play`, see
// docs/play.md) find it from the page down and turn "1000hz" and "+6db" into the
// pixels a pointer would use, so that a script grabs whatever the graph shows there
// without knowing the page's layout.
#include <QWidget>

namespace tavrin {

class graph_mapping {
  public:
    // The pixel column of a frequency in Hz and the pixel row of a level in dB.
    virtual int graph_x(double hz) const = 0;
    virtual int graph_y(double db) const = 0;

  protected:
    ~graph_mapping() = default;
};

struct found_graph {
    QWidget* widget = nullptr;  // the widget whose pixels the mapping speaks of
    const graph_mapping* mapping = nullptr;
};

// The first widget from `page` down (the page first, then its descendants in
// creation order) that implements graph_mapping; nothing found: both null.
found_graph find_graph(QWidget* page);

}  // namespace tavrin
