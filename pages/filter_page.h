#pragma once
// The "Filter" page: the high- and low-pass filter of the selected channel, each
// switched on or off, with a typed or dragged corner frequency and a slope chosen from
// a list. Every change goes into the mirror and out as one 0x22 command.
#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "app/page_context.h"
#include "pages/graph_axes.h"
#include "pages/graph_records.h"
#include "pages/page_view.h"
#include "pages/peq_channel.h"

namespace tavrin {

enum filter_control : int {
    idc_hpf_enable = 1052,
    idc_lpf_enable = 1053,
    idc_hpf_freq = 1054,
    idc_lpf_freq = 1055,
    idc_hpf_slope = 1056,
    idc_lpf_slope = 1057,
    idc_filter_gain = 1058,  // hidden, with its labels; no behaviour
    idc_filter_ch1 = 1207,
    idc_filter_ch2 = 1208,
};

// A typed frequency is held to 10 ... 16000 Hz, a dragged one to 30 ... 16000 Hz.
constexpr int filter_min_freq = 10;
constexpr int filter_min_drag_freq = 30;
constexpr int filter_max_freq = 16000;

// The Filter page's window: page_view and its two slope lists.
class filter_page_view : public page_view {
  public:
    // Empties a drop-down list and fills it with `entries`, in order.
    virtual void set_choices(int item, std::span<const char* const> entries) = 0;
    virtual void select_choice(int item, int index) = 0;
};

// A channel's two filters in a copy of the block as the page shows them: 15-bit
// frequencies without range checks, a slope byte other than 1-4 as code 0 (12 dB/oct,
// as the amplifier takes it), level 0. Positions and drag flags at their defaults.
graph::filter_pair shown_filter_pair(const param_block& block, amp_channel ch);

class filter_page_logic {
  public:
    // Both must outlive the logic.
    filter_page_logic(page_context& ctx, filter_page_view& view);

    // Plot rectangle from the window size, both channels' filters from the mirror, the
    // slope lists, radio buttons, the shown channel's boxes, edits and slopes, repaint.
    void refresh();
    // An answer changed fields of the mirror: the page reloads when it shows one.
    void params_changed(field_mask changed);

    // An enable box or a channel radio button; false for any other item.
    bool check_clicked(int item, bool checked);
    // A frequency edit's text applied (Enter, Tab, focus lost); false otherwise.
    bool edit_applied(int item, std::string_view text);
    // A slope list's choice completed by the user; false for another item or an index
    // that is no slope code.
    bool slope_chosen(int item, int index);

    // The rules of the controls from a value, as tavrin-cli applies them. The
    // frequency returns the value as applied and shown.
    int apply_frequency(filter_kind kind, double hz);
    void apply_enable(filter_kind kind, bool on);
    void apply_slope(filter_kind kind, int code);
    void choose_channel(int channel);

    // The left mouse button and the mouse, in page pixels.
    void button_down(int x, int y);
    void mouse_move(int x, int y);
    void button_up(int x, int y);

    amp_channel channel() const { return selected_channel(ctx_.shared); }
    const graph_axes& axes() const { return axes_; }
    // The shown channel's record; the drawing writes the points and hit rectangles.
    graph::filter_pair& record() { return records_[index_of(channel())]; }
    const graph::filter_pair& record() const { return records_[index_of(channel())]; }

  private:
    static size_t index_of(amp_channel ch) { return ch == amp_channel::ch2 ? 1 : 0; }
    void load(bool repaint);
    void drag_step(int x, int y, bool release);
    void repaint_graph();
    void store_frequency(filter_kind kind, int hz);
    bool enabled_in_mirror(filter_kind kind) const;
    // The filter's 0x22 command with the fields given, the others unchanged; the
    // on/off bit comes from the mirror.
    void send(filter_kind kind, std::optional<uint16_t> freq, std::optional<uint8_t> slope);

    page_context& ctx_;
    filter_page_view& view_;
    graph_axes axes_;
    std::array<graph::filter_pair, 2> records_{};
};

}  // namespace tavrin
