#include "app/service_report.h"

namespace tavrin {

void service_report::conmon_server_lost() {
    events_.log_line(server_lost_text);
    // Answers cannot come now; waiting for four missed polls would only hide why.
    sessions_.server_lost();
}

void service_report::conmon_server_back() {
    events_.log_line(server_back_text);
    sessions_.server_back();
}

void service_report::dnssd_service_lost() {
    events_.log_line(dnssd_lost_text);
}

std::string corrupted_note(uint64_t corrupted_answers) {
    if (corrupted_answers == 0)
        return {};
    return " (" + std::to_string(corrupted_answers) +
           (corrupted_answers == 1 ? " answer" : " answers") +
           " came corrupted: a bad checksum or length)";
}

std::string no_answer_text(const std::string& name, uint64_t corrupted_answers) {
    return "no answer from " + name + corrupted_note(corrupted_answers);
}

}  // namespace tavrin
