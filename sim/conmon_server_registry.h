#pragma once
// The devices conmon-server knows, as DNS-SD resolved them: name, ConMon address
// and instance id. Names are compared without regard to case, as DNS-SD does.
#include <netinet/in.h>

#include <optional>
#include <string>
#include <vector>

#include "dante/conmon/conmon_wire.h"

namespace tavrin::sim {

struct server_device {
    std::string name;
    sockaddr_in address{};
    conmon_instance_id_t instance{};
    bool instance_valid = false;
};

class conmon_server_registry {
  public:
    enum class change { added, updated, unchanged };

    change put(const server_device& device);
    // False when the name was not known.
    bool remove(const std::string& name);

    const server_device* find(const std::string& name) const;
    const server_device* find_by_address(const sockaddr_in& address) const;
    const server_device* find_by_instance(const conmon_instance_id_t& instance) const;
    const std::vector<server_device>& devices() const { return devices_; }

  private:
    std::vector<server_device> devices_;
};

bool same_name(const std::string& a, const std::string& b);
bool same_endpoint(const sockaddr_in& a, const sockaddr_in& b);

// The TXT fields conmon-server reads: "id" (16 hex digits) and "process" (decimal).
// False when either is missing or malformed.
bool parse_instance_txt(const uint8_t* txt, size_t size, conmon_instance_id_t& out);

}  // namespace tavrin::sim
