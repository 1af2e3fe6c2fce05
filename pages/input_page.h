#pragma once
// The "Input" page: a dB match gain (trim) per channel, sent once its slider has been
// still for 300 ms, and the input limiter of each channel, edited in the limiter set
// of the current speaker impedance.
#include <cstdint>
#include <optional>
#include <string_view>

#include "app/page_context.h"
#include "pages/page_view.h"
#include "pages/paused_send.h"

namespace tavrin {

namespace input_item {
enum : int {
    ch1_threshold = 1221,
    ch2_threshold = 1222,
    ch1_ratio = 1223,
    ch2_ratio = 1224,
    ch1_attack = 1225,
    ch2_attack = 1226,
    ch1_hold = 1227,
    ch2_hold = 1228,
    ch1_release = 1229,
    ch2_release = 1230,
    ch1_knee = 1231,
    ch2_knee = 1232,
    ch1_trim = 1322,
    ch2_trim = 1323,
    ch1_trim_text = 1324,
    ch2_trim_text = 1325,
};
}  // namespace input_item

// The edit of one limiter field of one channel.
int limiter_edit(amp_channel ch, limiter_item item);
// How many characters that edit holds, and how many the page reads from it.
size_t limiter_edit_width(limiter_item item);
size_t limiter_read_width(limiter_item item);

constexpr int min_trim = -100;  // tenths of a dB
constexpr int max_trim = 100;

// "-3.5 dB" for -35.
std::string trim_text(int tenths);

class input_view : public page_view, public send_timer_view {
  public:
    virtual void set_slider_range(int item, int min, int max) = 0;
    virtual void set_slider_position(int item, int position) = 0;
};

// A limiter value as stored after its limits.
struct limiter_entry {
    uint16_t stored = 0;  // the block's encoding (threshold + 90, ratio * 100, ms, knee)
    bool limited = false;
};

class input_page_logic {
  public:
    // Both must outlive the logic.
    input_page_logic(page_context& ctx, input_view& view);

    void refresh();
    // An answer changed fields of the mirror: the page reloads when it shows one.
    void params_changed(field_mask changed);

    // A trim slider moved by a line, a page, Home or End, or its thumb (end of scroll
    // is not passed on).
    void trim_scrolled(amp_channel ch, int position);
    // The send timer fired: sends the trim once it has been still for 300 ms by the
    // clock, or re-arms for the rest of the wait.
    void send_timer_fired();
    // Sends a waiting trim at once and starts the poll timer again (the page is left,
    // or tavrin-cli, which has nothing to wait for).
    void flush();
    bool trim_waiting() const { return trim_send_.waiting(); }

    // An edit's text is applied (Enter, or focus loss while the tab is current).
    void limiter_typed(amp_channel ch, limiter_item item, std::string_view text);
    // A value in the field's own units (dB, 1:X, ms, knee), limited, stored in the
    // current set and sent; a whole-number field drops the fraction.
    limiter_entry set_limiter(amp_channel ch, limiter_item item, double value);

  private:
    // Stores a limiter value, shows it and sends it.
    void store_limiter(amp_channel ch, limiter_item item, uint16_t stored);
    void show_limiter(amp_channel ch, limiter_item item, uint16_t stored);

    page_context& ctx_;
    input_view& view_;
    paused_send<amp_channel> trim_send_;
};

}  // namespace tavrin
