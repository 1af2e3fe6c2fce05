#include "firmware/browse_flow.h"

#include "firmware/firmware_load.h"

namespace tavrin {

browse_outcome browse_firmware(firmware_update& update, const std::optional<std::string>& path) {
    if (update.running())
        return browse_outcome::busy;
    if (!path)
        return browse_outcome::cancelled;
    session_events& events = update.events();
    events.update_status(browse_loading_text);
    std::optional<firmware_image> image = load_firmware(*path, events);
    if (!image)
        return browse_outcome::load_failed;
    events.update_status(browse_loaded_text);

    const box_answer go = events.ask(
        {browse_warning_text, browse_warning_caption, box_icon::warning, box_buttons::yes_no});
    if (go != box_answer::yes)
        return browse_outcome::declined;
    if (!update.link().connect_flag()) {
        events.ask({browse_link_text, browse_link_caption, box_icon::none, box_buttons::ok});
        return browse_outcome::not_connected;
    }
    // A transfer started elsewhere while the question was open keeps the ring.
    if (!update.update_start(std::move(*image)))
        return browse_outcome::busy;
    return browse_outcome::started;
}

}  // namespace tavrin
