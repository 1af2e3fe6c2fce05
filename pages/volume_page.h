#pragma once
// The "Volume" page: master volume and mute, the output level of each channel, the
// polarity switch and the routing of the two Dante inputs to the two speakers. Every
// control stores its value in the mirror and queues its command at once.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/page_context.h"
#include "pages/page_view.h"

namespace tavrin {

namespace volume_item {
enum : int {
    master_fader = 1023,
    master_percent = 1024,
    mute = 1025,
    ch1_fader = 1026,
    ch2_fader = 1027,
    ch1_level = 1312,
    ch2_level = 1313,
    route_bypass = 1317,  // 1317-1321: route codes 0-4
    route_swap = 1321,
    invert = 1325,
};
}  // namespace volume_item

// Route codes: 0 Bypass, 1 CH 1, 2 CH 2, 3 Mixed, 4 Swap.
constexpr uint8_t route_count = 5;
constexpr uint8_t max_master_volume = 50;
constexpr uint8_t max_gain_code = 250;
// The level edits hold at most this many characters.
constexpr size_t level_edit_width = 5;

// What the page logic asks of its window besides texts and check marks.
class volume_view : public page_view {
  public:
    virtual void set_slider_range(int item, int min, int max) = 0;
    virtual void set_slider_position(int item, int position) = 0;
};

// "100%" for volume 50.
std::string master_percent_text(uint8_t volume);
// "-3.7" for code 213, "0.0" for 250.
std::string channel_level_text(uint8_t code);
// A typed level in dB: below -25 gives 0, above 0 gives 250, else trunc(10 v + 250).
uint8_t level_code_of(double db);

class volume_page_logic {
  public:
    // Both must outlive the logic.
    volume_page_logic(page_context& ctx, volume_view& view);

    // Every control from the mirror (at initialisation).
    void refresh();
    // An answer changed fields of the mirror: the page reloads when it shows one.
    void params_changed(field_mask changed);

    // The master fader moved by a line, a page, Home or End, or its thumb (end of
    // scroll is not passed on); `position` counts from the top.
    void master_scrolled(int position);
    // A channel fader, on every scroll notification.
    void fader_scrolled(amp_channel ch, int position);
    // The level edit's text is applied (Enter, Tab, or focus loss while the tab is current).
    void level_typed(amp_channel ch, std::string_view text);
    // A level in dB, clamped and cut as a typed one; the code stored and sent.
    uint8_t set_level(amp_channel ch, double db);

    void mute_clicked(bool checked);
    // A route button was clicked; only a button that is now checked sends.
    void route_clicked(uint8_t route, bool checked);
    void invert_clicked(bool checked);

  private:
    void show_level(amp_channel ch, uint8_t code);

    page_context& ctx_;
    volume_view& view_;
};

}  // namespace tavrin
