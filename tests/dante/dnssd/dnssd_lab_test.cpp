// The Avahi backend against the lab's daemon: resolve a virtual device and query its
// host's address through the record browser behind the one-socket contract.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <poll.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "dante/dnssd/dt_dnssd.h"
#include "tests/support/lab_exec.h"

namespace {

struct resolved {
    bool done = false;
    dt_dnssd_error error = 0;
    std::string host;
    uint16_t port = 0;
    uint16_t txt_len = 0;
};

struct queried {
    dt_dnssd_ref ref = nullptr;
    std::vector<std::pair<uint32_t, std::string>> addresses;  // (interface, dotted)
    bool released = false;
};

// Waits for the reference's socket and processes one reply; false on time-out.
bool step(dt_dnssd_ref ref, int ms) {
    const int fd = dt_dnssd_ref_sock_fd(ref);
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, ms) != 1) {
        return false;
    }
    EXPECT_EQ(dt_dns_sd_process_result(nullptr, fd, ref), 0);
    return true;
}

void inside_lab() {
    resolved r;
    dt_dnssd_ref ref = nullptr;
    ASSERT_EQ(dt_dnssd_resolve(
                  &ref, 0, 0, "Amp-1", "_netaudio-cmc._udp.", "local",
                  [](dt_dnssd_ref, uint32_t, uint32_t, dt_dnssd_error error, const char*,
                     const char* host, uint16_t port, uint16_t txt_len, const unsigned char*,
                     void* context) {
                      auto* out = static_cast<resolved*>(context);
                      out->done = true;
                      out->error = error;
                      out->host = host ? host : "";
                      out->port = ntohs(port);
                      out->txt_len = txt_len;
                  },
                  &r),
              0);
    for (int i = 0; i < 50 && !r.done; ++i) {
        step(ref, 100);
    }
    dt_dnssd_ref_deallocate(ref);
    ASSERT_TRUE(r.done);
    EXPECT_EQ(r.error, 0);
    EXPECT_NE(r.port, 0);
    EXPECT_GT(r.txt_len, 0);
    ASSERT_FALSE(r.host.empty());

    // The flags the library passes are refused by the compatibility layer; this path
    // must take them.
    queried q;
    ASSERT_EQ(
        dt_dnssd_query_record(
            &q.ref, DT_DNSSD_FLAG_LONG_LIVED_QUERY | DT_DNSSD_FLAG_FORCE_MULTICAST, 0,
            r.host.c_str(), DT_DNSSD_TYPE_A, DT_DNSSD_CLASS_IN,
            [](dt_dnssd_ref self, uint32_t flags, uint32_t iface, dt_dnssd_error error, const char*,
               uint16_t, uint16_t, uint16_t rdlen, const void* rdata, uint32_t, void* context) {
                auto* out = static_cast<queried*>(context);
                EXPECT_EQ(error, 0);
                if (error == 0 && (flags & DT_DNSSD_FLAG_ADD) && rdlen == 4) {
                    char text[INET_ADDRSTRLEN];
                    inet_ntop(AF_INET, rdata, text, sizeof text);
                    out->addresses.emplace_back(iface, text);
                }
                // A handler may release its own reference.
                if (out->addresses.size() >= 1 && !out->released) {
                    out->released = true;
                    dt_dnssd_ref_deallocate(self);
                }
            },
            &q),
        0);
    for (int i = 0; i < 50 && !q.released; ++i) {
        step(q.ref, 100);
    }
    ASSERT_TRUE(q.released);
    ASSERT_FALSE(q.addresses.empty());
    const uint32_t lab0 = if_nametoindex("lab0");
    bool on_lab0 = false;
    for (const auto& [iface, text] : q.addresses) {
        on_lab0 = on_lab0 || (iface == lab0 && text == "169.254.77.1");
    }
    EXPECT_TRUE(on_lab0 || q.addresses[0].second == "127.0.0.1") << q.addresses[0].second;

    // Avahi has no reconfirm; the layer says so instead of pretending.
    EXPECT_EQ(dt_dnssd_reconfirm_record(0, lab0, "Amp-1._netaudio-cmc._udp.local.",
                                        DT_DNSSD_TYPE_PTR, DT_DNSSD_CLASS_IN, 0, nullptr),
              DT_DNSSD_ERR_UNSUPPORTED);
}

struct browsed {
    dt_dnssd_ref ref = nullptr;
    std::map<std::pair<uint32_t, std::string>, int> adds;  // (interface, name) -> count
    std::vector<std::string> bad;                          // unexpected type or domain
    bool more_coming_seen = false;
    int stop_after = -1;  // the handler deallocates its reference after this many adds
    int calls = 0;
};

void on_browse(dt_dnssd_ref self, uint32_t flags, uint32_t iface, dt_dnssd_error error,
               const char* name, const char* type, const char* domain, void* context) {
    auto* b = static_cast<browsed*>(context);
    ++b->calls;
    EXPECT_EQ(error, 0);
    if (std::string(type) != "_netaudio-cmc._udp." || std::string(domain) != "local.") {
        b->bad.push_back(std::string(type) + " " + domain);
    }
    b->more_coming_seen = b->more_coming_seen || (flags & DT_DNSSD_FLAG_MORE_COMING);
    if (flags & DT_DNSSD_FLAG_ADD) {
        ++b->adds[{iface, name}];
    }
    if (b->stop_after >= 0 && static_cast<int>(b->adds.size()) == b->stop_after) {
        dt_dnssd_ref_deallocate(self);
        b->ref = nullptr;
        b->stop_after = -1;
    }
}

