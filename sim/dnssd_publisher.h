#pragma once
// One DNS-SD service registration through the dns_sd.h interface (Avahi's
// compatibility library in the lab). Each registration owns one socket that the
// owner's loop watches and hands back to process().
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tavrin::sim {

using txt_entries = std::vector<std::pair<std::string, std::string>>;

class dnssd_publisher {
  public:
    dnssd_publisher() = default;
    dnssd_publisher(const dnssd_publisher&) = delete;
    dnssd_publisher& operator=(const dnssd_publisher&) = delete;
    ~dnssd_publisher() { withdraw(); }

    // Registers name.type.local on port (host order). Returns the DNS-SD error (0 = ok).
    // A registration already in place is withdrawn first.
    int publish(const std::string& name, const std::string& type, uint16_t port,
                const txt_entries& txt);
    void withdraw();

    bool published() const { return ref_ != nullptr; }
    // -1 when nothing is published.
    int socket() const;
    // Reads the daemon's replies; a failed registration withdraws itself.
    void process();
    // The daemon confirmed the registration.
    bool confirmed() const { return confirmed_; }

  private:
    void* ref_ = nullptr;  // DNSServiceRef
    bool confirmed_ = false;
    std::string name_;

    friend struct dnssd_publisher_access;
};

// The TXT record bytes (length-prefixed "key=value" strings); entries over 255
// bytes are cut. Exposed for tests.
std::vector<uint8_t> build_txt_record(const txt_entries& txt);

// Makes the compatibility library quiet; call before the first DNS-SD call.
void dnssd_quiet();

}  // namespace tavrin::sim
