#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "dante/dnssd/dt_dnssd.h"
#include "dante/dnssd/dt_txt_record.h"
#include "tests/support/fake_dnssd.h"

namespace tavrin::testing {
namespace {

std::string value_of(const std::string& txt, const char* key, bool* present = nullptr) {
    uint8_t len = 0xFF;
    const void* v =
        dt_txt_record_get_value_ptr(static_cast<uint16_t>(txt.size()), txt.data(), key, &len);
    if (present) {
        *present = v != nullptr;
    }
    return v ? std::string(static_cast<const char*>(v), len) : std::string();
}

TEST(TxtRecord, KeysCompareWithoutCaseAndTheFirstOccurrenceWins) {
    const std::string txt = fake_dnssd::txt({"=ignored", "Mf=first", "mf=second", "flag", "e="});
    EXPECT_EQ(value_of(txt, "MF"), "first");
    EXPECT_FALSE(dt_txt_record_contains_key(static_cast<uint16_t>(txt.size()), txt.data(), ""));
    // A key without "=" is present but has no value; "e=" has an empty one.
    bool present = true;
    EXPECT_TRUE(dt_txt_record_contains_key(static_cast<uint16_t>(txt.size()), txt.data(), "flag"));
    value_of(txt, "flag", &present);
    EXPECT_FALSE(present);
    EXPECT_EQ(value_of(txt, "e", &present), "");
    EXPECT_TRUE(present);
    EXPECT_FALSE(dt_txt_record_contains_key(static_cast<uint16_t>(txt.size()), txt.data(), "m"));
}

TEST(TxtRecord, TruncatedStringEndsTheRecord) {
    // The second string claims 40 bytes but only 5 follow.
    std::string txt = fake_dnssd::txt({"a=1"});
    txt += std::string(1, '\x28') + "b=222";
    EXPECT_EQ(value_of(txt, "a"), "1");
    EXPECT_FALSE(dt_txt_record_contains_key(static_cast<uint16_t>(txt.size()), txt.data(), "b"));
    EXPECT_FALSE(dt_txt_record_contains_key(0, nullptr, "a"));
}

TEST(FullName, EscapesTheInstanceAndEndsEveryPartWithADot) {
    char buf[DT_DNSSD_MAX_DOMAIN_NAME];
    ASSERT_EQ(dt_dnssd_construct_full_name(buf, "Amp.1\\x", "_netaudio-cmc._udp.", "local"), 0);
    EXPECT_STREQ(buf, "Amp\\.1\\\\x._netaudio-cmc._udp.local.");
    ASSERT_EQ(dt_dnssd_construct_full_name(buf, nullptr, "_a._udp", "local."), 0);
    EXPECT_STREQ(buf, "_a._udp.local.");
    EXPECT_EQ(dt_dnssd_construct_full_name(buf, "x", nullptr, "local"), -1);
    const std::string huge(DT_DNSSD_MAX_DOMAIN_NAME, 'd');
    EXPECT_EQ(dt_dnssd_construct_full_name(buf, "x", "_a._udp.", huge.c_str()), -1);
    EXPECT_STREQ(buf, "");
}

struct browse_seen {
    int calls = 0;
    std::string name;
};

void on_browse(dt_dnssd_ref, uint32_t, uint32_t, dt_dnssd_error, const char* name, const char*,
               const char*, void* context) {
    auto* seen = static_cast<browse_seen*>(context);
    ++seen->calls;
    seen->name = name;
}

TEST(ProcessResult, ChecksTheSocketAndPeeksBeforeProcessing) {
    fake_dnssd dnssd;
    browse_seen seen;
    dt_dnssd_ref ref = nullptr;
    ASSERT_EQ(dt_dnssd_browse(&ref, 0, 0, "_x._udp.", "local", on_browse, &seen), 0);
    const int fd = dt_dnssd_ref_sock_fd(ref);
    // Not the reference's socket.
    EXPECT_EQ(dt_dns_sd_process_result(nullptr, fd + 100, ref), -65540);
    // Nothing waiting: refuse rather than block the loop.
    EXPECT_EQ(dt_dns_sd_process_result(nullptr, fd, ref), -65542);
    EXPECT_EQ(seen.calls, 0);
    dnssd.browse_reply(static_cast<fake_dnssd::ref*>(ref), DT_DNSSD_FLAG_ADD, 3, "Amp-1",
                       "_x._udp.");
    EXPECT_EQ(dt_dns_sd_process_result(nullptr, fd, ref), 0);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.name, "Amp-1");
    dt_dnssd_ref_deallocate(ref);
}

TEST(ProcessResult, ReadErrorIsTheMappedLibraryError) {
    // A backend whose reference hands out a pipe: peeking a non-socket fails.
    static int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    static dt_dnssd_backend b{};
    b.ref_sock_fd = [](dt_dnssd_ref) { return pipe_fds[0]; };
    dt_dnssd_ref_s ref{&b};
    EXPECT_EQ(dt_dns_sd_process_result(nullptr, pipe_fds[0], &ref), AUD_ERR_NOTSOCK);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
}

TEST(Backend, InstallingReturnsThePreviousAndNullRestoresAvahi) {
    EXPECT_EQ(dt_dnssd_get_backend(), dt_dnssd_avahi_backend());
    {
        fake_dnssd dnssd;
        EXPECT_NE(dt_dnssd_get_backend(), dt_dnssd_avahi_backend());
    }
    EXPECT_EQ(dt_dnssd_get_backend(), dt_dnssd_avahi_backend());
    EXPECT_EQ(dt_dnssd_ref_sock_fd(nullptr), -1);
    EXPECT_EQ(dt_dnssd_process_reply(nullptr), DT_DNSSD_ERR_BAD_REFERENCE);
}

}  // namespace
}  // namespace tavrin::testing
