// The lab's ARCP responder, read back with the library's own decoders: what the
// virtual devices write is exactly what the routing layer reads.
#include "sim/arcp_responder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dante/routing/internal/arcp_wire.h"

namespace tavrin::sim {
namespace {

std::vector<uint8_t> make_request(uint16_t opcode, const std::vector<uint8_t>& body = {},
                                  uint16_t version = 0x2725, uint16_t seqnum = 7) {
    std::vector<uint8_t> p(ARCP_MAX_PACKET);
    aud_byte_writer w = aud_writer_make(p.data(), p.size());
    arcp_write_head(&w, version, seqnum, opcode);
    aud_write_bytes(&w, body.data(), body.size());
    arcp_finish(&w);
    p.resize(w.pos);
    return p;
}

std::vector<uint8_t> range_from(uint16_t first) {
    return {0, 1, static_cast<uint8_t>(first >> 8), static_cast<uint8_t>(first), 0, 0};
}

std::vector<uint8_t> name_body(const std::string& name) {
    std::vector<uint8_t> b(name.begin(), name.end());
    b.push_back(0);
    return b;
}

arcp_head_t head_of(const std::vector<uint8_t>& r) {
    arcp_head_t h{};
    EXPECT_EQ(arcp_read_head(r.data(), r.size(), &h), AUD_SUCCESS);
    return h;
}

class ArcpResponderTest : public ::testing::Test {
  protected:
    arcp_identity identity() {
        arcp_identity id;
        id.name = "Amp-1";
        return id;
    }
    std::vector<uint8_t> ask(uint16_t opcode, const std::vector<uint8_t>& body = {},
                             uint16_t version = 0x2725) {
        auto q = make_request(opcode, body, version);
        return responder.on_request(q.data(), q.size());
    }
    std::string names_answer() {
        auto r = ask(ARCP_OP_NAMES);
        char name[ARCP_NAME_SIZE] = {};
        EXPECT_EQ(arcp_decode_names(r.data(), r.size(), name), AUD_SUCCESS);
        return name;
    }

