#include "app/core/answer_apply.h"

namespace tavrin {
namespace {

constexpr size_t location_size = 16;

void append_latin1(std::string& out, uint8_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void apply_location(const amp_answer& answer, answer_targets t) {
    // A short answer carries fewer than 16 characters; the rest of the field is cleared
    // rather than filled from an older frame.
    const size_t n = answer.count < location_size ? answer.count : location_size;
    t.params.set_location(answer.data, n);
    t.events.info_changed(device_info_text(t.device.name(), t.params.location_bytes()));
    t.params.mark_changed();
    t.events.state_changed();
}

void apply_parameters(const amp_answer& answer, answer_targets t) {
    t.flags.missed_polls.store(0);
    if (answer.length != full_parameter_length) {
        // The date is the last four data bytes; a shorter answer has none to give.
        if (answer.count >= 4) {
            const uint8_t* d = answer.data + answer.count - 4;
            t.params.set_fw_date(d[0], d[1], d[2], d[3]);
        }
        t.flags.version_gate.store(true);
        t.events.info_changed(wrong_size_text);
        t.events.state_changed();
        return;
    }

    t.flags.connect_flag.store(true);
    t.flags.probe_flag.store(false);
    if (!t.params.replace_if_different(answer.data))
        return;

    const auto date = [&](param_field f) { return answer.data[field_def(f).offset]; };
    const uint32_t value =
        firmware_date_value(date(param_field::fw_year), date(param_field::fw_month),
                            date(param_field::fw_day), date(param_field::fw_hour));
    if (value >= min_firmware_date) {
        t.flags.version_gate.store(false);
        t.events.info_changed(device_info_text(t.device.name(), t.params.location_bytes()));
        t.params.mark_changed();
    } else {
        t.flags.version_gate.store(true);
        t.events.info_changed(firmware_refused_text);
    }
    t.events.state_changed();
}

}  // namespace

std::string device_info_text(const std::string& device_name,
                             const std::array<uint8_t, 16>& location) {
    std::string text = " Model: RQ417\n\n Device Name: ";
    text += device_name;
    text += "\n\n Location: ";
    for (uint8_t c : location) {
        if (c == 0)
            break;
        append_latin1(text, c);
    }
    return text;
}

void apply_answer(const amp_answer& answer, answer_targets targets) {
    if (answer.code == location_answer_code)
        apply_location(answer, targets);
    else if (answer.code == parameter_answer_code)
        apply_parameters(answer, targets);
}

}  // namespace tavrin
