#pragma once
// Which session hears which device: every body the ConMon client receives is handed,
// on the network thread, to the session whose amplifier sent it, found by the
// sender's name as the session matches it. One directory serves every session of the
// process over one ConMon client.
//
// Lock order: the library lock (held by the network thread) -> the directory -> a
// session's inbox. Removing a session waits for a delivery to it under way.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "link/amp_session.h"
#include "qxapi/amp_message_sink.h"

namespace tavrin {

class session_directory : public amp_message_sink {
  public:
    void add(amp_session& session);
    void remove(amp_session& session);

    // The network thread: the body goes to the sessions whose amplifier sent it (the
    // exact name the session matches answers against). Returns how the one that took
    // it judged it, wrong_sender when no session did.
    receive_status deliver(const char* sender, const uint8_t* body, size_t size, bool amp_vendor);
    void on_amp_message(const char* sender, const uint8_t* body, size_t size,
                        bool amp_vendor) override {
        deliver(sender, body, size, amp_vendor);
    }

    // Every session hears that the ConMon server went away, or is back.
    void server_lost();
    void server_back();

    size_t size() const;

  private:
    mutable std::mutex mutex_;
    std::vector<amp_session*> sessions_;
};

}  // namespace tavrin
