#pragma once
// The plot rectangle of a response graph with its level and frequency ranges, and the
// mappings between frequency or level and pixel columns and rows.
namespace tavrin {

struct graph_axes {
    // Plot rectangle in page client pixels; right > left, bottom > top.
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    double max_db = 0;    // level at the top edge
    double min_db = 0;    // level at the bottom edge
    double fmax = 23000;  // frequency at the right edge, Hz
    double fmin = 10;     // frequency at the left edge, Hz

    bool operator==(const graph_axes&) const = default;
};

// Column of frequency f, truncated toward zero.
int freq_to_x(double f, const graph_axes& axes);
double x_to_freq(int x, const graph_axes& axes);
// Row of a level in dB, truncated toward zero.
int db_to_y(double level, const graph_axes& axes);
double y_to_db(int y, const graph_axes& axes);

// The axes of each graph for a page window of W x H pixels.
graph_axes peq_graph_axes(int w, int h);           // +25 ... -25 dB
graph_axes filter_graph_axes(int w, int h);        // +10 ... -40 dB
graph_axes freq_respond_graph_axes(int w, int h);  // +25 ... -25 dB, taller

}  // namespace tavrin
