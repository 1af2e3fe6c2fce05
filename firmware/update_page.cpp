#include "firmware/update_page.h"

namespace tavrin {

bool update_page_logic::running() const {
    return ctx_.firmware != nullptr && ctx_.firmware->running();
}

void update_page_logic::show() {
    view_.show_status(ctx_.shared.update_status);
    view_.show_progress(ctx_.shared.update_position, ctx_.shared.update_total);
}

void update_page_logic::init() {
    if (!running()) {
        ctx_.shared.update_status = update_idle_text;
        ctx_.shared.update_position = 0;
        ctx_.shared.update_total = 0;
    }
    show();
}

void update_page_logic::params_changed(field_mask changed) {
    if (changed != 0) {
        ctx_.shared.update_status = update_idle_text;
        show();
    }
}

void update_page_logic::paint_begins() {
    show();
}

browse_outcome update_page_logic::browse(const std::optional<std::string>& path) {
    if (ctx_.firmware == nullptr)
        return browse_outcome::cancelled;
    return browse_firmware(*ctx_.firmware, path);
}

}  // namespace tavrin
