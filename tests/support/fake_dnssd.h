#pragma once
// A scripted DNS-SD backend for unit tests. While alive it replaces the library's
// DNS-SD layer; every browse, resolve and query it is asked for gets a socket pair,
// and a test delivers replies through it: each reply makes the reference's socket
// readable and is handed to the reply handler when the library processes it.
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "dante/dnssd/dt_dnssd.h"

namespace tavrin::testing {

class fake_dnssd {
  public:
    enum class kind { browse, resolve, query };

    struct ref : dt_dnssd_ref_s {
        fake_dnssd* owner = nullptr;
        kind what = kind::browse;
        uint32_t flags = 0;
        uint32_t interface_index = 0;
        std::string name;  // instance (resolve) or full name (query)
        std::string type;
        std::string domain;
        uint16_t rrtype = 0;
        uint16_t rrclass = 0;
        dt_dnssd_browse_reply browse_reply = nullptr;
        dt_dnssd_resolve_reply resolve_reply = nullptr;
        dt_dnssd_query_reply query_reply = nullptr;
        void* context = nullptr;
        int fds[2] = {-1, -1};
        std::deque<std::function<void()>> replies;
        bool processing = false;
        bool release_pending = false;
        bool released = false;
    };

    struct reconfirm {
        uint32_t flags;
        uint32_t interface_index;
        std::string full_name;
        uint16_t rrtype;
        uint16_t rrclass;
        uint16_t rdlen;
    };

    fake_dnssd() {
        backend_ = {"fake",        this,        &do_browse,  &do_resolve,   &do_query,
                    &do_reconfirm, &do_sock_fd, &do_process, &do_deallocate};
        previous_ = dt_dnssd_set_backend(&backend_);
    }
    ~fake_dnssd() {
        dt_dnssd_set_backend(previous_);
        for (auto& r : refs_) {
            close_fds(*r);
        }
    }
    fake_dnssd(const fake_dnssd&) = delete;
    fake_dnssd& operator=(const fake_dnssd&) = delete;

    // The next browse, resolve or query fails with this DNS-SD error.
    dt_dnssd_error fail_next_browse = DT_DNSSD_NO_ERROR;
    dt_dnssd_error fail_next_resolve = DT_DNSSD_NO_ERROR;
    dt_dnssd_error fail_next_query = DT_DNSSD_NO_ERROR;
    dt_dnssd_error reconfirm_result = DT_DNSSD_NO_ERROR;
    // Browses of this type fail with DT_DNSSD_ERR_UNKNOWN.
    std::string fail_browse_type;
    // One processing call delivers every queued reply of the reference, as a daemon
    // may when several answers arrived together.
    bool deliver_all = false;

    const std::vector<reconfirm>& reconfirms() const { return reconfirms_; }

    // Every reference ever made, oldest first; released ones stay for inspection.
    std::vector<ref*> all(kind what) const {
        std::vector<ref*> out;
        for (auto& r : refs_) {
            if (r->what == what) {
                out.push_back(r.get());
            }
        }
        return out;
    }
    std::vector<ref*> live(kind what) const {
        std::vector<ref*> out;
        for (ref* r : all(what)) {
            if (!r->released) {
                out.push_back(r);
            }
        }
        return out;
    }
    ref* live_browse(const std::string& type) const {
        for (ref* r : live(kind::browse)) {
            if (r->type == type) {
                return r;
            }
        }
        return nullptr;
    }
    ref* live_resolve(const std::string& name, uint32_t interface_index) const {
        for (ref* r : live(kind::resolve)) {
            if (r->name == name && r->interface_index == interface_index) {
                return r;
            }
        }
        return nullptr;
    }

    void browse_reply(ref* r, uint32_t flags, uint32_t interface_index, const std::string& name,
                      const std::string& type, dt_dnssd_error error = DT_DNSSD_NO_ERROR) {
        post(r, [=] {
            r->browse_reply(r, flags, interface_index, error, name.c_str(), type.c_str(), "local.",
                            r->context);
        });
    }
    // port in host order; the handler receives it in network order.
    void resolve_reply(ref* r, uint32_t interface_index, const std::string& host, uint16_t port,
                       const std::string& txt, dt_dnssd_error error = DT_DNSSD_NO_ERROR) {
        post(r, [=] {
            const std::string full = r->name + "." + r->type + "local.";
            const uint16_t net_port = static_cast<uint16_t>((port & 0xFF) << 8 | port >> 8);
            r->resolve_reply(r, 0, interface_index, error, full.c_str(), host.c_str(), net_port,
                             static_cast<uint16_t>(txt.size()),
                             reinterpret_cast<const unsigned char*>(txt.data()), r->context);
        });
    }
    void query_reply(ref* r, uint32_t flags, uint32_t interface_index, const std::string& rdata,
                     dt_dnssd_error error = DT_DNSSD_NO_ERROR) {
        post(r, [=] {
            r->query_reply(r, flags, interface_index, error, r->name.c_str(), r->rrtype, r->rrclass,
                           static_cast<uint16_t>(rdata.size()), rdata.data(), 120, r->context);
        });
    }
    // Makes the socket readable without a reply behind it.
    void poke(ref* r) {
        const char b = 0;
        (void)!write(r->fds[1], &b, 1);
    }

