#pragma once
// The five setting pages' logic without a window, over one parameter block: what the
// settings tables apply their values through. Online it works on an amplifier's
// mirror and queues the commands a click would; offline it works on a block of its
// own (a preset file being edited) and sends nothing, with the same clamps and
// dependent fields. Each page is refreshed from the block when it is taken, as when
// its tab is opened; its own selected channel leaves the window's alone.
#include <memory>
#include <optional>

#include "app/page_context.h"
#include "pages/filter_page.h"
#include "pages/input_page.h"
#include "pages/peq_page.h"
#include "pages/power_page.h"
#include "pages/volume_page.h"

namespace tavrin {

class setting_desk {
  public:
    // The amplifier of `ctx`: its mirror, its ring.
    explicit setting_desk(const page_context& ctx);
    // A copy of `block`, with a ring that sends nothing.
    explicit setting_desk(const param_block& block);
    ~setting_desk();
    setting_desk(const setting_desk&) = delete;
    setting_desk& operator=(const setting_desk&) = delete;

    param_block block() const { return ctx_.params.snapshot(); }

    volume_page_logic& volume();
    input_page_logic& input();
    peq_page_logic& peq(amp_channel shown);
    filter_page_logic& filter(amp_channel shown);
    power_page_logic& power();
    // Sends at once what a page keeps for after a slider's pause.
    void flush();

  private:
    struct offline_parts;
    struct unseen_page;

    std::unique_ptr<offline_parts> offline_;
    page_shared shared_;
    page_context ctx_;
    std::unique_ptr<unseen_page> view_;
    std::optional<volume_page_logic> volume_;
    std::optional<input_page_logic> input_;
    std::optional<peq_page_logic> peq_;
    std::optional<filter_page_logic> filter_;
    std::optional<power_page_logic> power_;
};

}  // namespace tavrin
