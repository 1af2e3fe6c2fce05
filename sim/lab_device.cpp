#include "sim/lab_device.h"

#include <arpa/inet.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "dante/conmon/audinate_body.h"
#include "dante/conmon/audinate_interface_status.h"
#include "dante/conmon/audinate_manf_versions.h"
#include "dante/conmon/audinate_srate_status.h"
#include "sim/amp_ctl.h"
#include "sim/amp_wire_log.h"

namespace tavrin::sim {
namespace {

constexpr size_t max_subscribers = 16;
constexpr uint16_t lab_process_id = 10;

conmon_vendor_id_t vendor(const char* text) {
    conmon_vendor_id_t id;
    conmon_vendor_id_from_string(&id, text);
    return id;
}

bool same_address(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

bool parse_number(const std::string& text, unsigned max, unsigned& out) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return !text.empty() && ec == std::errc() && ptr == end && out <= max;
}

// "on" / "off", or nothing for on.
bool parse_switch(const std::vector<std::string>& args, bool& on) {
    if (args.size() == 1) {
        on = true;
        return true;
    }
    if (args.size() == 2 && (args[1] == "on" || args[1] == "off")) {
        on = args[1] == "on";
        return true;
    }
    return false;
}

// A TXT id in its hex form: '_' and 16 hex digits.
std::string hex_id(const uint8_t bytes[8]) {
    std::string s(1, '_');
    s.append(lab_hex(bytes, 8));
    return s;
}

}  // namespace

void lab_id_bytes(const std::string& text, uint8_t out[8]) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : text) {
        h = (h ^ c) * 0x100000001b3ull;
    }
    for (int i = 7; i >= 0; --i) {
        out[i] = static_cast<uint8_t>(h);
        h >>= 8;
    }
}