    // A TXT record from "key=value" strings.
    static std::string txt(std::initializer_list<std::string> items) {
        std::string out;
        for (const std::string& s : items) {
            out.push_back(static_cast<char>(s.size()));
            out += s;
        }
        return out;
    }

  private:
    void post(ref* r, std::function<void()> fn) {
        r->replies.push_back(std::move(fn));
        poke(r);
    }

    static void close_fds(ref& r) {
        for (int& fd : r.fds) {
            if (fd >= 0) {
                close(fd);
                fd = -1;
            }
        }
    }

    static fake_dnssd* self(const dt_dnssd_backend* b) { return static_cast<fake_dnssd*>(b->self); }

    ref* make(kind what, uint32_t flags, uint32_t interface_index, void* context) {
        auto r = std::make_unique<ref>();
        r->backend = &backend_;
        r->owner = this;
        r->what = what;
        r->flags = flags;
        r->interface_index = interface_index;
        r->context = context;
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, r->fds) != 0) {
            return nullptr;
        }
        refs_.push_back(std::move(r));
        return refs_.back().get();
    }

    static dt_dnssd_error take(dt_dnssd_error& fail) {
        const dt_dnssd_error e = fail;
        fail = DT_DNSSD_NO_ERROR;
        return e;
    }

    static dt_dnssd_error do_browse(const dt_dnssd_backend* b, dt_dnssd_ref* out, uint32_t flags,
                                    uint32_t interface_index, const char* type, const char* domain,
                                    dt_dnssd_browse_reply reply, void* context) {
        fake_dnssd* f = self(b);
        if (const dt_dnssd_error e = take(f->fail_next_browse)) {
            return e;
        }
        if (f->fail_browse_type == type) {
            return DT_DNSSD_ERR_UNKNOWN;
        }
        ref* r = f->make(kind::browse, flags, interface_index, context);
        r->type = type;
        r->domain = domain ? domain : "";
        r->browse_reply = reply;
        *out = r;
        return DT_DNSSD_NO_ERROR;
    }

    static dt_dnssd_error do_resolve(const dt_dnssd_backend* b, dt_dnssd_ref* out, uint32_t flags,
                                     uint32_t interface_index, const char* name, const char* type,
                                     const char* domain, dt_dnssd_resolve_reply reply,
                                     void* context) {
        fake_dnssd* f = self(b);
        if (const dt_dnssd_error e = take(f->fail_next_resolve)) {
            return e;
        }
        ref* r = f->make(kind::resolve, flags, interface_index, context);
        r->name = name;
        r->type = type;
        r->domain = domain;
        r->resolve_reply = reply;
        *out = r;
        return DT_DNSSD_NO_ERROR;
    }

    static dt_dnssd_error do_query(const dt_dnssd_backend* b, dt_dnssd_ref* out, uint32_t flags,
                                   uint32_t interface_index, const char* full_name, uint16_t rrtype,
                                   uint16_t rrclass, dt_dnssd_query_reply reply, void* context) {
        fake_dnssd* f = self(b);
        if (const dt_dnssd_error e = take(f->fail_next_query)) {
            return e;
        }
        ref* r = f->make(kind::query, flags, interface_index, context);
        r->name = full_name;
        r->rrtype = rrtype;
        r->rrclass = rrclass;
        r->query_reply = reply;
        *out = r;
        return DT_DNSSD_NO_ERROR;
    }

    static dt_dnssd_error do_reconfirm(const dt_dnssd_backend* b, uint32_t flags,
                                       uint32_t interface_index, const char* full_name,
                                       uint16_t rrtype, uint16_t rrclass, uint16_t rdlen,
                                       const void*) {
        fake_dnssd* f = self(b);
        f->reconfirms_.push_back({flags, interface_index, full_name, rrtype, rrclass, rdlen});
        return f->reconfirm_result;
    }

    static int do_sock_fd(dt_dnssd_ref sd) { return static_cast<ref*>(sd)->fds[0]; }

    static dt_dnssd_error do_process(dt_dnssd_ref sd) {
        ref* r = static_cast<ref*>(sd);
        char b;
        if (read(r->fds[0], &b, 1) != 1) {
            return DT_DNSSD_ERR_UNKNOWN;
        }
        if (r->replies.empty()) {
            return DT_DNSSD_NO_ERROR;
        }
        r->processing = true;
        do {
            auto fn = std::move(r->replies.front());
            r->replies.pop_front();
            fn();
        } while (r->owner->deliver_all && !r->release_pending && !r->replies.empty() &&
                 read(r->fds[0], &b, 1) == 1);
        r->processing = false;
        if (r->release_pending) {
            r->released = true;
            close_fds(*r);
        }
        return DT_DNSSD_NO_ERROR;
    }

    static void do_deallocate(dt_dnssd_ref sd) {
        ref* r = static_cast<ref*>(sd);
        if (r->processing) {
            r->release_pending = true;
            return;
        }
        r->released = true;
        close_fds(*r);
    }

    dt_dnssd_backend backend_{};
    const dt_dnssd_backend* previous_ = nullptr;
    std::vector<std::unique_ptr<ref>> refs_;
    std::vector<reconfirm> reconfirms_;
};

}  // namespace tavrin::testing
