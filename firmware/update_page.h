#pragma once
// The "Update" page without its widgets: what its status text and progress bar show,
// and what Browse does with the file the dialog returned. The transfer's status and
// progress reach the page through the page context's shared state, where the window
// keeps them (the page may be made while a transfer runs).
#include <cstdint>
#include <optional>
#include <string>

#include "app/page_context.h"
#include "firmware/browse_flow.h"

namespace tavrin {

namespace update_ids {
constexpr int progress = 1105;
constexpr int status = 1106;
constexpr int browse = 1107;
}  // namespace update_ids

class update_page_view {
  public:
    virtual ~update_page_view() = default;
    virtual void show_status(const std::string& text) = 0;
    // `total` 0: no transfer to show.
    virtual void show_progress(uint32_t position, uint32_t total) = 0;
};

class update_page_logic {
  public:
    update_page_logic(page_context& ctx, update_page_view& view) : ctx_(ctx), view_(view) {}

    // The page was made: a running transfer is shown as it stands; otherwise the page
    // starts with the idle text and an empty bar.
    void init();
    // The page paints: new parameters from the amplifier reset the status text; the
    // transfer's status and progress are shown.
    // An answer changed the mirror: the status says the amplifier is idle again.
    void params_changed(field_mask changed);
    void paint_begins();
    // Browse, with the path chosen or nothing when the dialog was cancelled. Without
    // a transfer procedure (a program that has none) nothing happens.
    browse_outcome browse(const std::optional<std::string>& path);

    bool can_update() const { return ctx_.firmware != nullptr; }

  private:
    bool running() const;
    void show();

    page_context& ctx_;
    update_page_view& view_;
};

}  // namespace tavrin
