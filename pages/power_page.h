#pragma once
// The "Power" page: the power class (detected, or chosen with "Manual"), PBTL, the
// speaker impedance, and for the current class its dynamic power limits (cut to the
// class's power budget and sent once their slider has been still for 300 ms) and its
// current limit.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "app/page_context.h"
#include "pages/page_view.h"
#include "pages/paused_send.h"

namespace tavrin {

namespace power_item {
enum : int {
    pbtl = 1066,
    limit_enable = 1067,
    ch1_limit = 1068,
    ch2_limit = 1069,
    pbtl_limit = 1070,
    ch1_limit_text = 1071,
    ch2_limit_text = 1072,
    pbtl_limit_text = 1073,
    current_enable = 1074,
    threshold = 1075,
    release = 1076,
    threshold_text = 1077,
    release_text = 1078,
    speaker_4 = 1234,
    speaker_8 = 1235,
    manual = 1315,
    power_class = 1316,
};
}  // namespace power_item

// The combo's entries, in the order of the class values 0-3.
inline constexpr std::array<const char*, 4> power_class_names{"PoE", "PoE+", "PoE++", "DC In"};
constexpr uint8_t power_class_count = 4;

// The power-limit slider of a slot, and its value text.
int power_limit_slider(limit_slot slot);
int power_limit_label(limit_slot slot);

// A slider's range.
struct slider_range {
    int min = 1;
    int max = 1;
};
// The range of a power-limit slider (0.1 W) for a class and the impedance byte that
// governs it (147 for CH1, 148 for CH2 and PBTL); none unless the byte is 4 or 8 and
// the class is known, and the slider keeps the range it had.
std::optional<slider_range> power_limit_range(uint8_t power_class, limit_slot slot,
                                              uint8_t impedance);
// The current-limit threshold range (25 mA) and release range (s) of a known class.
slider_range threshold_range(uint8_t power_class);
slider_range release_range();
// The class's power budget in 0.1 W: what CH1 and CH2 together, or PBTL alone, may use.
int power_budget(uint8_t power_class);

std::string power_limit_text(int tenths_watt);  // "6.0 W"
std::string threshold_text(int units_25ma);     // "1000 mA"
std::string release_text(int seconds);          // "5 sec"

class power_view : public page_view, public send_timer_view {
  public:
    virtual void add_entry(int item, const std::string& text) = 0;
    // Selects a combo entry; -1 selects none.
    virtual void select_entry(int item, int index) = 0;
    virtual void set_enabled(int item, bool enabled) = 0;
    virtual void set_slider_range(int item, int min, int max) = 0;
    virtual void set_slider_position(int item, int position) = 0;
};

class power_page_logic {
  public:
    // Both must outlive the logic.
    power_page_logic(page_context& ctx, power_view& view);

    // Fills the class combo, then refreshes.
    void init();
    void refresh();
    // An answer changed fields of the mirror: the page reloads when it shows one.
    void params_changed(field_mask changed);

    void manual_clicked(bool checked);
    // A class was chosen in the combo (selection 0-3).
    void class_chosen(int selection);
    void pbtl_clicked(bool checked);
    // "4Ω" or "8Ω"; a click on the impedance in force sends nothing.
    void speaker_clicked(uint8_t ohms);
    void limit_enable_clicked(bool checked);
    void current_enable_clicked(bool checked);

    // A power-limit slider moved by a line, a page, Home or End, or its thumb (end of
    // scroll is not passed on). The value is cut to the class budget, stored and
    // sent once the slider has been still for 300 ms. Returns the value kept (0.1 W),
    // none when the class is unknown.
    std::optional<int> limit_scrolled(limit_slot slot, int position);
    // The current-limit sliders send at once; false when the class is unknown.
    bool threshold_scrolled(int position);
    bool release_scrolled(int position);

    // The send timer fired: sends the last moved limit once it has been still for
    // 300 ms by the clock, or re-arms for the rest of the wait.
    void send_timer_fired();
    // Sends a waiting limit at once and starts the poll timer again.
    void flush();
    bool limit_waiting() const { return limit_send_.waiting(); }

    int budget() const { return budget_; }

  private:
    struct waiting_limit {
        power_set set;
        limit_slot slot;
        bool operator==(const waiting_limit&) const = default;
    };

    // The limits and current limit in force: those of the current class, if known.
    std::optional<power_set> current_set() const;
    void enable_limit_sliders(bool limit_on, bool pbtl_on);

    page_context& ctx_;
    power_view& view_;
    int budget_ = 0;
    paused_send<waiting_limit> limit_send_;
};

}  // namespace tavrin
