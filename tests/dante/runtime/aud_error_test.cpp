#include "dante/runtime/aud_error.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <netdb.h>

#include <set>
#include <string>

namespace {

TEST(AudError, EveryCodeHasUniqueNameAndMessage) {
    std::set<std::string> names;
    std::set<std::string> messages;
    for (int code = 0; code < AUD_ERROR_COUNT; ++code) {
        const char* name = aud_error_get_name(static_cast<aud_error_t>(code));
        const char* message = aud_error_get_message(static_cast<aud_error_t>(code));
        ASSERT_NE(name, nullptr) << code;
        ASSERT_NE(message, nullptr) << code;
        EXPECT_STRNE(name, "") << code;
        EXPECT_STRNE(message, "") << code;
        EXPECT_TRUE(names.insert(name).second) << name;
        EXPECT_TRUE(messages.insert(message).second) << message;
    }
    EXPECT_STREQ(aud_error_get_name(AUD_ERR_NOTRUNNING), "NOTRUNNING");
    EXPECT_EQ(AUD_ERR_NOTRUNNING, 48);
    EXPECT_STREQ(aud_error_get_message(AUD_ERR_TIMEDOUT), "operation timed out");
    EXPECT_EQ(aud_error_get_name(static_cast<aud_error_t>(49)), nullptr);
    EXPECT_EQ(aud_error_get_message(static_cast<aud_error_t>(-1)), nullptr);
}

TEST(AudError, FormatPatterns) {
    aud_errbuf_t buf;
    EXPECT_STREQ(aud_error_format(AUD_SUCCESS, buf, sizeof buf), "success");
    EXPECT_STREQ(aud_error_format(AUD_ERR_INTERRUPTED, buf, sizeof buf),
                 "INTERRUPTED: (0x0007=interrupted)");
    EXPECT_STREQ(aud_error_format(AUD_ERR_NOTRUNNING, buf, sizeof buf),
                 "NOTRUNNING: (0x0030=not running)");

    errno = ECONNREFUSED;
    std::string system = aud_error_format(AUD_ERR_SYSTEM, buf, sizeof buf);
    EXPECT_EQ(system, std::string("System error: ") + strerror(ECONNREFUSED) + ": (0x006f)");
    errno = 0;
    EXPECT_STREQ(aud_error_format(AUD_ERR_SYSTEM, buf, sizeof buf), "System error: : (0x0000)");

    // The routing layer's codes print their own names; codes nobody lists are unknown.
    EXPECT_STREQ(aud_error_format(static_cast<aud_error_t>(0x140), buf, sizeof buf),
                 "CAPABILITIES_CHANGED: (0x0140=capabilities changed)");
    EXPECT_STREQ(aud_error_get_name(static_cast<aud_error_t>(0x153)), "LABEL_MISSING");
    EXPECT_STREQ(aud_error_format(static_cast<aud_error_t>(0x120), buf, sizeof buf),
                 "UNKNOWN: (0x0120=unknown error)");
}

TEST(AudError, FormatTruncatesAtTheBuffer) {
    char small[8];
    memset(small, 'x', sizeof small);
    EXPECT_STREQ(aud_error_format(AUD_ERR_INTERRUPTED, small, sizeof small), "INTERRU");
    char one[1] = {'x'};
    EXPECT_STREQ(aud_error_format(AUD_ERR_INTERRUPTED, one, 1), "");
    EXPECT_STREQ(aud_error_format(AUD_ERR_INTERRUPTED, nullptr, 0), "");
}

TEST(AudError, WindowsSystemTable) {
    EXPECT_EQ(aud_error_from_system(0), AUD_SUCCESS);
    EXPECT_EQ(aud_error_from_system(10035), AUD_ERR_TIMEDOUT);  // would block
    EXPECT_EQ(aud_error_from_system(10060), AUD_ERR_TIMEDOUT);
    EXPECT_EQ(aud_error_from_system(10054), AUD_ERR_CONNRESET);
    EXPECT_EQ(aud_error_from_system(10061), AUD_ERR_CONNREFUSED);
    EXPECT_EQ(aud_error_from_system(123), AUD_ERR_INVALIDPARAMETER);
    EXPECT_EQ(aud_error_from_system(31), AUD_ERR_NETUNREACH);
    EXPECT_EQ(aud_error_from_system(5010), AUD_ERR_ALREADY);
    EXPECT_EQ(aud_error_from_system(11002), AUD_ERR_TRYAGAIN);
    EXPECT_EQ(aud_error_from_system(0xE000020B), AUD_ERR_NOTFOUND);
    EXPECT_EQ(aud_error_from_system(0x800706D9), AUD_ERR_NOTRUNNING);
    EXPECT_EQ(aud_error_from_system(10093), AUD_ERR_NOTINITIALISED);
    EXPECT_EQ(aud_error_from_system(12345), AUD_ERR_SYSTEM);
    // Small table values match the low half of wrapped results...
    EXPECT_EQ(aud_error_from_system(0x80070005), AUD_ERR_ACCES);
    EXPECT_EQ(aud_error_from_system(0x8007274C), AUD_ERR_TIMEDOUT);  // 10060
    // ...large ones only whole, and a wrapped zero is not success.
    EXPECT_EQ(aud_error_from_system(0x800706DA), AUD_ERR_SYSTEM);
    EXPECT_EQ(aud_error_from_system(0x00010000), AUD_ERR_SYSTEM);
    EXPECT_EQ(aud_error_from_system(0x80070000), AUD_ERR_SYSTEM);
}

TEST(AudError, PosixErrnoTable) {
    EXPECT_EQ(aud_error_from_errno(0), AUD_SUCCESS);
    EXPECT_EQ(aud_error_from_errno(EAGAIN), AUD_ERR_TIMEDOUT);
    EXPECT_EQ(aud_error_from_errno(EWOULDBLOCK), AUD_ERR_TIMEDOUT);
    EXPECT_EQ(aud_error_from_errno(ECONNREFUSED), AUD_ERR_CONNREFUSED);
    EXPECT_EQ(aud_error_from_errno(ECONNRESET), AUD_ERR_CONNRESET);
    EXPECT_EQ(aud_error_from_errno(EINTR), AUD_ERR_INTERRUPTED);
    EXPECT_EQ(aud_error_from_errno(EADDRINUSE), AUD_ERR_ADDRINUSE);
    EXPECT_EQ(aud_error_from_errno(ENOTSOCK), AUD_ERR_NOTSOCK);
    EXPECT_EQ(aud_error_from_errno(EMSGSIZE), AUD_ERR_MSGSIZE);
    EXPECT_EQ(aud_error_from_errno(ENETUNREACH), AUD_ERR_NETUNREACH);
    EXPECT_EQ(aud_error_from_errno(ENOMEM), AUD_ERR_NOMEMORY);
    EXPECT_EQ(aud_error_from_errno(EXDEV), AUD_ERR_SYSTEM);
}

TEST(AudError, AddressLookupResults) {
    EXPECT_EQ(aud_error_from_gai(0), AUD_SUCCESS);
    EXPECT_EQ(aud_error_from_gai(EAI_NONAME), AUD_ERR_NOTFOUND);
    EXPECT_EQ(aud_error_from_gai(EAI_AGAIN), AUD_ERR_TRYAGAIN);
    EXPECT_EQ(aud_error_from_gai(EAI_FAIL), AUD_ERR_FAULT);
    EXPECT_EQ(aud_error_from_gai(EAI_FAMILY), AUD_ERR_NOTSUPPORTED);
    EXPECT_EQ(aud_error_from_gai(EAI_MEMORY), AUD_ERR_NOMEMORY);
}

}  // namespace
