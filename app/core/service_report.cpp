#include "app/core/service_report.h"

namespace tavrin {

void service_report::conmon_server_lost() {
    events_.log_line(server_lost_text);
    // Answers cannot come now; waiting for four missed polls would only hide why. A
    // firmware transfer keeps its own time-outs and is left alone.
    if (flags_.link_open.load() && !flags_.update_mode.load()) {
        flags_.connect_flag.store(false);
        flags_.disconnect_request.store(true);
    }
}

void service_report::conmon_server_back() {
    events_.log_line(server_back_text);
}

void service_report::dnssd_service_lost() {
    events_.log_line(dnssd_lost_text);
}

}  // namespace tavrin
