#include "cli/site_steps.h"

#include <algorithm>

#include "cli/amp_reading.h"
#include "cli/exit_codes.h"
#include "link/answer_texts.h"
#include "presets/file_layer.h"
#include "presets/preset_file.h"
#include "protocol/catalogue.h"
#include "sites/site_plan.h"
#include "utilities/name_rules.h"
#include "utilities/utility_page.h"

namespace tavrin::cli {
namespace {

// Every frame waits up to one worker wake-up before it leaves.
constexpr uint32_t frame_pace_ms = 100;

std::vector<std::string> indented(const std::vector<diff_row>& rows) {
    std::vector<std::string> out;
    std::string text = aligned_rows(rows, "  ");
    for (size_t from = 0; from < text.size();) {
        const size_t end = text.find('\n', from);
        out.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    return out;
}

std::string count_of(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Waits for the location answer: the device information then shows it.
bool wait_location(cli_session& session, const std::string& name, const std::string& text) {
    const std::string bytes = location_bytes_of(text).value_or("");
    location_field field{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), field.size()), field.begin());
    const std::string expected = device_info_text(name, field);
    const uint32_t wait = static_cast<uint32_t>(session.ring().waiting() + 1) * frame_pace_ms +
                          cli_session::answer_wait_ms;
    return session.amp().wait_info(expected, wait);
}

// Asks for the full answer once everything queued has gone; false without one.
bool wait_full_answer(cli_session& session) {
    const uint32_t wait = static_cast<uint32_t>(session.ring().waiting() + 1) * frame_pace_ms +
                          cli_session::answer_wait_ms;
    return session.wait_next_answer(wait);
}

}  // namespace

amp_result check_amplifier(cli_session& session, const site_amp& amp) {
    const amp_reading r = read_amplifier(session, amp.name);
    if (r.code != exit_done)
        return {r.code, {r.message}};
    const std::vector<diff_row> drift = drift_of(target_of(amp), r.block);
    if (drift.empty())
        return {exit_done, {amp.name + ": ok"}};
    amp_result out{exit_disagrees,
                   {amp.name + ": drifted: " + count_of(drift.size(), "setting", "settings")}};
    for (const std::string& line : indented(drift))
        out.lines.push_back(line);
    return out;
}

amp_result apply_amplifier(cli_session& session, const site_amp& amp) {
    const amp_reading r = read_amplifier(session, amp.name);
    if (r.code != exit_done)
        return {r.code, {r.message}};
    const amp_target target = target_of(amp);
    const amp_plan plan = plan_for(target, r.block);
    if (plan.empty())
        return {exit_done, {amp.name + ": ok: nothing to send"}};

    page_context ctx = session.pages();
    std::vector<std::string> sent, details;
    if (plan.block) {
        // As a preset load: straight into the ring, and into the mirror.
        const frame_bytes frame = frames::parameter_write(*plan.block);
        if (ctx.ring.ring_put_frame(frame.data(), frame.size()) != push_status::queued)
            return {exit_no_answer, {amp.name + ": the command ring is full, nothing sent"}};
        ctx.params.replace(*plan.block);
        sent.push_back("the whole parameter block");
    }
    if (!plan.settings.empty()) {
        for (const setting_result& s : apply_settings(ctx, plan.settings))
            details.push_back("  " + applied_line(s));
        sent.push_back(count_of(plan.settings.size(), "setting", "settings"));
    }
    if (plan.location) {
        push_location(ctx.ring, *plan.location);
        sent.push_back("the location");
        if (!wait_location(session, amp.name, *plan.location))
            return {exit_no_answer, {amp.name + ": no answer after the location"}};
    }
    if (!wait_full_answer(session))
        return {exit_no_answer, {amp.name + ": no answer after the settings"}};

    std::string what;
    for (const std::string& s : sent)
        what += (what.empty() ? "" : ", ") + s;
    const std::vector<diff_row> still = drift_of(target, session.params().snapshot());
    amp_result out;
    if (still.empty()) {
        out = {exit_done, {amp.name + ": ok: sent " + what}};
    } else {
        out = {exit_disagrees,
               {amp.name + ": disagrees after " + what +
                " were sent: " + count_of(still.size(), "setting differs", "settings differ")}};
        details = indented(still);
    }
    out.lines.insert(out.lines.end(), details.begin(), details.end());
    return out;
}

amp_result capture_amplifier(cli_session& session, const std::string& name,
                             const std::string& preset_path, const std::string& preset_name,
                             captured_amp& captured) {
    const amp_reading r = read_amplifier(session, name);
    if (r.code != exit_done)
        return {r.code, {r.message}};
    const preset_bytes file = build_preset_file(r.block);
    std::string folder = folder_of(preset_path);
    if (!replace_file(system_files(), folder.empty() ? "." : folder, preset_path, file.data(),
                      file.size()))
        return {exit_bad_input_file, {name + ": could not write " + preset_path}};
    captured = {name, preset_name, location_of(r.block)};
    amp_result out{exit_done, {name + ": saved as " + preset_path}};
    // A location the amplifier holds that a site file cannot (control characters)
    // stays out of it, and so out of the comparison.
    if (!location_problem(*captured.location).empty()) {
        out.lines.push_back("  its location is left out: " + location_problem(*captured.location));
        captured.location.reset();
    }
    return out;
}

}  // namespace tavrin::cli
