#include <gtest/gtest.h>

#include <string>

#include "dante/browse/db_browse.h"
#include "tests/support/fake_dnssd.h"

namespace tavrin::testing {
namespace {

const std::string k_id = "id=00112233AaBbCcDd";

struct txt_case {
    const char* what;
    std::string txt;
    const char* failure;  // null: accepted
};

TEST(ConmonTxt, ValidationRules) {
    const txt_case cases[] = {
        {"minimal record", fake_dnssd::txt({k_id, "process=1"}), nullptr},
        {"id missing", fake_dnssd::txt({"process=1"}), "'id' field missing or empty"},
        {"id empty", fake_dnssd::txt({"id=", "process=1"}), "'id' field missing or empty"},
        {"id of 15 characters", fake_dnssd::txt({"id=00112233445566F", "process=1"}),
         "'id' field has insufficient data"},
        {"id of 17 characters", fake_dnssd::txt({"id=00112233445566FF0", "process=1"}),
         "'id' field has insufficient data"},
        {"id not hex", fake_dnssd::txt({"id=001122334455667G", "process=1"}),
         "'id' field has insufficient data"},
        {"process missing", fake_dnssd::txt({k_id}), "'process' field missing or empty"},
        {"process empty", fake_dnssd::txt({k_id, "process="}), "'process' field missing or empty"},
        {"process not 16-bit", fake_dnssd::txt({k_id, "process=65536"}),
         "'process' field missing or empty"},
        {"vid empty", fake_dnssd::txt({k_id, "process=1", "vid="}), "'vid' field missing or empty"},
        {"vid short", fake_dnssd::txt({k_id, "process=1", "vid=0102"}),
         "'vid' field has insufficient data"},
        {"vba three parts", fake_dnssd::txt({k_id, "process=1", "vba=10.0.0"}),
         "'vsb' field has invalid data"},
        {"vba part above 255", fake_dnssd::txt({k_id, "process=1", "vba=10.0.0.256"}),
         "'vsb' field has invalid data"},
        {"vba trailing text", fake_dnssd::txt({k_id, "process=1", "vba=10.0.0.1x"}),
         "'vsb' field has invalid data"},
        {"keys in another case", fake_dnssd::txt({"ID=0011223344556677", "Process=9"}), nullptr},
        {"empty record", std::string(), "'id' field missing or empty"},
    };
    for (const txt_case& c : cases) {
        db_conmon_info_t info;
        const char* failure = nullptr;
        const aud_error_t e = parse_conmon_txt_record(
            c.txt.data(), static_cast<uint16_t>(c.txt.size()), &info, &failure);
        if (!c.failure) {
            EXPECT_EQ(e, AUD_SUCCESS) << c.what;
            EXPECT_EQ(failure, nullptr) << c.what;
        } else {
            EXPECT_EQ(e, AUD_ERR_INVALIDDATA) << c.what;
            ASSERT_NE(failure, nullptr) << c.what;
            EXPECT_NE(std::string(failure).find(c.failure), std::string::npos)
                << c.what << ": " << failure;
        }
    }
}

TEST(ConmonTxt, DecodesEveryField) {
    const std::string txt =
        fake_dnssd::txt({"id=00112233aabbccdd", "process=513", "vid=0102030405060708",
                         "vba=239.1.2.3", "mf=_0A0b", "model=TAVRIN-PA22"});
    db_conmon_info_t info;
    ASSERT_EQ(
        parse_conmon_txt_record(txt.data(), static_cast<uint16_t>(txt.size()), &info, nullptr),
        AUD_SUCCESS);
    const uint8_t id[8] = {0x00, 0x11, 0x22, 0x33, 0xAA, 0xBB, 0xCC, 0xDD};
    EXPECT_EQ(memcmp(info.device_id, id, 8), 0);
    EXPECT_EQ(info.process_id, 513);
    EXPECT_EQ(info.vendor_id[0], 1);
    EXPECT_EQ(info.vendor_id[7], 8);
    const uint8_t vba[4] = {239, 1, 2, 3};
    EXPECT_EQ(memcmp(&info.vendor_broadcast_address, vba, 4), 0) << "network byte order";
    // "_" introduces hex; anything else is its first 8 characters as they are.
    const uint8_t mf[8] = {0x0A, 0x0B, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(memcmp(info.manufacturer_id, mf, 8), 0);
    EXPECT_EQ(memcmp(info.model_id, "TAVRIN-P", 8), 0);
}

TEST(ConmonTxt, OptionalKeysAbsentLeaveZeros) {
    const std::string txt = fake_dnssd::txt({"id=0011223344556677", "process=1"});
    db_conmon_info_t info;
    memset(&info, 0xEE, sizeof info);
    ASSERT_EQ(
        parse_conmon_txt_record(txt.data(), static_cast<uint16_t>(txt.size()), &info, nullptr),
        AUD_SUCCESS);
    const uint8_t zero[8] = {};
    EXPECT_EQ(memcmp(info.vendor_id, zero, 8), 0);
    EXPECT_EQ(memcmp(info.manufacturer_id, zero, 8), 0);
    EXPECT_EQ(memcmp(info.model_id, zero, 8), 0);
    EXPECT_EQ(info.vendor_broadcast_address, 0u);
}

}  // namespace
}  // namespace tavrin::testing
