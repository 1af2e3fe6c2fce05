#pragma once
// One virtual device of the lab without its sockets: what it answers to each
// datagram on its ConMon port, its faults, and its DNS-SD identity. device_host
// gives it sockets and registrations.
#include <netinet/in.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dante/conmon/conmon_wire.h"
#include "sim/arcp_responder.h"
#include "sim/dnssd_publisher.h"
#include "sim/lab_config.h"
#include "sim/lab_wire.h"
#include "sim/virtual_amp.h"

namespace tavrin::sim {

struct lab_faults {
    bool silent = false;   // answers nothing, stays advertised
    bool offline = false;  // answers nothing and withdraws its DNS-SD records
    unsigned drop_percent = 0;
    uint32_t delay_ms = 0;
};

struct lab_output {
    sockaddr_in to{};
    lab_bytes bytes;
    uint32_t delay_ms = 0;
};

// Audinate query types the lab devices answer besides those of audinate_body.h.
constexpr uint16_t lab_srate_query = 0x0081;
constexpr uint16_t lab_enc_query = 0x0083;

class lab_device {
  public:
    // wire_log: file that receives every amplifier frame; empty for none.
    // ip: the address reported in INTERFACE_STATUS (network order).
    lab_device(const lab_device_config& config, time_source& clock, std::string wire_log,
               uint32_t ip);

    const lab_device_config& config() const { return config_; }
    const std::string& name() const { return config_.name; }
    // The name its DNS-SD services carry: name(), or one of its own when another
    // device had that name (see device_host).
    const std::string& advertised_name() const {
        return advertised_.empty() ? config_.name : advertised_;
    }
    void set_advertised_name(const std::string& advertised);
    // The device answers to `word` in a ctl line: its name or the one it advertises.
    bool called(const std::string& word) const {
        return word == name() || word == advertised_name();
    }
    const conmon_instance_id_t& instance_id() const { return instance_; }
    bool is_amplifier() const { return amp_ != nullptr; }
    virtual_amp* amp() { return amp_.get(); }
    const lab_faults& faults() const { return faults_; }
    const std::vector<sockaddr_in>& subscribers() const { return subscribers_; }

    // A datagram on the device's ConMon port.
    std::vector<lab_output> on_conmon_datagram(const uint8_t* data, size_t size,
                                               const sockaddr_in& from);
    // A datagram on the device's ARCP port.
    std::vector<lab_output> on_arcp_datagram(const uint8_t* data, size_t size,
                                             const sockaddr_in& from);
    // True once after an ARCP rename: the host then registers the services again
    // under name().
    bool take_renamed();

    // A ctl action ("silence on", "drop 30", ...). Returns "ok" or "error: why".
    std::string ctl(const std::vector<std::string>& args);

    // DNS-SD TXT records of the two services.
    txt_entries conmon_txt() const;
    txt_entries arcp_txt() const;

    // For tests: the next value of the drop decision's random source.
    void set_random_seed(uint32_t seed) { random_.seed(seed); }

  private:
    std::vector<lab_output> answer_control(const lab_message& message, const sockaddr_in& from);
    void answer_audinate(const lab_message& message, std::vector<lab_bytes>& bodies);
    lab_bytes status_message(uint16_t message_class, const conmon_vendor_id_t& vendor,
                             const lab_bytes& body);
    void log_frame(const uint8_t* frame, size_t size);

    lab_device_config config_;
    std::string advertised_;
    conmon_instance_id_t instance_{};
    uint8_t manufacturer_id_[8] = {};
    uint8_t model_id_[8] = {};
    uint32_t ip_;
    uint16_t seqnum_ = 0;
    lab_faults faults_;
    std::vector<sockaddr_in> subscribers_;
    std::unique_ptr<virtual_amp> amp_;
    arcp_responder arcp_;
    std::string wire_log_;
    std::mt19937 random_;
};

// 8 stable bytes from a text (FNV-1a 64, big-endian).
void lab_id_bytes(const std::string& text, uint8_t out[8]);
std::string lab_hex(const uint8_t* bytes, size_t n);

}  // namespace tavrin::sim
