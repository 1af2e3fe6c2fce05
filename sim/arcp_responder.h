#pragma once
// The ARCP side of a virtual device: request bytes in, response bytes out. It
// answers ping, capabilities, names, set name, properties, available properties, TX
// and RX channels (and empty label and flow lists); the layouts are those of
// sim/README.md ("ARCP"). No sockets: device_host carries the datagrams and
// re-registers the DNS-SD services after a rename.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::sim {

struct arcp_identity {
    std::string name;
    uint16_t version = 0x2729;  // "2.7.41"
    std::vector<std::string> tx_channels{"01", "02"};
    std::vector<std::string> rx_channels{"01", "02"};
    uint32_t sample_rate = 48000;
    uint16_t encoding = 24;
    std::string clock_subdomain = "_DFLT";
};

class arcp_responder {
  public:
    explicit arcp_responder(arcp_identity identity);

    // One request datagram. Empty when nothing is to be sent back (not a request, or
    // malformed).
    std::vector<uint8_t> on_request(const uint8_t* data, size_t size);

    const std::string& name() const { return name_; }
    // Set by a successful rename; the host clears it once it has re-registered.
    bool renamed() const { return renamed_; }
    void clear_renamed() { renamed_ = false; }
    // The device advertises another name than its own (another device had it): the
    // capabilities say so (capability flag bit 17, name conflict).
    void set_name_conflict(bool on) { name_conflict_ = on; }

    // Records per channel answer; more channels continue in a further answer.
    static constexpr size_t max_records = 16;

  private:
    std::string name_;
    arcp_identity identity_;
    bool renamed_ = false;
    bool name_conflict_ = false;
};

// "%u.%u.%u" as ARCP packs it; 0 when the text is not of that form.
uint16_t arcp_pack_version(const std::string& text);

}  // namespace tavrin::sim
