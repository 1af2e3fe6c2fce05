#pragma once
// The three response graphs drawn with a painter onto any surface (a page, a
// QImage): frame, level and frequency grid, labels, curves and points. The EQ and
// filter drawings also write their records' point positions and hit rectangles.
#include <QPainter>
#include <array>

#include "pages/channel_response.h"
#include "pages/graph_axes.h"
#include "pages/graph_records.h"

namespace tavrin {

// The Parametric EQ graph: the summed curve of the enabled bands, and for each
// enabled band its Q bar, two Q handles and its point.
void draw_peq_graph(QPainter& painter, graph::peq_bands& bands, const graph_axes& axes);

// The Filter graph: the combined high- and low-pass curve and the enabled filters'
// points.
void draw_filter_graph(QPainter& painter, graph::filter_pair& filter, const graph_axes& axes);

// The Frequency Respond graph: each shown channel's complete response, with gaps
// where it leaves the plot.
void draw_response_graph(QPainter& painter, const std::array<channel_data, 2>& channels,
                         const std::array<channel_show, 2>& show, const graph_axes& axes);

}  // namespace tavrin
