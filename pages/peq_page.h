#pragma once
// The "Parametric EQ" page: the five peaking bands of the selected channel, typed into
// edits or set by dragging on the graph (a band's point sets frequency and gain, its
// two handles set Q). Every change goes into the mirror at once and out as one 0x4A
// command; the next parameter answer brings the mirror back in line.
#include <string_view>

#include "app/page_context.h"
#include "pages/graph_axes.h"
#include "pages/graph_records.h"
#include "pages/page_view.h"
#include "pages/peq_channel.h"

namespace tavrin {

enum peq_control : int {
    idc_peq_enable = 1030,  // band 1 ... 5: 1030 ... 1034
    idc_peq_freq = 1035,    // 1035 ... 1039
    idc_peq_gain = 1040,    // 1040 ... 1044
    idc_peq_q = 1045,       // 1045 ... 1049
    idc_peq_ch1 = 1050,
    idc_peq_ch2 = 1051,
};

// Typed values are held to these; a dragged point to 10 ... 23000 Hz and +-20 dB on
// every band, a dragged handle to Q 0.2 ... 40 in steps of 0.2.
constexpr int peq_min_freq = 10;
constexpr int peq_max_freq = 23000;
constexpr double peq_band1_gain_limit = 20;  // dB either way
constexpr double peq_gain_limit = 10;        // bands 2 to 5
constexpr double peq_min_q = 0.01;
constexpr double peq_max_q = 40;
// A stored value outside the limits is shown as this, and not written back.
constexpr int peq_shown_freq = 1000;
constexpr double peq_shown_q = 0.707;

// A band of a copy of the block as the page shows it: the 15-bit frequency, gain and
// Q decoded, out-of-range values replaced by 1000 Hz, 0 dB and Q 0.707. Positions,
// rectangles and drag flags are left at their defaults.
graph::peq_band shown_peq_band(const param_block& block, amp_channel ch, size_t band);

class peq_page_logic {
  public:
    // Both must outlive the logic.
    peq_page_logic(page_context& ctx, page_view& view);

    // Plot rectangle from the window size, radio buttons, the five bands from the
    // mirror (out-of-range values replaced for the screen), every edit and box, repaint.
    void refresh();
    // An answer changed fields of the mirror: the page reloads when it shows one.
    void params_changed(field_mask changed);

    // An enable box or a channel radio button; false for any other item.
    bool check_clicked(int item, bool checked);
    // An edit's text applied (Enter, Tab, focus lost); false for any other item.
    bool edit_applied(int item, std::string_view text);

    // The typed-value rules from a number, as tavrin-cli applies them; `band` is 0-4.
    // Each returns the value as applied and shown.
    int apply_frequency(size_t band, double hz);
    double apply_gain(size_t band, double db);
    double apply_q(size_t band, double q);
    void apply_enable(size_t band, bool on);
    void choose_channel(int channel);

    // The left mouse button and the mouse, in page pixels.
    void button_down(int x, int y);
    void mouse_move(int x, int y);
    void button_up(int x, int y);

    amp_channel channel() const { return selected_channel(ctx_.shared); }
    const graph_axes& axes() const { return axes_; }
    // The drawing writes the point positions and hit rectangles.
    graph::peq_bands& bands() { return bands_; }
    const graph::peq_bands& bands() const { return bands_; }

  private:
    void load(bool repaint);
    void drag_step(int x, int y, bool release);
    void repaint_graph();
    void show_band(size_t band);
    // Mirror writes of one band's values.
    void store_frequency(size_t band);
    void store_gain(size_t band);
    void store_q(size_t band);
    // The band's 0x4A command with the fields given, the others unchanged.
    void send(size_t band, bool gain, bool freq, bool q);

    page_context& ctx_;
    page_view& view_;
    graph_axes axes_;
    graph::peq_bands bands_{};
};

}  // namespace tavrin
