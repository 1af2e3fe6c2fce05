#pragma once
// What the main window needs from the device search. The real one runs the wrapper's
// discovery flow; tests give the window a scripted one.
#include <string>
#include <vector>

#include <cstdint>

#include "app/brand_rule.h"

namespace tavrin {

class discovery_port {
  public:
    virtual ~discovery_port() = default;

    // Starts the short-lived thread that stops the runtime and starts a new one.
    virtual void restart_runtime() = 0;
    // End of the scan: ping sweep, the information requests to every active device,
    // and the names the rule admits, sorted.
    virtual std::vector<std::string> end_of_scan(brand_rule rule) = 0;
    // The brand filter changed: ping sweep and the names the new rule admits.
    virtual std::vector<std::string> refill(brand_rule rule) = 0;
    // Takes effect at the next restart.
    virtual void select_interfaces(uint32_t primary, uint32_t secondary) = 0;
};

}  // namespace tavrin