    arcp_responder responder{identity()};
};

TEST_F(ArcpResponderTest, EchoesSequenceAndOpcodeAndAnswersAtMostTheRequestedVersion) {
    auto r = ask(ARCP_OP_PING);
    arcp_head_t h = head_of(r);
    EXPECT_EQ(h.seqnum, 7);
    EXPECT_EQ(h.opcode, ARCP_OP_PING);
    EXPECT_EQ(h.status, ARCP_RESULT_SUCCESS);
    EXPECT_EQ(h.length, r.size());
    EXPECT_EQ(h.version, 0x2725);
    EXPECT_EQ(head_of(ask(ARCP_OP_PING, {}, 0x2500)).version, 0x2500);
}

TEST_F(ArcpResponderTest, IgnoresResponsesAndMalformedDatagrams) {
    auto q = make_request(ARCP_OP_PING);
    q[9] = 1;  // status set: a response, not a request
    EXPECT_TRUE(responder.on_request(q.data(), q.size()).empty());
    q = make_request(ARCP_OP_PING);
    EXPECT_TRUE(responder.on_request(q.data(), 9).empty());
    q[3] = 200;  // length beyond the datagram
    EXPECT_TRUE(responder.on_request(q.data(), q.size()).empty());
}

TEST_F(ArcpResponderTest, CapabilitiesCarryTheFieldsOfTheAnsweredVersion) {
    arcp_capabilities_t c;
    auto r = ask(ARCP_OP_CAPABILITIES);
    ASSERT_EQ(arcp_decode_capabilities(r.data(), r.size(), &c), AUD_SUCCESS);
    EXPECT_EQ(c.num_txchannels, 2);
    EXPECT_EQ(c.num_rxchannels, 2);
    EXPECT_EQ(c.max_txlabels, 4);
    EXPECT_EQ(c.num_interfaces, 1);
    EXPECT_EQ(r.size(), 40u);

    r = ask(ARCP_OP_CAPABILITIES, {}, 0x2500);
    ASSERT_EQ(arcp_decode_capabilities(r.data(), r.size(), &c), AUD_SUCCESS);
    EXPECT_EQ(r.size(), 22u);
    EXPECT_EQ(c.max_txlabels, 0);
}

TEST_F(ArcpResponderTest, RenameFollowsTheNameRule) {
    EXPECT_EQ(names_answer(), "Amp-1");
    for (const char* bad : {"-Amp", "Amp-", "Amp 1", "Amp.1", "abcdefghijabcdefghijabcdefghijab"}) {
        auto r = ask(ARCP_OP_SET_NAME, name_body(bad));
        EXPECT_EQ(arcp_result_to_error(head_of(r).status), AUD_ERR_INVALIDDATA) << bad;
    }
    EXPECT_FALSE(responder.renamed());

    auto unterminated = ask(ARCP_OP_SET_NAME, {'A', 'b'});
    EXPECT_EQ(arcp_result_to_error(head_of(unterminated).status), AUD_ERR_INVALIDDATA);

    auto r = ask(ARCP_OP_SET_NAME, name_body("Stage-Left2"));
    EXPECT_EQ(head_of(r).status, ARCP_RESULT_SUCCESS);
    EXPECT_TRUE(responder.renamed());
    EXPECT_EQ(responder.name(), "Stage-Left2");
    EXPECT_EQ(names_answer(), "Stage-Left2");

    responder.clear_renamed();
    ask(ARCP_OP_SET_NAME, name_body(""));  // back to the factory name
    EXPECT_TRUE(responder.renamed());
    EXPECT_EQ(names_answer(), "Amp-1");
}

TEST_F(ArcpResponderTest, ChannelAnswersDecodeWithNamesAndFormat) {
    auto r = ask(ARCP_OP_TX_CHANNELS, range_from(1));
    arcp_records_t rec;
    ASSERT_EQ(arcp_records_init(r.data(), r.size(), ARCP_TXCHANNEL_RECORD_SIZE, &rec), AUD_SUCCESS);
    ASSERT_EQ(rec.count, 2);
    arcp_txchannel_t tx;
    ASSERT_EQ(arcp_decode_txchannel(&rec, 1, &tx), AUD_SUCCESS);
    EXPECT_EQ(tx.id, 2);
    EXPECT_STREQ(tx.name, "02");
    EXPECT_EQ(tx.format.sample_rate, 48000u);
    EXPECT_EQ(tx.format.encoding, 24);

    r = ask(ARCP_OP_RX_CHANNELS, range_from(2));
    ASSERT_EQ(arcp_records_init(r.data(), r.size(), ARCP_RXCHANNEL_RECORD_SIZE, &rec), AUD_SUCCESS);
    ASSERT_EQ(rec.count, 1);
    arcp_rxchannel_t rx;
    ASSERT_EQ(arcp_decode_rxchannel(&rec, 0, &rx), AUD_SUCCESS);
    EXPECT_EQ(rx.id, 2);
    EXPECT_STREQ(rx.name, "02");
    EXPECT_STREQ(rx.subscription, "");
}

TEST(ArcpResponderPaging, ManyChannelsContinueInFurtherAnswers) {
    arcp_identity id;
    id.name = "Big";
    id.rx_channels.clear();
    for (int i = 1; i <= 20; ++i) {
        id.rx_channels.push_back("In" + std::to_string(i));
    }
    arcp_responder responder(id);
    auto q = make_request(ARCP_OP_RX_CHANNELS, range_from(1));
    auto r = responder.on_request(q.data(), q.size());
    arcp_records_t rec;
    ASSERT_EQ(arcp_records_init(r.data(), r.size(), ARCP_RXCHANNEL_RECORD_SIZE, &rec), AUD_SUCCESS);
    EXPECT_EQ(rec.count, arcp_responder::max_records);
    EXPECT_EQ(head_of(r).status, ARCP_RESULT_MORE_RECORDS);

    q = make_request(ARCP_OP_RX_CHANNELS, range_from(17));
    r = responder.on_request(q.data(), q.size());
    ASSERT_EQ(arcp_records_init(r.data(), r.size(), ARCP_RXCHANNEL_RECORD_SIZE, &rec), AUD_SUCCESS);
    EXPECT_EQ(rec.count, 4);
    EXPECT_EQ(head_of(r).status, ARCP_RESULT_SUCCESS);
    arcp_rxchannel_t rx;
    ASSERT_EQ(arcp_decode_rxchannel(&rec, 3, &rx), AUD_SUCCESS);
    EXPECT_EQ(rx.id, 20);
    EXPECT_STREQ(rx.name, "In20");
}

TEST_F(ArcpResponderTest, PropertiesAnswerOnlyTheAskedIdsWithTheirWidths) {
    std::vector<uint8_t> body = {0, 3, 0x82, 0x04, 0x03, 0x10, 0x80, 0x21};
    auto r = ask(ARCP_OP_PROPERTIES, body);
    arcp_records_t rec;
    ASSERT_EQ(arcp_records_init(r.data(), r.size(), ARCP_PROPERTY_RECORD_SIZE, &rec), AUD_SUCCESS);
    ASSERT_EQ(rec.count, 3);
    arcp_property_t p;
    ASSERT_EQ(arcp_decode_property(&rec, 0, &p), AUD_SUCCESS);
    EXPECT_EQ(p.id, 0x8204);
    EXPECT_EQ(p.size, 4);
    ASSERT_EQ(arcp_decode_property(&rec, 2, &p), AUD_SUCCESS);
    EXPECT_EQ(p.size, 16);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.value.data)), "_DFLT");

    auto truncated = ask(ARCP_OP_PROPERTIES, {0, 3, 0x82});
    EXPECT_EQ(arcp_result_to_error(head_of(truncated).status), AUD_ERR_INVALIDDATA);
}

TEST_F(ArcpResponderTest, UnknownOpcodeIsNotSupported) {
    EXPECT_EQ(arcp_result_to_error(head_of(ask(0x7777)).status), AUD_ERR_NOTSUPPORTED);
}

TEST(ArcpVersionText, PacksLikeTheTxtRecordRule) {
    EXPECT_EQ(arcp_pack_version("2.7.41"), 0x2729);
    EXPECT_EQ(arcp_pack_version("2.8.0"), 0x2800);
    EXPECT_EQ(arcp_pack_version("2.7"), 0);
    EXPECT_EQ(arcp_pack_version("2.7.1x"), 0);
}

}  // namespace
}  // namespace tavrin::sim
