// Cost of one full repaint of each response graph (into an image of a page's size)
// with five bands and both filters on, and of one channel's 376-point response.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "pages/channel_response.h"
#include "pages/response_graph_qt.h"

namespace {

using namespace tavrin;

// A page of 401 x 235 dialog units at the usual 8 point dialog font.
constexpr int page_w = 702;
constexpr int page_h = 470;

void qt_once() {
    static int argc = 1;
    static char name[] = "bench_graph";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

graph::peq_bands five_bands() {
    graph::peq_bands bands{};
    const double freqs[] = {60, 250, 1000, 4000, 12000};
    const double gains[] = {6, -4.5, 3, -8, 10};
    for (size_t k = 0; k < band_count; ++k) {
        bands[k].frequency = freqs[k];
        bands[k].gain = gains[k];
        bands[k].q = 0.7 + k;
        bands[k].enabled = true;
    }
    return bands;
}

graph::filter_pair both_filters() {
    graph::filter_pair f{};
    f.hp_frequency = 80;
    f.hp_slope = 3;
    f.hp_enabled = true;
    f.lp_frequency = 12000;
    f.lp_slope = 4;
    f.lp_enabled = true;
    return f;
}

channel_data full_channel() {
    channel_data ch;
    ch.bands = graph::band_params_of(five_bands());
    ch.filters = graph::filter_params_of(both_filters());
    return ch;
}

double thread_cpu_us() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

void percentiles(benchmark::State& state, std::vector<double>& v, const char* median,
                 const char* p99) {
    if (v.empty())
        return;
    std::sort(v.begin(), v.end());
    state.counters[median] = v[v.size() / 2];
    state.counters[p99] = v[std::min(v.size() - 1, v.size() * 99 / 100)];
}

// Times every repaint on its own and reports the median and the 99th percentile, in
// wall time and in the thread's CPU time (which a busy shared machine does not
// inflate with time slices spent elsewhere).
template <typename Draw>
void repaints(benchmark::State& state, Draw draw) {
    qt_once();
    QImage image(page_w, page_h, QImage::Format_RGB32);
    std::vector<double> wall, cpu;
    wall.reserve(100000);
    cpu.reserve(100000);
    for (auto _ : state) {
        const double cpu_start = thread_cpu_us();
        const auto start = std::chrono::steady_clock::now();
        image.fill(QColor(240, 240, 240));
        {
            QPainter painter(&image);
            draw(painter);
        }
        const auto end = std::chrono::steady_clock::now();
        cpu.push_back(thread_cpu_us() - cpu_start);
        wall.push_back(std::chrono::duration<double, std::micro>(end - start).count());
        benchmark::DoNotOptimize(image.constBits());
    }
    percentiles(state, wall, "median_us", "p99_us");
    percentiles(state, cpu, "median_cpu_us", "p99_cpu_us");
}

void BM_peq_graph_repaint(benchmark::State& state) {
    graph::peq_bands bands = five_bands();
    const graph_axes axes = peq_graph_axes(page_w, page_h);
    repaints(state, [&](QPainter& p) { draw_peq_graph(p, bands, axes); });
}
BENCHMARK(BM_peq_graph_repaint)->Unit(benchmark::kMicrosecond);

void BM_filter_graph_repaint(benchmark::State& state) {
    graph::filter_pair filter = both_filters();
    const graph_axes axes = filter_graph_axes(page_w, page_h);
    repaints(state, [&](QPainter& p) { draw_filter_graph(p, filter, axes); });
}
BENCHMARK(BM_filter_graph_repaint)->Unit(benchmark::kMicrosecond);

void BM_response_graph_repaint(benchmark::State& state) {
    const std::array<channel_data, 2> channels{full_channel(), full_channel()};
    const std::array<channel_show, 2> show{};
    const graph_axes axes = freq_respond_graph_axes(page_w, page_h);
    repaints(state, [&](QPainter& p) { draw_response_graph(p, channels, show, axes); });
}
BENCHMARK(BM_response_graph_repaint)->Unit(benchmark::kMicrosecond);

// What tavrin-cli computes for one channel.
void BM_channel_response(benchmark::State& state) {
    const channel_data ch = full_channel();
    for (auto _ : state) {
        const channel_response_curve curve = channel_response(ch);
        benchmark::DoNotOptimize(curve.data());
    }
}
BENCHMARK(BM_channel_response)->Unit(benchmark::kMicrosecond);

// The same from the mirror, decoding included.
void BM_channel_response_from_params(benchmark::State& state) {
    amp_params params;
    param_block b{};
    for (int k = 0; k < 5; ++k) {
        b[22 + k] = 1, b[27 + k] = static_cast<uint8_t>(44 + 4 * k), b[37 + k] = 150;
        b[42 + k] = static_cast<uint8_t>(k + 1);
    }
    b[4] = 1, b[6] = 80, b[7] = 3, b[8] = 1, b[9] = 0x2E, b[10] = 0xE0, b[11] = 4;
    params.replace(b);
    for (auto _ : state) {
        const channel_response_curve curve = channel_response(params, amp_channel::ch1);
        benchmark::DoNotOptimize(curve.data());
    }
}
BENCHMARK(BM_channel_response_from_params)->Unit(benchmark::kMicrosecond);

}  // namespace
