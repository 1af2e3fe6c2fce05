#include "sim/dnssd_publisher.h"

#include <arpa/inet.h>
#include <dns_sd.h>

#include <cstdio>
#include <cstdlib>

namespace tavrin::sim {

struct dnssd_publisher_access {
    static void on_register(dnssd_publisher* self, DNSServiceErrorType error) {
        if (error != kDNSServiceErr_NoError) {
            std::fprintf(stderr, "dnssd: registration of '%s' failed: %d\n", self->name_.c_str(),
                         error);
            self->withdraw();
            return;
        }
        self->confirmed_ = true;
    }
};

namespace {

void DNSSD_API register_reply(DNSServiceRef, DNSServiceFlags, DNSServiceErrorType error,
                              const char*, const char*, const char*, void* context) {
    dnssd_publisher_access::on_register(static_cast<dnssd_publisher*>(context), error);
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

int dnssd_publisher::publish(const std::string& name, const std::string& type, uint16_t port,
                             const txt_entries& txt) {
    withdraw();
    name_ = name;
    std::vector<uint8_t> record = build_txt_record(txt);
    DNSServiceRef ref = nullptr;
    DNSServiceErrorType error = DNSServiceRegister(
        &ref, 0, 0, name.c_str(), type.c_str(), "local", nullptr, htons(port),
        static_cast<uint16_t>(record.size()), record.data(), register_reply, this);
    if (error != kDNSServiceErr_NoError) {
        return error;
    }
    ref_ = ref;
    return 0;
}

void dnssd_publisher::withdraw() {
    if (ref_ != nullptr) {
        DNSServiceRefDeallocate(static_cast<DNSServiceRef>(ref_));
        ref_ = nullptr;
    }
    confirmed_ = false;
}

int dnssd_publisher::socket() const {
    return ref_ ? DNSServiceRefSockFD(static_cast<DNSServiceRef>(ref_)) : -1;
}

void dnssd_publisher::process() {
    if (ref_ == nullptr) {
        return;
    }
    DNSServiceErrorType error = DNSServiceProcessResult(static_cast<DNSServiceRef>(ref_));
    if (error != kDNSServiceErr_NoError) {
        std::fprintf(stderr, "dnssd: '%s' lost its daemon connection: %d\n", name_.c_str(), error);
        withdraw();
    }
}

}  // namespace tavrin::sim
