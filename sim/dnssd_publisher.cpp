#include "sim/dnssd_publisher.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/error.h>
#include <avahi-common/strlst.h>
#include <avahi-common/thread-watch.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tavrin::sim {

// Avahi calls these on its poll thread with the poll lock held.
struct dnssd_avahi_callbacks {
    static void on_client(AvahiClient* client, AvahiClientState state, void* userdata) {
        static_cast<dnssd_registrar*>(userdata)->on_client_state(client, state);
    }

    static void on_group(AvahiEntryGroup*, AvahiEntryGroupState state, void* userdata) {
        dnssd_publisher* p = static_cast<dnssd_publisher*>(userdata);
        if (state == AVAHI_ENTRY_GROUP_ESTABLISHED) {
            p->confirmed_ = true;
        } else if (state == AVAHI_ENTRY_GROUP_COLLISION || state == AVAHI_ENTRY_GROUP_FAILURE) {
            int error = avahi_client_errno(p->registrar_.client_);
            std::fprintf(stderr, "dnssd: registration of '%s' failed: %d\n", p->name_.c_str(),
                         state == AVAHI_ENTRY_GROUP_COLLISION ? AVAHI_ERR_COLLISION : error);
            // The group stays allocated until withdraw(); emptied, it advertises nothing.
            avahi_entry_group_reset(p->group_);
            p->confirmed_ = false;
        }
    }
};

void dnssd_quiet() {
    setenv("AVAHI_COMPAT_NOWARN", "1", 1);
}

std::vector<uint8_t> build_txt_record(const txt_entries& txt) {
    std::vector<uint8_t> out;
    for (const auto& [key, value] : txt) {
        std::string entry = key + "=" + value;
        if (entry.size() > 255) {
            entry.resize(255);
        }
        out.push_back(static_cast<uint8_t>(entry.size()));
        out.insert(out.end(), entry.begin(), entry.end());
    }
    return out;
}

dnssd_registrar::~dnssd_registrar() {
    if (poll_) {
        avahi_threaded_poll_stop(poll_);
    }
    if (client_) {
        avahi_client_free(client_);
    }
    if (poll_) {
        avahi_threaded_poll_free(poll_);
    }
}

int dnssd_registrar::connect() {
    if (poll_) {
        return client_ ? AVAHI_OK : AVAHI_ERR_DISCONNECTED;
    }
    AvahiThreadedPoll* poll = avahi_threaded_poll_new();
    if (!poll) {
        return AVAHI_ERR_NO_MEMORY;
    }
    int error = AVAHI_OK;
    // The state callback may run inside avahi_client_new, on this thread, before the
    // poll thread exists.
    AvahiClient* client =
        avahi_client_new(avahi_threaded_poll_get(poll), static_cast<AvahiClientFlags>(0),
                         dnssd_avahi_callbacks::on_client, this, &error);
    if (!client) {
        avahi_threaded_poll_free(poll);
        return error < 0 ? error : AVAHI_ERR_FAILURE;
    }
    if (avahi_threaded_poll_start(poll) < 0) {
        avahi_client_free(client);
        avahi_threaded_poll_free(poll);
        return AVAHI_ERR_FAILURE;
    }
    client_ = client;
    poll_ = poll;
    return AVAHI_OK;
}

void dnssd_registrar::lock() {
    avahi_threaded_poll_lock(poll_);
}

void dnssd_registrar::unlock() {
    avahi_threaded_poll_unlock(poll_);
}

void dnssd_registrar::on_client_state(AvahiClient* client, int state) {
    client_ = client;
    running_ = state == AVAHI_CLIENT_S_RUNNING;
    if (running_) {
        std::vector<dnssd_publisher*> waiting;
        waiting.swap(waiting_);
        for (dnssd_publisher* p : waiting) {
            if (int e = p->commit(); e < 0) {
                std::fprintf(stderr, "dnssd: cannot register '%s': %s\n", p->name_.c_str(),
                             avahi_strerror(e));
            }
        }
    } else if (state == AVAHI_CLIENT_FAILURE) {
        std::fprintf(stderr, "dnssd: lost the Avahi daemon: %s\n",
                     avahi_strerror(avahi_client_errno(client)));
    }
}

void dnssd_registrar::forget(dnssd_publisher* p) {
    waiting_.erase(std::remove(waiting_.begin(), waiting_.end(), p), waiting_.end());
}

int dnssd_publisher::publish(const std::string& name, const std::string& type, uint16_t port,
                             const txt_entries& txt) {
    withdraw();
    if (int e = registrar_.connect(); e < 0) {
        return e;
    }
    registrar_.lock();
    name_ = name;
    // Avahi takes the type without the trailing dot of the dns_sd.h form.
    type_ = !type.empty() && type.back() == '.' ? type.substr(0, type.size() - 1) : type;
    port_ = port;
    txt_ = build_txt_record(txt);
    wanted_ = true;
    const int e = commit();
    if (e < 0) {
        wanted_ = false;
    }
    registrar_.unlock();
    return e;
}

int dnssd_publisher::commit() {
    if (!registrar_.running_) {
        // Registered once the daemon has its host name.
        if (std::find(registrar_.waiting_.begin(), registrar_.waiting_.end(), this) ==
            registrar_.waiting_.end()) {
            registrar_.waiting_.push_back(this);
        }
        return AVAHI_OK;
    }
    release_group();
    group_ = avahi_entry_group_new(registrar_.client_, dnssd_avahi_callbacks::on_group, this);
    if (!group_) {
        return avahi_client_errno(registrar_.client_);
    }
    // Parsed from the wire bytes so that the record keeps its entries and their order.
    AvahiStringList* list = nullptr;
    if (!txt_.empty() && avahi_string_list_parse(txt_.data(), txt_.size(), &list) < 0) {
        release_group();
        return AVAHI_ERR_INVALID_RECORD;
    }
    int e = avahi_entry_group_add_service_strlst(group_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                                 static_cast<AvahiPublishFlags>(0), name_.c_str(),
                                                 type_.c_str(), nullptr, nullptr, port_, list);
    avahi_string_list_free(list);
    if (e >= 0) {
        e = avahi_entry_group_commit(group_);
    }
    if (e < 0) {
        release_group();
    }
    return e;
}

void dnssd_publisher::release_group() {
    if (group_) {
        avahi_entry_group_free(group_);
        group_ = nullptr;
    }
    confirmed_ = false;
}

void dnssd_publisher::withdraw() {
    if (!registrar_.poll_) {
        return;
    }
    registrar_.lock();
    registrar_.forget(this);
    release_group();
    wanted_ = false;
    registrar_.unlock();
}

bool dnssd_publisher::published() const {
    return wanted_;
}

bool dnssd_publisher::confirmed() const {
    if (!registrar_.poll_) {
        return false;
    }
    registrar_.lock();
    const bool c = confirmed_;
    registrar_.unlock();
    return c;
}

}  // namespace tavrin::sim
