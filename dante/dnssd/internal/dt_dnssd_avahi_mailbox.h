#pragma once
// The replies of one DNS-SD reference on their way from Avahi's poll thread to the
// thread that owns the reference. The owner's loop watches fd(): it is readable
// exactly while replies are queued.
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "dante/dnssd/dt_dnssd.h"

struct dt_avahi_reply {
    uint32_t flags = 0;
    uint32_t interface_index = 0;
    dt_dnssd_error error = DT_DNSSD_NO_ERROR;
    std::string name;    // instance (browse) or full name (resolve, query)
    std::string type;    // browse: service type; resolve: host target
    std::string domain;  // browse only
    uint16_t port = 0;   // resolve, network order
    uint16_t rrtype = 0;
    uint16_t rrclass = 0;
    std::vector<uint8_t> bytes;  // resolve: TXT record; query: rdata
};

class dt_avahi_mailbox {
  public:
    dt_avahi_mailbox() = default;
    dt_avahi_mailbox(const dt_avahi_mailbox&) = delete;
    dt_avahi_mailbox& operator=(const dt_avahi_mailbox&) = delete;
    ~dt_avahi_mailbox();

    // Creates the socket pair; false when the process is out of descriptors.
    bool open();
    int fd() const { return fds_[0]; }

    // Any thread.
    void post(dt_avahi_reply&& reply);
    // The owner: every queued reply, oldest first; the socket stops being readable.
    std::deque<dt_avahi_reply> take();

  private:
    int fds_[2] = {-1, -1};  // [0] watched by the owner, [1] written by post()
    std::mutex lock_;
    std::deque<dt_avahi_reply> queue_;
};
