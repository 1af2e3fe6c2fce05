#include "presets/preset_actions.h"

#include "presets/preset_file.h"
#include "presets/preset_name.h"
#include "presets/preset_texts.h"
#include "protocol/catalogue.h"

namespace tavrin {

bool save_as_window_closes(preset_outcome outcome) {
    switch (outcome) {
        case preset_outcome::ignored:
        case preset_outcome::refused:
        case preset_outcome::declined:
            return false;
        default:
            return true;
    }
}

preset_actions::preset_actions(page_context& ctx, file_layer& files)
    : ctx_(ctx), folder_(ctx.work_dir, files) {}

bool preset_actions::name_acceptable(std::string_view name, preset_outcome& outcome) {
    const name_check check = check_preset_name(name);
    if (check == name_check::ok)
        return true;
    if (check == name_check::empty) {
        outcome = preset_outcome::ignored;
        return false;
    }
    ctx_.events.ask({std::string(name_refusal_text(check)), std::string(name_refusal_caption),
                     box_icon::warning, box_buttons::ok});
    outcome = preset_outcome::refused;
    return false;
}

bool preset_actions::ask_yes(std::string text, std::string_view caption) {
    return ctx_.events.ask({std::move(text), std::string(caption), box_icon::question,
                            box_buttons::yes_no}) == box_answer::yes;
}

preset_outcome preset_actions::load(std::string_view name) {
    if (!ctx_.flags.connect_flag()) {
        ctx_.events.ask(
            {std::string(preset_text::no_connection), "", box_icon::none, box_buttons::ok});
        return preset_outcome::not_connected;
    }
    preset_outcome outcome{};
    if (!name_acceptable(name, outcome))
        return outcome;
    if (!ask_yes(preset_text::load_question(name), preset_text::load_caption))
        return preset_outcome::declined;

    // One byte more than a preset, so that a longer file shows as the wrong size.
    auto bytes = folder_.files().read_file(folder_.file_path(name), preset_file_size + 1);
    preset_read read;
    if (bytes)
        read = read_preset_file(bytes->data(), bytes->size());
    if (read.status != preset_status::ok) {
        ctx_.events.log_line(std::string(preset_status_text(read.status)));
        return read.status == preset_status::checksum_error ? preset_outcome::checksum_error
                                                            : preset_outcome::file_error;
    }

    // The write goes straight into the ring, past the version gate; only a full ring
    // stops it, and then the mirror is left alone too.
    const frame_bytes frame = frames::parameter_write(read.block);
    if (ctx_.ring.ring_put_frame(frame.data(), frame.size()) != push_status::queued) {
        ctx_.events.log_line(std::string(preset_text::queue_full));
        return preset_outcome::ring_full;
    }
    ctx_.params.replace(read.block);
    ctx_.events.log_line(std::string(preset_text::loaded));
    return preset_outcome::done;
}

preset_outcome preset_actions::remove(std::string_view name) {
    preset_outcome outcome{};
    if (!name_acceptable(name, outcome))
        return outcome;
    const std::string path = folder_.file_path(name);
    if (folder_.files().kind_of(path) != file_kind::regular)
        return preset_outcome::missing;
    if (!ask_yes(preset_text::delete_question(name), preset_text::delete_caption))
        return preset_outcome::declined;
    if (!folder_.files().remove_file(path))
        return preset_outcome::delete_error;
    ctx_.events.log_line(std::string(preset_text::deleted));
    return preset_outcome::done;
}

preset_outcome preset_actions::write_preset(std::string_view name) {
    const preset_bytes bytes = build_preset_file(ctx_.params.snapshot());
    if (!replace_file(folder_.files(), folder_.path(), folder_.file_path(name), bytes.data(),
                      bytes.size())) {
        ctx_.events.log_line(std::string(preset_text::save_error));
        return preset_outcome::write_error;
    }
    ctx_.events.log_line(std::string(preset_text::saved));
    return preset_outcome::done;
}

preset_outcome preset_actions::save(std::string_view name) {
    preset_outcome outcome{};
    if (!name_acceptable(name, outcome))
        return outcome;
    if (!folder_.ensure())
        return preset_outcome::folder_error;
    return write_preset(name);
}

preset_outcome preset_actions::save_as(std::string_view name) {
    preset_outcome outcome{};
    if (!name_acceptable(name, outcome))
        return outcome;
    if (!folder_.ensure())
        return preset_outcome::folder_error;
    if (folder_.files().kind_of(folder_.file_path(name)) != file_kind::missing &&
        !ask_yes(preset_text::overwrite_question(name), preset_text::overwrite_caption))
        return preset_outcome::declined;
    return write_preset(name);
}

}  // namespace tavrin
