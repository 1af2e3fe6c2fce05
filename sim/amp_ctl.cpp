#include "sim/amp_ctl.h"

#include <charconv>

namespace tavrin::sim {

namespace {

bool parse_switch(const std::vector<std::string>& args, bool& on) {
    if (args.size() == 1) {
        on = true;
        return true;
    }
    if (args.size() != 2)
        return false;
    if (args[1] == "on") {
        on = true;
    } else if (args[1] == "off") {
        on = false;
    } else {
        return false;
    }
    return true;
}

bool parse_byte(const std::string& text, unsigned max, uint8_t& out) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty() || value > max)
        return false;
    out = static_cast<uint8_t>(value);
    return true;
}

}  // namespace

ctl_result apply_amp_ctl(virtual_amp& amp, const std::vector<std::string>& args) {
    if (args.empty())
        return ctl_result::not_mine;
    const std::string& action = args[0];
    if (action == "corrupt" || action == "wrong-size") {
        bool on = false;
        if (!parse_switch(args, on))
            return ctl_result::bad_arguments;
        amp.set_fault(action == "corrupt" ? amp_fault::corrupt : amp_fault::wrong_size, on);
        return ctl_result::done;
    }
    if (action == "firmware") {
        firmware_date d;
        if (args.size() != 5 || !parse_byte(args[1], 255, d.year) ||
            !parse_byte(args[2], 255, d.month) || !parse_byte(args[3], 255, d.day) ||
            !parse_byte(args[4], 255, d.hour)) {
            return ctl_result::bad_arguments;
        }
        amp.set_firmware_date(d);
        return ctl_result::done;
    }
    return ctl_result::not_mine;
}

}  // namespace tavrin::sim
