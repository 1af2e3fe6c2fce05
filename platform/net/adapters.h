#pragma once
// The machine's network adapters as the Network Interface window and
// `tavrin-cli interfaces` show them: one entry per adapter in the system's own order
// (interface index), with the name a person knows it by, its first IPv4 address and
// its hardware address as text; the loopback is no Dante interface and is left out.
// Read from getifaddrs and /sys/class/net.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tavrin {

// What kind of adapter it is, from /sys (same numbers as the control library's
// interface categories).
enum class adapter_kind : uint8_t {
    unknown = 0,
    other = 1,  // wired, and anything not listed below
    loopback = 2,
    wireless = 3,
    virtual_link = 4,  // no device behind it: veth, bridge, tunnel
    firewire = 5,
    bluetooth = 6,
};

const char* adapter_kind_name(adapter_kind kind);

struct adapter_info {
    uint32_t index = 0;         // interface index, as the browse takes it
    std::string name;           // the kernel's name ("eth0")
    std::string friendly_name;  // its alias when one is set, else its name; at most 255 bytes
    std::string description;    // not shown
    adapter_kind kind = adapter_kind::unknown;
    std::string ip;   // first IPv4 address, dotted decimal; empty when none
    std::string mac;  // "00:1A:2B:3C:4D:5E"; empty when the adapter has none
};

// Where the adapter list comes from; tests give a fixed list.
class adapter_source {
  public:
    virtual ~adapter_source() = default;
    // The adapters in the system's order, the loopback left out; empty when the list
    // cannot be read.
    virtual std::vector<adapter_info> adapters() = 0;
};

class system_adapters : public adapter_source {
  public:
    // `sys_class_net` is where the per-adapter folders are read (tests point it
    // elsewhere).
    explicit system_adapters(std::string sys_class_net = "/sys/class/net")
        : sys_root_(std::move(sys_class_net)) {}
    std::vector<adapter_info> adapters() override;

  private:
    std::string sys_root_;
};

// The program's adapter source (the system's).
adapter_source& platform_adapters();

// Each byte as two upper-case hexadecimal digits, separated by ":".
std::string mac_text(const uint8_t* bytes, size_t count);

// The kind of adapter `name` from the folder `sys_class_net`/`name`.
adapter_kind classify_adapter(const std::string& sys_class_net, const std::string& name,
                              bool loopback);

// An alias as the friendly name: cut at the first line end and at `max_bytes`
// without splitting a UTF-8 character.
std::string friendly_name_of(const std::string& alias, const std::string& name,
                             size_t max_bytes = 255);

}  // namespace tavrin
