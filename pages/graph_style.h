#pragma once
// Colours, pen widths and the label font of the response graphs.
#include <array>

namespace tavrin::graph_style {

struct rgb {
    int r, g, b;
    bool operator==(const rgb&) const = default;
};

constexpr rgb frame{50, 50, 50};
constexpr int frame_width = 2;
constexpr rgb grid{100, 100, 100};  // grid lines and 1 dB ticks, 1 px
constexpr int tick_length = 7;
constexpr rgb label_text{100, 100, 100};
constexpr int label_pixel_height = 14;
constexpr int label_weight = 400;
constexpr const char* label_face = "111";
// Behind the labels of the EQ and Frequency Respond graphs; the Filter graph keeps
// the drawing surface's default, white.
constexpr rgb peq_text_background{240, 240, 240};
constexpr rgb default_text_background{255, 255, 255};

constexpr rgb peq_curve{100, 160, 200};
constexpr rgb peq_q_bar{90, 70, 0};
constexpr rgb peq_q_handle{130, 110, 0};
constexpr int peq_q_handle_width = 7;
constexpr rgb peq_point{130, 50, 0};
constexpr rgb filter_curve{200, 100, 0};
constexpr rgb filter_point{0, 50, 130};
constexpr int point_width = 10;
constexpr int curve_width = 2;
constexpr rgb response_ch1{100, 160, 200};
constexpr rgb response_ch2{200, 160, 100};

// Vertical grid lines, Hz.
constexpr std::array<double, 28> grid_frequencies{
    20,  30,  40,  50,   60,   70,   80,   90,   100,  200,  300,  400,  500,   600,
    700, 800, 900, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000, 20000};

// The frequency labels below the plot.
struct freq_label {
    double freq;
    const char* text;
};
constexpr std::array<freq_label, 4> freq_labels{
    {{20, "20"}, {200, "200"}, {2000, "2K"}, {20000, "20K"}}};

}  // namespace tavrin::graph_style
