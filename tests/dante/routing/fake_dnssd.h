#pragma once
// A scripted DNS-SD backend: every reference owns one end of a socket pair, and a
// reply scripted by the test becomes readable on it and runs inside
// dt_dnssd_process_reply, as with the real component.
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "dante/dnssd/dt_dnssd.h"

struct fake_dnssd {
    struct ref {
        dt_dnssd_ref_s base;
        fake_dnssd* owner;
        int fds[2];
        bool is_query;
        std::string name;
        uint32_t flags;
        uint32_t interface_index;
        dt_dnssd_resolve_reply resolve_reply;
        dt_dnssd_query_reply query_reply;
        void* context;
        std::deque<std::function<void()>> replies;
    };

    fake_dnssd() {
        backend.name = "fake";
        backend.self = this;
        backend.browse = [](const dt_dnssd_backend*, dt_dnssd_ref*, uint32_t, uint32_t, const char*,
                            const char*, dt_dnssd_browse_reply,
                            void*) -> dt_dnssd_error { return DT_DNSSD_ERR_UNSUPPORTED; };
        backend.resolve = [](const dt_dnssd_backend* b, dt_dnssd_ref* out, uint32_t flags,
                             uint32_t iface, const char* name, const char*, const char*,
                             dt_dnssd_resolve_reply reply, void* context) -> dt_dnssd_error {
            fake_dnssd* f = static_cast<fake_dnssd*>(b->self);
            if (f->fail_resolve) {
                return DT_DNSSD_ERR_UNKNOWN;
            }
            ref* r = f->make(false, name, flags, iface, context);
            r->resolve_reply = reply;
            *out = &r->base;
            return DT_DNSSD_NO_ERROR;
        };
        backend.query_record = [](const dt_dnssd_backend* b, dt_dnssd_ref* out, uint32_t flags,
                                  uint32_t iface, const char* name, uint16_t, uint16_t,
                                  dt_dnssd_query_reply reply, void* context) -> dt_dnssd_error {
            fake_dnssd* f = static_cast<fake_dnssd*>(b->self);
            ref* r = f->make(true, name, flags, iface, context);
            r->query_reply = reply;
            *out = &r->base;
            return DT_DNSSD_NO_ERROR;
        };
        backend.reconfirm_record = [](const dt_dnssd_backend*, uint32_t, uint32_t, const char*,
                                      uint16_t, uint16_t, uint16_t,
                                      const void*) -> dt_dnssd_error { return 0; };
        backend.ref_sock_fd = [](dt_dnssd_ref r) { return reinterpret_cast<ref*>(r)->fds[0]; };
        backend.process_result = [](dt_dnssd_ref base) -> dt_dnssd_error {
            ref* r = reinterpret_cast<ref*>(base);
            char byte;
            if (read(r->fds[0], &byte, 1) != 1 || r->replies.empty()) {
                return DT_DNSSD_ERR_UNKNOWN;
            }
            // In batch mode one read delivers every queued reply, as a daemon may.
            const bool all = r->owner->batch;
            do {
                auto reply = std::move(r->replies.front());
                r->replies.pop_front();
                reply();
            } while (all && !r->replies.empty() && read(r->fds[0], &byte, 1) == 1);
            return DT_DNSSD_NO_ERROR;
        };
        backend.ref_deallocate = [](dt_dnssd_ref base) {
            ref* r = reinterpret_cast<ref*>(base);
            close(r->fds[0]);
            close(r->fds[1]);
            r->owner->live.erase(std::find(r->owner->live.begin(), r->owner->live.end(), r));
            r->owner->deallocated.push_back(r->name);
            delete r;
        };
        previous = dt_dnssd_set_backend(&backend);
    }
    ~fake_dnssd() {
        dt_dnssd_set_backend(previous);
        for (ref* r : live) {
            close(r->fds[0]);
            close(r->fds[1]);
            delete r;
        }
    }

    ref* make(bool query, const char* name, uint32_t flags, uint32_t iface, void* context) {
        ref* r = new ref{};
        r->base.backend = &backend;
        r->owner = this;
        socketpair(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0, r->fds);
        r->is_query = query;
        r->name = name;
        r->flags = flags;
        r->interface_index = iface;
        r->context = context;
        live.push_back(r);
        return r;
    }

    ref* find(bool query) {
        for (ref* r : live) {
            if (r->is_query == query) {
                return r;
            }
        }
        return nullptr;
    }

    void push(ref* r, std::function<void()> reply) {
        r->replies.push_back(std::move(reply));
        (void)!write(r->fds[1], "x", 1);
    }

    // A resolve reply with a TXT record made of "key=value" strings.
    void resolve_reply(uint32_t iface, const std::string& host, uint16_t port,
                       const std::vector<std::string>& txt, dt_dnssd_error error = 0) {
        ref* r = find(false);
        ASSERT_NE(r, nullptr) << "no resolve running";
        std::vector<unsigned char> record;
        for (const std::string& s : txt) {
            record.push_back(static_cast<unsigned char>(s.size()));
            record.insert(record.end(), s.begin(), s.end());
        }
        push(r, [r, iface, host, port, record, error] {
            r->resolve_reply(&r->base, 0, iface, error, "full", host.c_str(), htons(port),
                             static_cast<uint16_t>(record.size()), record.data(), r->context);
        });
    }

    void query_reply(uint32_t iface, std::vector<uint8_t> rdata) {
        ref* r = find(true);
        ASSERT_NE(r, nullptr) << "no query running";
        push(r, [r, iface, rdata] {
            r->query_reply(&r->base, 0, iface, 0, r->name.c_str(), 1, 1,
                           static_cast<uint16_t>(rdata.size()), rdata.data(), 120, r->context);
        });
    }

    dt_dnssd_backend backend{};
    const dt_dnssd_backend* previous = nullptr;
    std::vector<ref*> live;
    std::vector<std::string> deallocated;
    bool fail_resolve = false;
    bool batch = false;
};
