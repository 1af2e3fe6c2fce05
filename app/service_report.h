#pragma once
// What the core does when a service the tool depends on goes or comes back: the
// message list hears of it once, however many amplifiers are connected, and every
// session whose amplifier can no longer be reached through a lost ConMon server
// closes its link ("Disconnected from ..."), so that its poll's probe opens it again
// ("Connected to ...") once the library has reconnected. The window and tavrin-cli
// show the same lines.
#include <cstdint>
#include <string>

#include "link/session_directory.h"
#include "link/session_events.h"
#include "qxapi/service_watch.h"

namespace tavrin {

// The lines of the message list (and the texts tavrin-cli's errors start with).
inline constexpr const char* server_lost_text = "Lost the connection to the ConMon server";
inline constexpr const char* server_back_text = "Connected to the ConMon server again";
inline constexpr const char* server_unreachable_text = "ConMon server not reachable";
inline constexpr const char* dnssd_not_running_text = "avahi-daemon not running";
inline constexpr const char* dnssd_lost_text =
    "avahi-daemon stopped: no devices are found until it runs again";
inline constexpr const char* dnssd_back_text =
    "avahi-daemon runs again: a new search finds devices again";

// " (3 answers came corrupted: a bad checksum or length)", empty for none.
std::string corrupted_note(uint64_t corrupted_answers);
// "no answer from NAME" and the note.
std::string no_answer_text(const std::string& name, uint64_t corrupted_answers);

class service_report : public service_watch {
  public:
    service_report(session_directory& sessions, session_events& events)
        : sessions_(sessions), events_(events) {}

    // Socket thread, library lock held: requests to the sessions and events only.
    void conmon_server_lost() override;
    void conmon_server_back() override;
    void dnssd_service_lost() override;

  private:
    session_directory& sessions_;
    session_events& events_;
};

}  // namespace tavrin