void browse_inside_lab() {
    // Every device once per interface, in the DNS-SD form of type and domain.
    browsed b;
    ASSERT_EQ(dt_dnssd_browse(&b.ref, 0, 0, "_netaudio-cmc._udp.", "local", on_browse, &b), 0);
    // The daemon answers from its cache at once; left unread for a moment, those
    // answers wait together, as they would behind a busy caller.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    while (std::chrono::steady_clock::now() < until) {
        step(b.ref, 100);
    }
    dt_dnssd_ref_deallocate(b.ref);
    EXPECT_TRUE(b.bad.empty()) << b.bad.front();
    const uint32_t lab0 = if_nametoindex("lab0");
    const uint32_t lo = if_nametoindex("lo");
    for (const char* name : {"Amp-1", "Amp-Old", "Stagebox-1"}) {
        EXPECT_EQ((b.adds[{lab0, name}]), 1) << name;
        EXPECT_EQ((b.adds[{lo, name}]), 1) << name;
    }
    EXPECT_TRUE(b.more_coming_seen) << "answers that arrived together were handed out one by one";

    // A handler that deallocates its own reference in the middle of a batch gets no
    // further calls, and the reference is gone.
    browsed cut;
    cut.stop_after = 2;
    ASSERT_EQ(dt_dnssd_browse(&cut.ref, 0, 0, "_netaudio-cmc._udp.", "local", on_browse, &cut), 0);
    for (int i = 0; i < 50 && cut.ref; ++i) {
        step(cut.ref, 100);
    }
    EXPECT_EQ(cut.ref, nullptr);
    EXPECT_EQ(cut.calls, 2);

    // The TXT record comes back in wire form with device-sim's entries in its order.
    std::string txt;
    dt_dnssd_ref ref = nullptr;
    ASSERT_EQ(
        dt_dnssd_resolve(
            &ref, 0, lab0, "Amp-Old", "_netaudio-cmc._udp.", "local",
            [](dt_dnssd_ref, uint32_t, uint32_t, dt_dnssd_error, const char* full, const char*,
               uint16_t, uint16_t len, const unsigned char* bytes, void* context) {
                EXPECT_STREQ(full, "Amp-Old._netaudio-cmc._udp.local.");
                static_cast<std::string*>(context)->assign(reinterpret_cast<const char*>(bytes),
                                                           len);
            },
            &txt),
        0);
    for (int i = 0; i < 50 && txt.empty(); ++i) {
        step(ref, 100);
    }
    dt_dnssd_ref_deallocate(ref);
    // The record as the daemon holds it.
    std::string raw;
    ASSERT_EQ(dt_dnssd_query_record(
                  &ref, 0, lab0, "Amp-Old._netaudio-cmc._udp.local", 16, DT_DNSSD_CLASS_IN,
                  [](dt_dnssd_ref, uint32_t, uint32_t, dt_dnssd_error, const char*, uint16_t,
                     uint16_t, uint16_t len, const void* rdata, uint32_t, void* context) {
                      static_cast<std::string*>(context)->assign(static_cast<const char*>(rdata),
                                                                 len);
                  },
                  &raw),
              0);
    for (int i = 0; i < 50 && raw.empty(); ++i) {
        step(ref, 100);
    }
    dt_dnssd_ref_deallocate(ref);
    EXPECT_EQ(txt, raw);
    std::vector<std::string> keys;
    for (size_t at = 0; at < txt.size(); at += 1 + static_cast<uint8_t>(txt[at])) {
        const std::string entry = txt.substr(at + 1, static_cast<uint8_t>(txt[at]));
        keys.push_back(entry.substr(0, entry.find('=')));
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"id", "process", "vid", "mf", "model"}));
}

TEST(DnssdLab, BrowseReportsEachDeviceOncePerInterface) {
    const char* flag = "TAVRIN_DNSSD_BROWSE_IN_LAB";
    if (tavrin::testing::inside_lab(flag)) {
        browse_inside_lab();
        return;
    }
    const auto r =
        tavrin::testing::run_self_in_lab(flag, "DnssdLab.BrowseReportsEachDeviceOncePerInterface");
    if (r.skipped) {
        GTEST_SKIP() << r.why;
    }
    EXPECT_EQ(r.status, 0) << "the DNS-SD browse test inside the lab failed (its output is above) "
                           << r.why;
}

TEST(DnssdLab, ResolvesADeviceAndQueriesItsHostAddress) {
    const char* flag = "TAVRIN_DNSSD_IN_LAB";
    if (tavrin::testing::inside_lab(flag)) {
        inside_lab();
        return;
    }
    const auto r =
        tavrin::testing::run_self_in_lab(flag, "DnssdLab.ResolvesADeviceAndQueriesItsHostAddress");
    if (r.skipped) {
        GTEST_SKIP() << r.why;
    }
    EXPECT_EQ(r.status, 0) << "the DNS-SD test inside the lab failed (its output is above) "
                           << r.why;
}

}  // namespace
