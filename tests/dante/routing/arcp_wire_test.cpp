// ARCP codec edges that a device on the wire could get wrong.
#include "dante/routing/internal/arcp_wire.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "arcp_fixture.h"

namespace {

arcp_request request_for(uint16_t opcode) {
    arcp_request q;
    q.head.version = 0x2725;
    q.head.opcode = opcode;
    q.head.seqnum = 1;
    return q;
}

TEST(ArcpVersion, ParsesTheTxtForm) {
    struct {
        const char* text;
        aud_error_t result;
        uint16_t value;
    } cases[] = {
        {"2.7.41", AUD_SUCCESS, 0x2729},
        {"2.8.0", AUD_SUCCESS, 0x2800},
        {"1.20.300", AUD_SUCCESS, 0x1000 | 0x0400 | (300 & 0xFF)},
        {"2.7", AUD_ERR_INVALIDDATA, 0},
        {"2..7", AUD_ERR_INVALIDDATA, 0},
        {"2.7.1.", AUD_ERR_INVALIDDATA, 0},
        {"a.b.c", AUD_ERR_INVALIDDATA, 0},
        {"", AUD_ERR_INVALIDDATA, 0},
        {"2.7.-1", AUD_ERR_INVALIDDATA, 0},
    };
    for (const auto& c : cases) {
        uint16_t v = 0;
        EXPECT_EQ(arcp_parse_version(c.text, strlen(c.text), &v), c.result) << c.text;
        if (c.result == AUD_SUCCESS) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
    const std::string long_text = "2.7." + std::string(62, '1');
    uint16_t v = 0;
    EXPECT_EQ(arcp_parse_version(long_text.data(), long_text.size(), &v), AUD_ERR_INVALIDDATA);
    EXPECT_EQ(arcp_cap_version(0x2800), ARCP_VERSION_MAX);
    EXPECT_EQ(arcp_cap_version(0x2600), 0x2600);
}

TEST(ArcpNames, DeviceAndChannelRules) {
    EXPECT_TRUE(arcp_device_name_valid("Amp-1"));
    EXPECT_TRUE(arcp_device_name_valid("a"));
    EXPECT_TRUE(arcp_device_name_valid(std::string(31, 'x').c_str()));
    EXPECT_FALSE(arcp_device_name_valid(std::string(32, 'x').c_str()));
    EXPECT_FALSE(arcp_device_name_valid(""));
    EXPECT_FALSE(arcp_device_name_valid("-a"));
    EXPECT_FALSE(arcp_device_name_valid("a-"));
    EXPECT_FALSE(arcp_device_name_valid("a b"));
    EXPECT_FALSE(arcp_device_name_valid(nullptr));
    EXPECT_TRUE(arcp_channel_name_valid("Left 1", 6));
    EXPECT_FALSE(arcp_channel_name_valid("a.b", 3));
    EXPECT_FALSE(arcp_channel_name_valid("", 0));
}

TEST(ArcpHead, LengthMustFitTheDatagram) {
    std::vector<uint8_t> p = arcp_reply(request_for(0), 1).done();
    arcp_head_t h;
    EXPECT_EQ(arcp_read_head(p.data(), p.size(), &h), AUD_SUCCESS);
    EXPECT_EQ(arcp_read_head(p.data(), 9, &h), AUD_ERR_INVALIDDATA);
    p[3] = 11;  // one byte more than sent
    EXPECT_EQ(arcp_read_head(p.data(), p.size(), &h), AUD_ERR_INVALIDDATA);
    p[3] = 9;  // shorter than a head
    EXPECT_EQ(arcp_read_head(p.data(), p.size(), &h), AUD_ERR_INVALIDDATA);
}

TEST(ArcpRecords, CountBeyondTheDatagramIsRefused) {
    arcp_reply r(request_for(ARCP_OP_TX_CHANNELS), 1);
    r.u8(0).u8(2).u16(1).u16(0).u16(0).u16(20);  // two records promised, one present
    std::vector<uint8_t> p = r.done();
    arcp_records_t rec;
    EXPECT_EQ(arcp_records_init(p.data(), p.size(), ARCP_TXCHANNEL_RECORD_SIZE, &rec),
              AUD_ERR_INVALIDDATA);
}

TEST(ArcpRecords, StringsMustEndInsideTheDatagram) {
    arcp_reply r(request_for(ARCP_OP_TX_CHANNELS), 1);
    r.u8(0).u8(1).u16(1).u16(0).u16(0).u16(20).u8('a').u8('b');  // no terminator
    std::vector<uint8_t> p = r.done();
    arcp_records_t rec;
    ASSERT_EQ(arcp_records_init(p.data(), p.size(), ARCP_TXCHANNEL_RECORD_SIZE, &rec), AUD_SUCCESS);
    arcp_txchannel_t tx;
    EXPECT_EQ(arcp_decode_txchannel(&rec, 0, &tx), AUD_ERR_INVALIDDATA);
    // A trailing byte beyond the head's length does not count either.
    p.push_back(0);
    ASSERT_EQ(arcp_records_init(p.data(), p.size(), ARCP_TXCHANNEL_RECORD_SIZE, &rec), AUD_SUCCESS);
    EXPECT_EQ(arcp_decode_txchannel(&rec, 0, &tx), AUD_ERR_INVALIDDATA);
}

// An RX record with format 0, subscription names at the given texts.
std::vector<uint8_t> rx_record(uint16_t flags, const char* tx_channel, const char* tx_device) {
    arcp_reply r(request_for(ARCP_OP_RX_CHANNELS), 1);
    r.u8(0).u8(1);
    r.u16(1).u16(flags).u16(0).u16(32).u16(tx_device ? 36 : 0).u16(40);
    r.u8(0).u8(0).u16(0).u16(0).u16(0);
    // 32: tx channel (4 bytes), 36: tx device (4 bytes), 40: own name
    char tc[4] = {};
    char td[4] = {};
    strncpy(tc, tx_channel, 3);
    strncpy(td, tx_device ? tx_device : "", 3);
    for (char c : tc) {
        r.u8(static_cast<uint8_t>(c));
    }
    for (char c : td) {
        r.u8(static_cast<uint8_t>(c));
    }
    r.text("In");
    return r.done();
}

TEST(ArcpRxChannel, SubscriptionJoinsTheNamesAndSelfNeedsItsFlag) {
    struct {
        uint16_t flags;
        const char* device;
        aud_error_t result;
        const char* subscription;
    } cases[] = {
        {0, "Amp", AUD_SUCCESS, "L@Amp"},
        {0, ".", AUD_ERR_INVALIDPARAMETER, ""},
        {ARCP_RXCHANNEL_FLAG_SELF_SUBSCRIBE, ".", AUD_SUCCESS, "L@."},
        {0, "-x", AUD_ERR_INVALIDPARAMETER, ""},
        {0, nullptr, AUD_SUCCESS, ""},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> p = rx_record(c.flags, "L", c.device);
        arcp_records_t rec;
        ASSERT_EQ(arcp_records_init(p.data(), p.size(), ARCP_RXCHANNEL_RECORD_SIZE, &rec),
                  AUD_SUCCESS);
        arcp_rxchannel_t rx{};
        EXPECT_EQ(arcp_decode_rxchannel(&rec, 0, &rx), c.result) << (c.device ? c.device : "-");
        if (c.result == AUD_SUCCESS) {
            EXPECT_STREQ(rx.subscription, c.subscription);
            EXPECT_STREQ(rx.name, "In");
        }
    }
}

TEST(ArcpCapabilities, BodyMustHoldTheFieldsItsVersionPromises) {
    device_spec spec;
    arcp_request q = request_for(ARCP_OP_CAPABILITIES);
    for (uint16_t v : {uint16_t{0x2500}, uint16_t{0x2600}, uint16_t{0x2703}, uint16_t{0x2711}}) {
        spec.version = v;
        std::vector<uint8_t> p = capabilities_reply(q, spec);
        arcp_capabilities_t c;
        EXPECT_EQ(arcp_decode_capabilities(p.data(), p.size(), &c), AUD_SUCCESS) << v;
        EXPECT_EQ(c.num_interfaces, 1);
        p.pop_back();
        p[3] = static_cast<uint8_t>(p.size());
        EXPECT_EQ(arcp_decode_capabilities(p.data(), p.size(), &c), AUD_ERR_INVALIDDATA) << v;
    }
}

TEST(ArcpNamesAnswer, NameMustBeTerminatedWithin32Bytes) {
    char name[ARCP_NAME_SIZE];
    std::vector<uint8_t> p = arcp_reply(request_for(ARCP_OP_NAMES), 1).text("Amp-1").done();
    ASSERT_EQ(arcp_decode_names(p.data(), p.size(), name), AUD_SUCCESS);
    EXPECT_STREQ(name, "Amp-1");
    p = arcp_reply(request_for(ARCP_OP_NAMES), 1).text(std::string(32, 'a')).done();
    EXPECT_EQ(arcp_decode_names(p.data(), p.size(), name), AUD_ERR_INVALIDDATA);
    p = arcp_reply(request_for(ARCP_OP_NAMES), 1).done();
    EXPECT_EQ(arcp_decode_names(p.data(), p.size(), name), AUD_ERR_INVALIDDATA);
}

}  // namespace
