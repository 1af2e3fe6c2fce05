#include "presets/summary.h"

#include <iterator>

#include <cstdarg>
#include <cstdio>

namespace tavrin {
namespace {

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    char buf[64];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    return buf;
}

// Each location byte stands for one character of the same code, as in the info panel.
std::string widened_location(const std::array<uint8_t, 16>& bytes) {
    std::string out;
    for (uint8_t c : bytes) {
        if (c == 0)
            break;
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::string enable_text(bool on) {
    return on ? "Enable" : "Disable";
}

std::string band_text(const peq_band& b) {
    if (b.enable == 0)
        return "Disable";
    return format("%d%s%.1f%s%.2f", b.freq, "Hz, ", (b.gain - 40) * 0.5, "dB, ", b.q / 100.0);
}

std::string filter_text(const filter_settings& f) {
    if (f.enable == 0)
        return "Disable";
    const char* slope = "Hz, 12 dB/oct";
    switch (f.slope) {
        case 1:
            slope = "Hz, 18 dB/oct";
            break;
        case 2:
            slope = "Hz, 24 dB/oct";
            break;
        case 3:
            slope = "Hz, 30 dB/oct";
            break;
        case 4:
            slope = "Hz, 36 dB/oct";
            break;
        default:
            break;
    }
    return format("%d%s", f.freq, slope);
}

// The summary shows the low byte alone, in half watts with 8 ohm speakers; the
// Power page shows the full limits.
// The limit as the Power page shows it: the whole 16-bit value in 0.1 W.
std::string power_text(const amp_params& p, power_set set, limit_slot slot) {
    return format("%.1f%s", p.power_limit(set, slot) / 10.0, " W");
}

std::string class_text(uint8_t power_class) {
    static constexpr const char* names[] = {"PoE", "PoE+", "PoE++", "DC In"};
    return power_class < std::size(names) ? names[power_class] : "Unknown";
}

}  // namespace

std::vector<summary_field> summary_fields(const param_block& block, std::string_view device_name) {
    amp_params p;
    p.replace(block);
    std::vector<summary_field> out;
    auto add = [&out](int id, std::string_view label, int channel, std::string text) {
        out.push_back({id, label, channel, std::move(text)});
    };
    const auto ch1 = amp_channel::ch1;
    const auto ch2 = amp_channel::ch2;

    add(1244, "Device Name:", 0, device_name.empty() ? "No Device" : std::string(device_name));
    add(1245, "Location:", 0, device_name.empty() ? "" : widened_location(p.location_bytes()));
    add(1246, "Speaker:", 0, p.speaker_impedance() == 4 ? "4\u03A9" : "8\u03A9");
    add(1247, "PBTL Mode:", 0, enable_text(p.pbtl_mode()));
    // The class the amplifier runs in, and the limit set it uses (DC In uses the PoE++
    // set), as the Power page shows them; reading every other class as "PoE+" with the
    // PoE+ set showed limits the amplifier does not apply.
    const power_set set = power_set_for_class(p.power_class());
    add(1248, "PoE Type:", 0, class_text(p.power_class()));
    add(1249, "Master Volume:", 0, format("%d%s", p.master_volume() * 2, "%"));
    add(1250, "Mute:", 0, enable_text(p.mute()));
    add(1265, "Gain(dB)", 1, format("%.1f%s", (p.gain_ch1() - 250) / 10.0, "dB"));
    add(1266, "Gain(dB)", 2, format("%.1f%s", (p.gain_ch2() - 250) / 10.0, "dB"));
    // The match gain is kept in tenths of a dB.
    add(1251, "dB Match Gain", 1, format("%.1f%s", p.match_gain(ch1) / 10.0, "dB"));
    add(1252, "dB Match Gain", 2, format("%.1f%s", p.match_gain(ch2) / 10.0, "dB"));

    const limiter_set lset = p.speaker_impedance() == 4 ? limiter_set::ohm4 : limiter_set::ohm8;
    const limiter_settings l1 = p.limiter(lset, ch1);
    const limiter_settings l2 = p.limiter(lset, ch2);
    add(1253, "Threshold(dB)", 1, format("%d", l1.threshold - 90));
    add(1254, "Threshold(dB)", 2, format("%d", l2.threshold - 90));
    add(1255, "Ratio", 1, format("%.2f", l1.ratio / 100.0));
    add(1256, "Ratio", 2, format("%.2f", l2.ratio / 100.0));
    add(1257, "Knee", 1, format("%d", l1.knee));
    add(1258, "Knee", 2, format("%d", l2.knee));
    add(1259, "Attack Time(ms)", 1, format("%d", l1.attack));
    add(1260, "Attack Time(ms)", 2, format("%d", l2.attack));
    add(1261, "Release Time(ms)", 1, format("%d", l1.release));
    add(1262, "Release Time(ms)", 2, format("%d", l2.release));
    add(1263, "Hold Time(ms)", 1, format("%d", l1.hold));
    add(1264, "Hold Time(ms)", 2, format("%d", l2.hold));

    static constexpr std::string_view set_labels[5] = {"Set 1", "Set 2", "Set 3", "Set 4", "Set 5"};
    for (int band = 0; band < 5; ++band)
        add(1271 + band, set_labels[band], 1, band_text(p.peq(ch1, static_cast<size_t>(band))));
    for (int band = 0; band < 5; ++band)
        add(1276 + band, set_labels[band], 2, band_text(p.peq(ch2, static_cast<size_t>(band))));

    add(1267, "Low Pass Filter", 1, filter_text(p.filter(ch1, filter_kind::low_pass)));
    add(1268, "Low Pass Filter", 2, filter_text(p.filter(ch2, filter_kind::low_pass)));
    add(1269, "High Pass Filter", 1, filter_text(p.filter(ch1, filter_kind::high_pass)));
    add(1270, "High Pass Filter", 2, filter_text(p.filter(ch2, filter_kind::high_pass)));

    std::string power1 = "Disable", power2 = "Disable";
    if (p.power_limit_enable(set) != 0) {
        if (p.pbtl_mode()) {
            power2 = power_text(p, set, limit_slot::pbtl);
        } else {
            power1 = power_text(p, set, limit_slot::ch1);
            power2 = power_text(p, set, limit_slot::ch2);
        }
    }
    add(1281, "Power Limit", 1, power1);
    add(1284, "Power Limit", 2, power2);

    const current_limit c = p.current_limit_of(set);
    add(1282, "Current Limit Threshold", 0,
        c.enable == 0 ? "Disable" : format("%d%s", c.threshold * 25, " mA"));
    add(1283, "Current Limit Release Time", 0, format("%d%s", c.release, " sec"));
    return out;
}

std::string summary_text(const std::vector<summary_field>& fields, int id) {
    for (const summary_field& f : fields) {
        if (f.id == id)
            return f.text;
    }
    return {};
}

std::string summary_line(const summary_field& field) {
    std::string line(field.label);
    if (!line.empty() && line.back() == ':')
        line.pop_back();
    if (field.channel != 0)
        line += " CH" + std::to_string(field.channel);
    return line + ": " + field.text;
}

}  // namespace tavrin
