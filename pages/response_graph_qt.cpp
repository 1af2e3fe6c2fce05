#include "pages/response_graph_qt.h"

#include <QPolygon>

#include "pages/graph_style.h"
#include "pages/graph_trace.h"

namespace tavrin {
namespace {

namespace style = graph_style;

QColor colour(style::rgb c) {
    return QColor(c.r, c.g, c.b);
}

// Round caps make a zero-length stroke, a point, into a dot of the pen's width.
QPen pen(style::rgb c, int width) {
    return QPen(colour(c), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Box corners as left, top, right, bottom; right and bottom lie outside.
QRect box(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

// Replays a traced curve as polylines, one per stroke.
class painter_sink : public path_sink {
  public:
    explicit painter_sink(QPainter& painter) : painter_(painter) { stroke_.reserve(512); }
    ~painter_sink() override { flush(); }

    void move_to(int x, int y) override {
        flush();
        stroke_.append(QPoint(x, y));
    }
    void line_to(int x, int y) override { stroke_.append(QPoint(x, y)); }

  private:
    void flush() {
        if (stroke_.size() >= 2)
            painter_.drawPolyline(stroke_);
        stroke_.clear();
    }

    QPainter& painter_;
    QPolygon stroke_;
};

void draw_label(QPainter& painter, const QRect& area, int flags, const QString& text,
                const QColor& background) {
    painter.fillRect(painter.boundingRect(area, flags, text), background);
    painter.drawText(area, flags, text);
}

QFont label_font() {
    QFont font(QString::fromUtf8(style::label_face));
    font.setPixelSize(style::label_pixel_height);
    font.setWeight(static_cast<QFont::Weight>(style::label_weight));
    return font;
}

// Frame, level grid with its numbers, frequency grid, and the axis labels.
void draw_frame_and_grid(QPainter& painter, const graph_axes& a, const QColor& text_background) {
    painter.setPen(pen(style::frame, style::frame_width));
    const QPoint frame[] = {{a.left, a.top},
                            {a.right, a.top},
                            {a.right, a.bottom},
                            {a.left, a.bottom},
                            {a.left, a.top - 1}};
    painter.drawPolyline(frame, 5);

    painter.setFont(label_font());
    const QPen grid_pen = pen(style::grid, 1);
    const QPen text_pen = pen(style::label_text, 1);
    for_each_level_row(a, [&](const level_row& row) {
        painter.setPen(grid_pen);
        painter.drawLine(a.left, row.y, row.full ? a.right : a.left + style::tick_length, row.y);
        if (!row.full)
            return;
        painter.setPen(text_pen);
        draw_label(painter, box(a.left - 40, row.label_top, a.left - 5, row.label_top + 20),
                   Qt::AlignRight | Qt::AlignTop, QString::number(row.value), text_background);
    });

    painter.setPen(grid_pen);
    for (double f : style::grid_frequencies) {
        const int x = freq_to_x(f, a);
        painter.drawLine(x, a.top, x, a.bottom);
    }

    painter.setPen(text_pen);
    const int zero_row = db_to_y(0, a);
    draw_label(painter, box(0, zero_row, a.left - 5, zero_row + 20), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("dB"), text_background);
    for (const auto& label : style::freq_labels) {
        const int x = freq_to_x(label.freq, a);
        draw_label(painter, box(x - 20, a.bottom + 5, x + 20, a.bottom + 25),
                   Qt::AlignHCenter | Qt::AlignTop, QString::fromUtf8(label.text), text_background);
    }
    const int x10 = freq_to_x(10, a);
    draw_label(painter, box(x10, a.bottom + 15, x10 + 20, a.bottom + 35),
               Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("Hz"), text_background);
}

void begin(QPainter& painter) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setBrush(Qt::NoBrush);
}

}  // namespace

void draw_peq_graph(QPainter& painter, graph::peq_bands& bands, const graph_axes& axes) {
    begin(painter);
    draw_frame_and_grid(painter, axes, colour(style::peq_text_background));

    painter.setPen(pen(style::peq_curve, style::curve_width));
    {
        painter_sink sink(painter);
        trace_peq_curve(graph::band_params_of(bands), axes, sink);
    }

    const QPen bar_pen = pen(style::peq_q_bar, style::curve_width);
    const QPen handle_pen = pen(style::peq_q_handle, style::peq_q_handle_width);
    const QPen point_pen = pen(style::peq_point, style::point_width);
    for (graph::peq_band& band : bands) {
        if (!band.enabled)
            continue;
        graph::place_band(band, axes);
        const QPoint left(graph::left_handle_x(band), band.point_y);
        const QPoint right(graph::right_handle_x(band), band.point_y);
        painter.setPen(bar_pen);
        painter.drawLine(left, right);
        painter.setPen(handle_pen);
        painter.drawPoint(left);
        painter.drawPoint(right);
        painter.setPen(point_pen);
        painter.drawPoint(band.point_x, band.point_y);
    }
    painter.restore();
}

void draw_filter_graph(QPainter& painter, graph::filter_pair& filter, const graph_axes& axes) {
    begin(painter);
    draw_frame_and_grid(painter, axes, colour(style::default_text_background));

    painter.setPen(pen(style::filter_curve, style::curve_width));
    {
        painter_sink sink(painter);
        trace_filter_curve(graph::filter_params_of(filter), axes, sink);
    }

    graph::place_filter_points(filter, axes);
    painter.setPen(pen(style::filter_point, style::point_width));
    if (filter.hp_enabled)
        painter.drawPoint(filter.hp_point_x, filter.hp_point_y);
    if (filter.lp_enabled)
        painter.drawPoint(filter.lp_point_x, filter.lp_point_y);
    painter.restore();
}

void draw_response_graph(QPainter& painter, const std::array<channel_data, 2>& channels,
                         const std::array<channel_show, 2>& show, const graph_axes& axes) {
    begin(painter);
    draw_frame_and_grid(painter, axes, colour(style::peq_text_background));
    const style::rgb curve[2] = {style::response_ch1, style::response_ch2};
    for (size_t ch = 0; ch < 2; ++ch) {
        if (!show[ch].channel)
            continue;
        painter.setPen(pen(curve[ch], style::curve_width));
        painter_sink sink(painter);
        trace_response_curve(channels[ch], show[ch], axes, sink);
    }
    painter.restore();
}

}  // namespace tavrin
