#include "sim/dnssd_publisher.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/defs.h>
#include <avahi-common/domain.h>
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
            p->collided_ = state == AVAHI_ENTRY_GROUP_COLLISION;
        }
    }
};

namespace {

// A DNS name in wire form: length-prefixed labels, the instance label as it is (no
// escapes), the dotted parts as labels.
void append_labels(std::vector<uint8_t>& out, const std::string& dotted) {
    size_t start = 0;
    while (start < dotted.size()) {
        size_t dot = dotted.find('.', start);
        if (dot == std::string::npos) {
            dot = dotted.size();
        }
        if (dot > start) {
            out.push_back(static_cast<uint8_t>(dot - start));
            out.insert(out.end(), dotted.begin() + static_cast<long>(start),
                       dotted.begin() + static_cast<long>(dot));
        }
        start = dot + 1;
    }
}

std::vector<uint8_t> instance_wire_name(const std::string& name, const std::string& type) {
    std::vector<uint8_t> out;
    out.push_back(static_cast<uint8_t>(std::min<size_t>(name.size(), 63)));
    out.insert(out.end(), name.begin(), name.begin() + std::min<long>(name.size(), 63));
    append_labels(out, type + ".local");
    out.push_back(0);
    return out;
}

}  // namespace

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

void dnssd_registrar::recover() {
    if (!poll_) {
        return;
    }
    lock();
    const bool failed = failed_;
    unlock();
    if (!failed) {
        return;
    }
    // Entry groups of the failed client were released with its failure; the
    // publishers wait in waiting_ for the new client to run.
    avahi_threaded_poll_stop(poll_);
    avahi_client_free(client_);
    avahi_threaded_poll_free(poll_);
    poll_ = nullptr;
    client_ = nullptr;
    running_ = false;
    failed_ = false;
    if (int e = connect(); e < 0) {
        std::fprintf(stderr, "dnssd: cannot reach the Avahi daemon: %s\n", avahi_strerror(e));
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
    // poll thread exists. With NO_FAIL the client waits for a daemon that is not
    // there (yet, or any more) instead of failing.
    AvahiClient* client = avahi_client_new(avahi_threaded_poll_get(poll), AVAHI_CLIENT_NO_FAIL,
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
        if (lost_ && !waiting_.empty()) {
            std::fprintf(stderr,
                         "dnssd: the Avahi daemon is back: registering %zu services again\n",
                         waiting_.size());
        }
        lost_ = false;
        std::vector<dnssd_publisher*> waiting;
        waiting.swap(waiting_);
        for (dnssd_publisher* p : waiting) {
            if (int e = p->commit(); e < 0) {
                std::fprintf(stderr, "dnssd: cannot register '%s': %s\n", p->name_.c_str(),
                             avahi_strerror(e));
            }
        }
        return;
    }
    if (state == AVAHI_CLIENT_CONNECTING || state == AVAHI_CLIENT_FAILURE) {
        // The daemon went away and took every registration with it.
        if (!lost_) {
            std::fprintf(stderr, "dnssd: lost the Avahi daemon: %s\n",
                         avahi_strerror(avahi_client_errno(client)));
        }
        lost_ = true;
        failed_ = state == AVAHI_CLIENT_FAILURE;
        requeue_all();
    } else if (state == AVAHI_CLIENT_S_REGISTERING || state == AVAHI_CLIENT_S_COLLISION) {
        // The daemon's host records are being set up again: ours wait for them.
        requeue_all();
    }
}

void dnssd_registrar::requeue_all() {
    for (dnssd_publisher* p : wanted_) {
        p->release_group();
        if (std::find(waiting_.begin(), waiting_.end(), p) == waiting_.end()) {
            waiting_.push_back(p);
        }
    }
}

void dnssd_registrar::forget(dnssd_publisher* p) {
    waiting_.erase(std::remove(waiting_.begin(), waiting_.end(), p), waiting_.end());
    wanted_.erase(std::remove(wanted_.begin(), wanted_.end(), p), wanted_.end());
}

int dnssd_publisher::publish(const std::string& name, const std::string& type, uint16_t port,
                             const txt_entries& txt, bool resolvable) {
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
    resolvable_ = resolvable;
    wanted_ = true;
    registrar_.wanted_.push_back(this);
    const int e = commit();
    if (e < 0) {
        wanted_ = false;
        registrar_.forget(this);
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
    int e = 0;
    if (resolvable_) {
        // Parsed from the wire bytes so that the record keeps its entries and their order.
        AvahiStringList* list = nullptr;
        if (!txt_.empty() && avahi_string_list_parse(txt_.data(), txt_.size(), &list) < 0) {
            release_group();
            return AVAHI_ERR_INVALID_RECORD;
        }
        e = avahi_entry_group_add_service_strlst(group_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                                 static_cast<AvahiPublishFlags>(0), name_.c_str(),
                                                 type_.c_str(), nullptr, nullptr, port_, list);
        avahi_string_list_free(list);
    } else {
        // The instance alone: type.local PTR name.type.local.
        const std::vector<uint8_t> target = instance_wire_name(name_, type_);
        e = avahi_entry_group_add_record(
            group_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, static_cast<AvahiPublishFlags>(0),
            (type_ + ".local").c_str(), AVAHI_DNS_CLASS_IN, AVAHI_DNS_TYPE_PTR, AVAHI_DEFAULT_TTL,
            target.data(), target.size());
    }
    if (e >= 0) {
        e = avahi_entry_group_commit(group_);
    }
    if (e < 0) {
        release_group();
    }
    return e;
}

int dnssd_publisher::commit_records() {
    char full[AVAHI_DOMAIN_NAME_MAX];
    const char* host = avahi_client_get_host_name_fqdn(registrar_.client_);
    if (!host ||
        avahi_service_name_join(full, sizeof full, name_.c_str(), type_.c_str(), "local") < 0) {
        return AVAHI_ERR_INVALID_SERVICE_NAME;
    }
    records_group_ =
        avahi_entry_group_new(registrar_.client_, dnssd_avahi_callbacks::on_group, this);
    if (!records_group_) {
        return avahi_client_errno(registrar_.client_);
    }
    std::vector<uint8_t> srv = {
        0, 0, 0, 0, static_cast<uint8_t>(port_ >> 8), static_cast<uint8_t>(port_)};
    append_labels(srv, host);
    srv.push_back(0);
    const std::vector<uint8_t> txt = txt_.empty() ? std::vector<uint8_t>{0} : txt_;
    int e = avahi_entry_group_add_record(records_group_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                         AVAHI_PUBLISH_UNIQUE, full, AVAHI_DNS_CLASS_IN,
                                         AVAHI_DNS_TYPE_SRV, AVAHI_DEFAULT_TTL_HOST_NAME,
                                         srv.data(), srv.size());
    if (e >= 0) {
        e = avahi_entry_group_add_record(
            records_group_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AVAHI_PUBLISH_UNIQUE, full,
            AVAHI_DNS_CLASS_IN, AVAHI_DNS_TYPE_TXT, AVAHI_DEFAULT_TTL, txt.data(), txt.size());
    }
    if (e >= 0) {
        e = avahi_entry_group_commit(records_group_);
    }
    if (e < 0) {
        avahi_entry_group_free(records_group_);
        records_group_ = nullptr;
    }
    return e;
}

int dnssd_publisher::make_resolvable() {
    if (!registrar_.poll_) {
        return AVAHI_ERR_BAD_STATE;
    }
    registrar_.lock();
    int e = AVAHI_OK;
    if (!resolvable_) {
        resolvable_ = true;
        // Without the daemon the whole service is registered once it is back.
        if (group_ && registrar_.running_) {
            e = commit_records();
        }
    }
    registrar_.unlock();
    return e;
}

void dnssd_publisher::release_group() {
    if (records_group_) {
        avahi_entry_group_free(records_group_);
        records_group_ = nullptr;
    }
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

bool dnssd_publisher::take_collision() {
    if (!registrar_.poll_) {
        return false;
    }
    registrar_.lock();
    const bool c = collided_;
    collided_ = false;
    registrar_.unlock();
    return c;
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
