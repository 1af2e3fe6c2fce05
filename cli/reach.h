#pragma once
// Whether tavrin-cli can reach what it needs before it sends anything to an
// amplifier: avahi-daemon and the ConMon server (else exit 9), and the named device,
// which the server must know (else 7, answered at once) and which must not say it is
// another model than a TAVRIN-PA22 (else 8). A device that exists but stays silent
// passes here; waiting for its answer tells "no answer" (2).
#include <string>

#include "app/service_report.h"

#include "qxapi/conmon_link.h"

namespace tavrin::cli {

struct reach_outcome {
    int code = 0;         // an exit code; 0: go on
    std::string message;  // why not, for standard error (empty when code is 0)
    std::string hint;     // what to try, a line of its own after the message (may be empty)
    // What the device told of itself (empty: not told).
    std::string manufacturer;
    std::string model;
    // The device's own spelling of the name asked for (DNS-SD names are case-blind,
    // its answers carry this one); the name asked for when it did not say.
    std::string device;

    bool ok() const { return code == 0; }
};

// The services after the runtime started: the browse's status, the ConMon client's
// connection, the reason a connect failed and whether the subscription was answered.
reach_outcome services_outcome(aud_error_t browse, server_state server, aud_error_t connect_error,
                               bool subscribed);

// The device NAME after a probe.
reach_outcome device_outcome(const std::string& name, const device_probe& probe);

// The texts of a silent amplifier (the fleet jobs say the same).
using tavrin::corrupted_note;
using tavrin::no_answer_text;

}  // namespace tavrin::cli