std::string lab_hex(const uint8_t* bytes, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

lab_device::lab_device(const lab_device_config& config, time_source& clock, std::string wire_log,
                       uint32_t ip)
    : config_(config),
      ip_(ip),
      arcp_(arcp_identity{config.name, arcp_pack_version("2.7.41")}),
      wire_log_(std::move(wire_log)) {
    lab_id_bytes("device:" + config.name, instance_.device_id);
    instance_.process_id = lab_process_id;
    lab_id_bytes("manufacturer:" + config.manufacturer, manufacturer_id_);
    lab_id_bytes("model:" + config.model, model_id_);
    random_.seed(instance_.device_id[7] | (instance_.device_id[6] << 8));
    if (config.amplifier) {
        amp_config ac;
        ac.firmware = firmware_date{config.firmware.year, config.firmware.month,
                                    config.firmware.day, config.firmware.hour};
        amp_ = std::make_unique<virtual_amp>(clock, ac);
        amp_->set_frame_observer(
            [this](const uint8_t* frame, size_t size) { log_frame(frame, size); });
    }
}

txt_entries lab_device::conmon_txt() const {
    const conmon_vendor_id_t audinate = CONMON_VENDOR_ID_AUDINATE;
    return {{"id", lab_hex(instance_.device_id, 8)},
            {"process", std::to_string(instance_.process_id)},
            {"vid", lab_hex(audinate.data, 8)},
            {"mf", hex_id(manufacturer_id_)},
            {"model", hex_id(model_id_)}};
}

txt_entries lab_device::arcp_txt() const {
    return {{"arcp_vers", "2.7.41"},  // the responder answers as this version
            {"router_vers", "4.0.2"},
            {"mf", hex_id(manufacturer_id_)},
            {"model", hex_id(model_id_)}};
}

void lab_device::log_frame(const uint8_t* frame, size_t size) {
    if (wire_log_.empty()) {
        return;
    }
    std::ofstream out(wire_log_, std::ios::app);
    out << wire_log_line(frame, size) << '\n';
}

std::vector<lab_output> lab_device::on_conmon_datagram(const uint8_t* data, size_t size,
                                                       const sockaddr_in& from) {
    lab_message message;
    if (!parse_lab_message(data, size, message)) {
        std::fprintf(stderr, "%s: dropped a datagram of %zu bytes that is no ConMon message\n",
                     name().c_str(), size);
        return {};
    }
    if (faults_.offline) {
        return {};
    }
    if (message.lab) {
        if (message.message_class == lab_class_subscribe) {
            bool known = false;
            for (const auto& s : subscribers_) {
                known = known || same_address(s, from);
            }
            if (!known && subscribers_.size() < max_subscribers) {
                subscribers_.push_back(from);
            }
        } else if (message.message_class == lab_class_unsubscribe) {
            std::erase_if(subscribers_,
                          [&](const sockaddr_in& s) { return same_address(s, from); });
        }
        return {};
    }
    if (faults_.silent) {
        return {};
    }
    if (faults_.drop_percent > 0 && random_() % 100 < faults_.drop_percent) {
        return {};
    }
    return answer_control(message, from);
}

std::vector<lab_output> lab_device::on_arcp_datagram(const uint8_t* data, size_t size,
                                                     const sockaddr_in& from) {
    if (faults_.offline || faults_.silent ||
        (faults_.drop_percent > 0 && random_() % 100 < faults_.drop_percent)) {
        return {};
    }
    lab_bytes answer = arcp_.on_request(data, size);
    if (answer.empty()) {
        return {};
    }
    return {lab_output{from, std::move(answer), faults_.delay_ms}};
}

void lab_device::set_advertised_name(const std::string& advertised) {
    advertised_ = advertised == config_.name ? std::string() : advertised;
    arcp_.set_name_conflict(!advertised_.empty());
}

bool lab_device::take_renamed() {
    if (!arcp_.renamed()) {
        return false;
    }
    arcp_.clear_renamed();
    config_.name = arcp_.name();
    return true;
}

lab_bytes lab_device::status_message(uint16_t message_class, const conmon_vendor_id_t& vendor_id,
                                     const lab_bytes& body) {
    return build_lab_message(message_class, ++seqnum_, instance_, vendor_id, body.data(),
                             body.size());
}

std::vector<lab_output> lab_device::answer_control(const lab_message& message,
                                                   const sockaddr_in& from) {
    std::vector<lab_output> out;
    out.push_back(
        lab_output{from, build_lab_ack(++seqnum_, instance_, message.seqnum), faults_.delay_ms});

    const conmon_vendor_id_t* vendor_id = conmon_message_head_get_vendor_id(message.head);
    std::vector<lab_bytes> bodies;
    if (conmon_vendor_id_equal(vendor_id, &CONMON_VENDOR_ID_AUDINATE)) {
        answer_audinate(message, bodies);
    } else if (const conmon_vendor_id_t varnoll = vendor("Varnoll");
               amp_ && conmon_vendor_id_equal(vendor_id, &varnoll)) {
        bodies = amp_->on_control_body(message.body, message.body_size);
    }
    for (const lab_bytes& body : bodies) {
        lab_bytes m = status_message(message.message_class, *vendor_id, body);
        for (const sockaddr_in& s : subscribers_) {
            out.push_back(lab_output{s, m, faults_.delay_ms});
        }
    }
    return out;
}

void lab_device::answer_audinate(const lab_message& message, std::vector<lab_bytes>& bodies) {
    audinate_body query;
    if (audinate_body_init(&query, message.body, message.body_size) != AUD_SUCCESS) {
        return;
    }
    uint8_t buffer[1024];
    size_t size = 0;
    aud_error_t result = AUD_ERR_INVALIDDATA;
    switch (audinate_body_get_type(&query)) {
        case AUDINATE_TYPE_MANF_VERSIONS_QUERY: {
            audinate_manf_versions_info info{};
            info.version = AUDINATE_BODY_VERSION;
            std::memcpy(info.manufacturer_id, manufacturer_id_, 8);
            std::memcpy(info.model_id, model_id_, 8);
            std::memcpy(info.serial_id, instance_.device_id, 8);
            info.software_version = audinate_version_pack(4, 2, 1);
            info.firmware_version = audinate_version_pack(4, 2, 1);
            info.software_build = 3;
            info.firmware_build = 3;
            info.manufacturer_name = config_.manufacturer.c_str();
            info.model_name = config_.model.c_str();
            info.model_version = audinate_version_pack(1, 0, 0);
            info.model_version_string = "1.0.0";
            result = audinate_build_manf_versions_status(buffer, sizeof buffer, &info, &size);
            break;
        }
        case AUDINATE_TYPE_INTERFACE_QUERY: {
            audinate_interface_status_info info{};
            info.version = AUDINATE_BODY_VERSION;
            info.port_count = 1;
            audinate_port_info& port = info.ports[0];
            port.link_speed = 1000;
            port.flags = AUDINATE_PORT_UP;
            port.mac[0] = 0x02;
            std::memcpy(port.mac + 1, instance_.device_id + 3, 5);
            port.ip = ip_;
            port.netmask = htonl(0xFFFF0000u);
            result = audinate_build_interface_status(buffer, sizeof buffer, &info, &size);
            break;
        }
        case lab_srate_query:
        case lab_enc_query: {
            bool srate = audinate_body_get_type(&query) == lab_srate_query;
            audinate_srate_status_info info{};
            info.version = AUDINATE_BODY_VERSION;
            info.type = srate ? AUDINATE_TYPE_SRATE_STATUS : AUDINATE_TYPE_ENC_STATUS;
            info.mode = AUDINATE_SRATE_MODE_REBOOT;
            info.current = info.reboot = srate ? 48000 : 24;
            const uint32_t rates[] = {44100, 48000, 88200, 96000};
            const uint32_t encodings[] = {16, 24, 32};
            const uint32_t* list = srate ? rates : encodings;
            info.available_count = srate ? 4 : 3;
            for (uint16_t i = 0; i < info.available_count; ++i) {
                info.available[i] = list[i];
            }
            result = audinate_build_srate_status(buffer, sizeof buffer, &info, &size);
            break;
        }
        default:
            return;
    }
    if (result == AUD_SUCCESS) {
        bodies.emplace_back(buffer, buffer + size);
    }
}

std::string lab_device::ctl(const std::vector<std::string>& args) {
    if (args.empty()) {
        return "error: no action";
    }
    const std::string& action = args[0];
    bool on = false;
    unsigned value = 0;
    if (action == "silence") {
        if (!parse_switch(args, on)) {
            return "error: silence on|off";
        }
        faults_.silent = on;
    } else if (action == "offline" || action == "online") {
        if (args.size() != 1) {
            return "error: " + action + " takes no arguments";
        }
        faults_.offline = action == "offline";
    } else if (action == "drop") {
        if (args.size() != 2 || !parse_number(args[1], 100, value)) {
            return "error: drop PERCENT (0-100)";
        }
        faults_.drop_percent = value;
    } else if (action == "delay") {
        if (args.size() != 2 || !parse_number(args[1], 600000, value)) {
            return "error: delay MS (0-600000)";
        }
        faults_.delay_ms = value;
    } else if (action == "status") {
        auto flag = [](bool b) { return b ? "on" : "off"; };
        std::ostringstream s;
        s << "ok silence=" << flag(faults_.silent) << " offline=" << flag(faults_.offline)
          << " drop=" << faults_.drop_percent << " delay=" << faults_.delay_ms
          << " subscribers=" << subscribers_.size();
        if (amp_) {
            firmware_date d = amp_->firmware();
            s << " corrupt=" << flag(amp_->fault(amp_fault::corrupt))
              << " wrong-size=" << flag(amp_->fault(amp_fault::wrong_size))
              << " firmware=" << unsigned(d.year) << '.' << unsigned(d.month) << '.'
              << unsigned(d.day) << '.' << unsigned(d.hour);
        }
        return s.str();
    } else if (action == "corrupt" || action == "wrong-size" || action == "firmware") {
        if (!amp_) {
            return "error: " + name() + " is not an amplifier";
        }
        if (apply_amp_ctl(*amp_, args) != ctl_result::done) {
            return action == "firmware" ? "error: firmware YY MM DD HH"
                                        : "error: " + action + " on|off";
        }
    } else {
        return "error: unknown action '" + action + "'";
    }
    return "ok";
}

}  // namespace tavrin::sim
