#include "cli/reach.h"

#include "app/brand_rule.h"
#include "app/service_report.h"
#include "cli/exit_codes.h"
#include "qxapi/error_message.h"

namespace tavrin::cli {
namespace {

reach_outcome unreachable(std::string message) {
    reach_outcome out;
    out.code = exit_unreachable;
    out.message = std::move(message);
    return out;
}

}  // namespace

reach_outcome services_outcome(aud_error_t browse, server_state server, aud_error_t connect_error,
                               bool subscribed) {
    // Without DNS-SD the runtime does not come up at all, so this is told first.
    if (browse == AUD_ERR_NOTRUNNING)
        return unreachable(dnssd_not_running_text);
    if (browse != AUD_SUCCESS)
        return unreachable("cannot browse for devices (" + error_message(browse) + ")");
    switch (server) {
        case server_state::connected:
            break;
        case server_state::refused:
            return unreachable(std::string(server_unreachable_text) +
                               " (127.0.0.1:8900: " + error_message(connect_error) + ")");
        case server_state::lost:
            return unreachable(server_lost_text);
        case server_state::none:
        case server_state::connecting:
            return unreachable(std::string(server_unreachable_text) + " (no answer)");
    }
    if (!subscribed) {
        return unreachable(std::string(server_unreachable_text) +
                           " (it did not answer the subscription to the devices)");
    }
    return {};
}

reach_outcome device_outcome(const std::string& name, const device_probe& probe) {
    reach_outcome out;
    out.device = probe.own_name.empty() ? name : probe.own_name;
    if (probe.facts) {
        out.manufacturer = probe.facts->manufacturer_name;
        out.model = probe.facts->model_name;
    }
    // A probe that could not be sent (a name the send refuses) tells nothing.
    if (!probe.sent.sent())
        return out;
    switch (probe.answer) {
        case AUD_ERR_NOTFOUND:
            out.code = exit_no_such_device;
            out.message = name + ": no such device on the network";
            return out;
        case AUD_ERR_NOTCONN:
        case AUD_ERR_INVALIDSTATE:
            out.code = exit_unreachable;
            out.message = name + ": " + server_lost_text;
            return out;
        default:
            break;
    }
    if (!out.model.empty() && out.model != brand_model) {
        out.code = exit_not_an_amplifier;
        out.message = name + ": not a " + std::string(brand_model) + " (" +
                      (out.manufacturer.empty() ? "" : out.manufacturer + " ") + out.model + ")";
    }
    return out;
}

}  // namespace tavrin::cli
