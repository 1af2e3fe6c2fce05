#include "sim/dnssd_browser.h"

#include <arpa/inet.h>
#include <dns_sd.h>
#include <net/if.h>
#include <netdb.h>
#include <poll.h>

#include <cstdio>
#include <cstring>

#include "sim/lab_loop.h"

namespace tavrin::sim {
namespace {

constexpr uint64_t retry_ms = 2000;

}  // namespace

struct dnssd_browser_access {
    static void browse(dnssd_browser* b, DNSServiceFlags flags, uint32_t interface,
                       DNSServiceErrorType error, const char* name) {
        b->on_browse(flags, interface, error, name);
    }
    static void resolve(dnssd_browser* b, const std::string& name, uint32_t interface,
                        DNSServiceErrorType error, const char* host, uint16_t port,
                        uint16_t txt_len, const unsigned char* txt) {
        b->on_resolve(name, interface, error, host, port, txt_len, txt);
    }
};

namespace {

void DNSSD_API browse_reply(DNSServiceRef, DNSServiceFlags flags, uint32_t interface,
                            DNSServiceErrorType error, const char* name, const char*, const char*,
                            void* context) {
    dnssd_browser_access::browse(static_cast<dnssd_browser*>(context), flags, interface, error,
                                 name);
}

void DNSSD_API resolve_reply(DNSServiceRef, DNSServiceFlags, uint32_t interface,
                             DNSServiceErrorType error, const char*, const char* host,
                             uint16_t port, uint16_t txt_len, const unsigned char* txt,
                             void* context) {
    auto* ctx = static_cast<dnssd_browser::resolve_context*>(context);
    // The callback may end the resolve and with it the context: copy first.
    std::string name = ctx->name;
    dnssd_browser_access::resolve(ctx->browser, name, interface, error, host, ntohs(port), txt_len,
                                  txt);
}

// DNSServiceProcessResult blocks until its reference has something to read. A
// callback can end one reference and start another that reuses the same socket
// number within one loop pass, so a socket that was readable when the loop polled
// may belong to a new, idle reference by the time we get to it: check again.
bool readable_now(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

}  // namespace

dnssd_browser::dnssd_browser(std::string type, up_callback up, down_callback down,
                             sockets_callback sockets)
    : type_(std::move(type)),
      up_(std::move(up)),
      down_(std::move(down)),
      sockets_changed_(std::move(sockets)),
      loopback_(if_nametoindex("lo")) {}

dnssd_browser::~dnssd_browser() {
    stop();
}

int dnssd_browser::start() {
    failed_ = false;
    DNSServiceRef ref = nullptr;
    DNSServiceErrorType error =
        DNSServiceBrowse(&ref, 0, 0, type_.c_str(), "local", browse_reply, this);
    if (error != kDNSServiceErr_NoError) {
        failed_ = true;  // tried again by the owner
        return error;
    }
    browse_ = ref;
    return 0;
}

void dnssd_browser::stop() {
    for (auto& [name, inst] : instances_) {
        end_resolve(inst);
    }
    instances_.clear();
    if (browse_) {
        DNSServiceRefDeallocate(static_cast<DNSServiceRef>(browse_));
        browse_ = nullptr;
    }
}

std::vector<int> dnssd_browser::sockets() const {
    std::vector<int> fds;
    if (browse_) {
        fds.push_back(DNSServiceRefSockFD(static_cast<DNSServiceRef>(browse_)));
    }
    for (const auto& [name, inst] : instances_) {
        if (inst.resolve) {
            fds.push_back(DNSServiceRefSockFD(static_cast<DNSServiceRef>(inst.resolve)));
        }
    }
    return fds;
}

void dnssd_browser::process(int fd) {
    if (!readable_now(fd)) {
        return;
    }
    if (browse_ && DNSServiceRefSockFD(static_cast<DNSServiceRef>(browse_)) == fd) {
        if (DNSServiceProcessResult(static_cast<DNSServiceRef>(browse_)) !=
                kDNSServiceErr_NoError &&
            !failed_) {
            std::fprintf(stderr, "conmon-server: DNS-SD browse failed\n");
            failed_ = true;
        }
        return;
    }
    for (auto& [name, inst] : instances_) {
        if (inst.resolve && DNSServiceRefSockFD(static_cast<DNSServiceRef>(inst.resolve)) == fd) {
            if (DNSServiceProcessResult(static_cast<DNSServiceRef>(inst.resolve)) !=
                kDNSServiceErr_NoError) {
                inst.resolve_done = true;
                if (!inst.resolved) {
                    inst.retry_at = lab_loop::now_ms() + retry_ms;
                }
            }
            sweep_resolves();
            return;
        }
    }
}

void dnssd_browser::start_resolve(const std::string& name, instance& inst, uint32_t interface) {
    end_resolve(inst);
    auto ctx = std::make_unique<resolve_context>(resolve_context{this, name});
    DNSServiceRef ref = nullptr;
    if (DNSServiceResolve(&ref, 0, interface, name.c_str(), type_.c_str(), "local", resolve_reply,
                          ctx.get()) != kDNSServiceErr_NoError) {
        std::fprintf(stderr, "conmon-server: cannot resolve '%s'\n", name.c_str());
        return;
    }
    inst.resolve = ref;
    inst.context = std::move(ctx);
    inst.resolve_interface = interface;
    sockets_changed_();
}

void dnssd_browser::sweep_resolves() {
    bool changed = false;
    for (auto& [name, inst] : instances_) {
        if (inst.resolve_done) {
            end_resolve(inst);
            changed = true;
        }
    }
    if (changed) {
        sockets_changed_();
    }
}

void dnssd_browser::end_resolve(instance& inst) {
    inst.resolve_done = false;
    if (inst.resolve) {
        DNSServiceRefDeallocate(static_cast<DNSServiceRef>(inst.resolve));
        inst.resolve = nullptr;
    }
    inst.context.reset();
}

void dnssd_browser::tick(uint64_t now_ms) {
    for (auto& [name, inst] : instances_) {
        if (!inst.resolved && !inst.resolve && inst.retry_at != 0 && inst.retry_at <= now_ms) {
            inst.retry_at = 0;
            start_resolve(name, inst, inst.resolve_interface);
        }
    }
}

void dnssd_browser::on_browse(uint32_t flags, uint32_t interface, int error, const char* name) {
    if (error != kDNSServiceErr_NoError || name == nullptr) {
        std::fprintf(stderr, "conmon-server: browse error %d\n", error);
        failed_ = true;
        return;
    }
    std::string key(name);
    if (flags & kDNSServiceFlagsAdd) {
        instance& inst = instances_[key];
        const bool new_here = inst.interfaces.insert(interface).second;
        // A service on the loopback interface runs on this host: resolve it there,
        // so its address is 127.0.0.1.
        if (!inst.resolved && (!inst.resolve || interface == loopback_)) {
            start_resolve(key, inst, interface);
        } else if (inst.resolved && new_here) {
            // Back on an interface it had left while still seen on another: a
            // restarted device comes back on other ports, so ask again.
            start_resolve(key, inst, inst.interfaces.count(loopback_) ? loopback_ : interface);
        }
        return;
    }
    auto it = instances_.find(key);
    if (it == instances_.end()) {
        return;
    }
    it->second.interfaces.erase(interface);
    if (!it->second.interfaces.empty()) {
        return;
    }
    bool was_resolved = it->second.resolved;
    end_resolve(it->second);
    instances_.erase(it);
    sockets_changed_();
    if (was_resolved) {
        down_(key);
    }
}

void dnssd_browser::on_resolve(const std::string& name, uint32_t interface, int error,
                               const char* host, uint16_t port, uint16_t txt_len,
                               const unsigned char* txt) {
    auto it = instances_.find(name);
    if (it == instances_.end()) {
        return;
    }
    instance& inst = it->second;
    inst.resolve_done = true;
    if (error != kDNSServiceErr_NoError) {
        // Unanswered: the instance stays announced, so ask again in a while.
        std::fprintf(stderr, "conmon-server: resolving '%s' failed: %d\n", name.c_str(), error);
        inst.retry_at = lab_loop::now_ms() + retry_ms;
        return;
    }
    resolved r;
    r.name = name;
    r.address.sin_family = AF_INET;
    r.address.sin_port = htons(port);
    if (interface == loopback_ || inst.interfaces.count(loopback_)) {
        r.address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    } else {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        addrinfo* found = nullptr;
        if (host == nullptr || ::getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) {
            std::fprintf(stderr, "conmon-server: no address for '%s' (host %s)\n", name.c_str(),
                         host ? host : "?");
            inst.retry_at = lab_loop::now_ms() + retry_ms;  // or sooner, once seen on loopback
            return;
        }
        r.address.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
        ::freeaddrinfo(found);
    }
    if (txt && txt_len > 0) {
        r.txt.assign(txt, txt + txt_len);
    }
    inst.resolved = true;
    up_(r);
}

}  // namespace tavrin::sim
