// Routing devices against a scripted ARCP device on loopback.
#include <string.h>

#include "arcp_fixture.h"
#include "dante/routing/internal/dr_impl.h"

namespace {

bool has_flag(const std::vector<change_record>& changes, dr_device_change_flags_t flag) {
    for (const change_record& c : changes) {
        if (c.flags & flag) {
            return true;
        }
    }
    return false;
}

TEST_F(RoutingTest, CapabilitiesChainEndsActiveAndCompletesOnce) {
    dr_device_t* d = open_explicit();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_RESOLVED);
    dr_request_id_t id = nullptr;
    ASSERT_EQ(dr_device_query_capabilities(d, on_done, &id), AUD_SUCCESS);
    EXPECT_NE(id, nullptr);
    EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_QUERYING);
    ASSERT_TRUE(pump_until([&] { return !completions.empty(); }));
    pump();

    EXPECT_EQ(opcodes(),
              (std::vector<uint16_t>{ARCP_OP_CAPABILITIES, ARCP_OP_PROP_AVAIL, ARCP_OP_NAMES}));
    ASSERT_EQ(completions.size(), 1u);
    EXPECT_EQ(completions[0].id, id);
    EXPECT_EQ(completions[0].result, AUD_SUCCESS);
    EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_ACTIVE);
    EXPECT_EQ(dr_devices_get_pending_requests(devices), 0u);
    EXPECT_EQ(dr_device_num_txchannels(d), 2);
    EXPECT_EQ(dr_device_num_rxchannels(d), 2);
    uint32_t status = 99;
    EXPECT_EQ(dr_device_get_status_flags(d, &status), AUD_SUCCESS);
    EXPECT_EQ(status, 0u);
    // Every response's changes arrive in one call: the last one carries STATE.
    ASSERT_FALSE(changes.empty());
    EXPECT_TRUE(changes.back().flags & DR_DEVICE_CHANGE_STATE);
    EXPECT_EQ(changes.back().state, DR_DEVICE_STATE_ACTIVE);
    EXPECT_TRUE(dr_device_is_component_stale(d, DR_DEVICE_COMPONENT_RXCHANNELS));
}

TEST_F(RoutingTest, RequestsAreStampedWithRisingSequenceNumbers) {
    dr_device_t* d = open_explicit();
    peer.silent = true;
    ASSERT_EQ(dr_device_ping(d, on_done, nullptr), AUD_SUCCESS);
    ASSERT_EQ(dr_device_ping(d, on_done, nullptr), AUD_SUCCESS);
    pump();
    ASSERT_EQ(peer.received.size(), 2u);
    EXPECT_EQ(peer.received[1].head.seqnum, peer.received[0].head.seqnum + 1);
    EXPECT_EQ(peer.received[0].head.length, ARCP_HEAD_SIZE);
    EXPECT_EQ(peer.received[0].head.status, 0);
}

TEST_F(RoutingTest, CapabilitiesThatChangeWhileActiveEndInError) {
    dr_device_t* d = open_active();
    ASSERT_EQ(dr_device_query_capabilities(d, on_done, nullptr), AUD_SUCCESS);
    peer.spec.rx.push_back("03");
    completions.clear();
    ASSERT_TRUE(pump_until([&] { return !completions.empty(); }));
    EXPECT_EQ(completions[0].result, DR_ERR_CAPABILITIES_CHANGED);
    EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_ERROR);
    EXPECT_EQ(dr_device_get_error(d), DR_ERR_CAPABILITIES_CHANGED);
    EXPECT_STREQ(dr_device_get_error_message(d), "Querying capabilities");
    char text[AUD_ERROR_STR_SIZE];
    EXPECT_STREQ(dr_error_get_message(dr_device_get_error(d)), "capabilities changed");
    EXPECT_STREQ(dr_error_format(DR_ERR_CAPABILITIES_CHANGED, text, sizeof text),
                 "CAPABILITIES_CHANGED: (0x0140=capabilities changed)");
    // The accessors of a device that is not ACTIVE tell nothing.
    EXPECT_EQ(dr_device_num_rxchannels(d), 0);
}

TEST_F(RoutingTest, UnchangedCapabilitiesMarkEverythingStaleAgain) {
    dr_device_t* d = open_active();
    ASSERT_EQ(dr_device_update_component(d, on_done, nullptr, DR_DEVICE_COMPONENT_TXCHANNELS),
              AUD_SUCCESS);
    ASSERT_TRUE(pump_until(
        [&] { return !dr_device_is_component_stale(d, DR_DEVICE_COMPONENT_TXCHANNELS); }));
    ASSERT_EQ(dr_device_query_capabilities(d, on_done, nullptr), AUD_SUCCESS);
    completions.clear();
    ASSERT_TRUE(pump_until([&] { return !completions.empty(); }));
    EXPECT_EQ(completions[0].result, AUD_SUCCESS);
    EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_ACTIVE);
    EXPECT_TRUE(dr_device_is_component_stale(d, DR_DEVICE_COMPONENT_TXCHANNELS));
}

TEST_F(RoutingTest, NoCapabilitiesStatusGivesAnEmptyUnlicensedDevice) {
    for (uint16_t status : {uint16_t{15}, uint16_t{0x601}}) {
        peer.handlers[ARCP_OP_CAPABILITIES] = [status](const arcp_request& q) {
            return arcp_reply(q, status).done();
        };
        dr_device_t* d = open_active();
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(dr_device_num_txchannels(d), 0);
        uint32_t flags = 0;
        EXPECT_EQ(dr_device_get_status_flags(d, &flags), AUD_SUCCESS);
        EXPECT_EQ(flags & DR_DEVICE_STATUS_UNLICENSED, DR_DEVICE_STATUS_UNLICENSED) << status;
        dr_request_id_t id = reinterpret_cast<dr_request_id_t>(1);
        EXPECT_EQ(dr_device_update_component(d, on_done, &id, DR_DEVICE_COMPONENT_RXCHANNELS),
                  AUD_SUCCESS);
        EXPECT_EQ(id, nullptr);  // nothing stale, nothing sent
    }
}

TEST_F(RoutingTest, CapabilitiesErrorWithABodyIsAnError) {
    peer.handlers[ARCP_OP_CAPABILITIES] = [](const arcp_request& q) {
        return arcp_reply(q, 0x601).u16(0).done();  // not the bare no-capabilities answer
    };
    dr_device_t* d = open_explicit();
    ASSERT_EQ(dr_device_query_capabilities(d, on_done, nullptr), AUD_SUCCESS);
    ASSERT_TRUE(pump_until([&] { return !completions.empty(); }));
    EXPECT_EQ(completions[0].result, AUD_ERR_FAULT);
    EXPECT_NE(dr_device_get_state(d), DR_DEVICE_STATE_ACTIVE);
}

TEST_F(RoutingTest, StatusFlagsFollowTheCapabilityFlags) {
    peer.spec.capability_flags = (1u << 1) | (1u << 16) | (1u << 17);
    peer.spec.version = 0x2703;
    dr_device_t* d = open_active();
    uint32_t flags = 0;
    ASSERT_EQ(dr_device_get_status_flags(d, &flags), AUD_SUCCESS);
    // The names answer comes last and decides the conflict: the names agree here.
    EXPECT_EQ(flags, DR_DEVICE_STATUS_LOCKDOWN | DR_DEVICE_STATUS_UNLICENSED);
    EXPECT_TRUE(has_flag(changes, DR_DEVICE_CHANGE_STATUS));
}

TEST_F(RoutingTest, NamesAnswerSetsTheCurrentNameAndTheConflictFlag) {
    peer.spec.name = "Stage-Left";
    dr_device_t* d = open_active();
    EXPECT_STREQ(dr_device_get_name(d), "Stage-Left");
    EXPECT_STREQ(dr_device_get_advertised_name(d), "Amp-1");
    uint32_t flags = 0;
    ASSERT_EQ(dr_device_get_status_flags(d, &flags), AUD_SUCCESS);
    EXPECT_TRUE(flags & DR_DEVICE_STATUS_NAME_CONFLICT);
    EXPECT_TRUE(has_flag(changes, DR_DEVICE_CHANGE_NAME));
}

TEST_F(RoutingTest, NamesWithADifferentCaseAreNoConflict) {
    peer.spec.name = "AMP-1";
    dr_device_t* d = open_active();
    uint32_t flags = 1;
    ASSERT_EQ(dr_device_get_status_flags(d, &flags), AUD_SUCCESS);
    EXPECT_EQ(flags, 0u);
}

TEST_F(RoutingTest, ChannelsAreReadAndLoseTheirStaleFlag) {
    peer.spec.rx = {"Left", "Right"};
    dr_device_t* d = open_active();
    dr_request_id_t id = nullptr;
    ASSERT_EQ(dr_device_update_component(d, on_done, &id, DR_DEVICE_COMPONENT_RXCHANNELS),
              AUD_SUCCESS);
    completions.clear();
    changes.clear();
    ASSERT_TRUE(pump_until([&] { return !completions.empty(); }));
    EXPECT_EQ(completions[0].result, AUD_SUCCESS);
    EXPECT_EQ(completions[0].id, id);
    EXPECT_FALSE(dr_device_is_component_stale(d, DR_DEVICE_COMPONENT_RXCHANNELS));
    EXPECT_STREQ(dr_rxchannel_get_name(dr_device_rxchannel_at_index(d, 1)), "Right");
    ASSERT_EQ(changes.size(), 1u);  // collected into one call
    EXPECT_EQ(changes[0].flags, DR_DEVICE_CHANGE_RXCHANNELS | DR_DEVICE_CHANGE_STALE);
    // The range list asks from the first stale id.
    const auto body = peer.received.back().body();
    EXPECT_EQ(body, (std::vector<uint8_t>{0, 1, 0, 1, 0, 0}));
}

TEST_F(RoutingTest, ChannelAnswerWithMoreRecordsAsksFromTheNextStaleId) {
    peer.spec.tx = {"a", "b", "c"};
    peer.handlers[ARCP_OP_TX_CHANNELS] = [this](const arcp_request& q) {
        const auto body = q.body();
        const uint16_t first = static_cast<uint16_t>(body[2] << 8 | body[3]);
        return first == 1 ? channels_reply(q, peer.spec, true, 1, 2, ARCP_RESULT_MORE_RECORDS)
                          : channels_reply(q, peer.spec, true, first, 1, ARCP_RESULT_SUCCESS);
    };
    dr_device_t* d = open_active();
    ASSERT_EQ(dr_device_update_component(d, on_done, nullptr, DR_DEVICE_COMPONENT_TXCHANNELS),
              AUD_SUCCESS);
    completions.clear();
    peer.received.clear();
    ASSERT_TRUE(pump_until([&] { return !completions.empty(); }));
    EXPECT_EQ(completions[0].result, AUD_SUCCESS);
    ASSERT_EQ(peer.received.size(), 2u);
    EXPECT_EQ(peer.received[1].body()[3], 3);
    EXPECT_STREQ(dr_txchannel_get_name(dr_device_txchannel_at_index(d, 2)), "c");
}

TEST_F(RoutingTest, AnAnswerThatBringsNothingNewEndsTheQuery) {
    peer.handlers[ARCP_OP_TX_CHANNELS] = [this](const arcp_request& q) {
        return channels_reply(q, peer.spec, true, 1, 0, ARCP_RESULT_MORE_RECORDS);
    };
    dr_device_t* d = open_active();
    ASSERT_EQ(dr_device_update_component(d, on_done, nullptr, DR_DEVICE_COMPONENT_TXCHANNELS),
              AUD_SUCCESS);
    completions.clear();
    ASSERT_TRUE(pump_until([&] { return !completions.empty(); }));
    EXPECT_EQ(completions[0].result, AUD_ERR_INVALIDDATA);
    EXPECT_TRUE(dr_device_is_component_stale(d, DR_DEVICE_COMPONENT_TXCHANNELS));
}

TEST_F(RoutingTest, ChannelIdsBeyondTheCountPutTheDeviceInError) {
    struct {
        bool tx;
        dr_device_component_t component;
        const char* message;
    } cases[] = {
        {true, DR_DEVICE_COMPONENT_TXCHANNELS, "TxChannelQuery: invalid ID"},
        {false, DR_DEVICE_COMPONENT_RXCHANNELS, "RxChannelQuery: invalid ID"},
    };
    for (const auto& c : cases) {
        const bool tx = c.tx;
        peer.handlers[tx ? ARCP_OP_TX_CHANNELS : ARCP_OP_RX_CHANNELS] =
            [this, tx](const arcp_request& q) {
                return channels_reply(q, peer.spec, tx, 2, 2, ARCP_RESULT_SUCCESS);  // ids 2, 3
            };
        dr_device_t* d = open_active();
        ASSERT_EQ(dr_device_update_component(d, on_done, nullptr, c.component), AUD_SUCCESS);
        completions.clear();
        ASSERT_TRUE(pump_until([&] { return !completions.empty(); }));
        EXPECT_EQ(completions[0].result, DR_ERR_CAPABILITIES_CHANGED);
        EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_ERROR);
        EXPECT_STREQ(dr_device_get_error_message(d), c.message);
    }
}

// A record with an invalid name is rejected on its own: the other records of the
// answer are kept and the component is complete. A bad offset spoils the answer.
TEST_F(RoutingTest, ChannelRecordsWithBadNamesAreRejectedOneByOne) {
    struct {
        const char* name;
        bool point_into_records;
        aud_error_t expected;
    } cases[] = {
        {"Left.1", false, AUD_SUCCESS},
        {"a=b", false, AUD_SUCCESS},
        {"x@y", false, AUD_SUCCESS},
        {"", false, AUD_SUCCESS},
        {"abcdefghijabcdefghijabcdefghijab", false, AUD_SUCCESS},
        {"fine", true, AUD_ERR_INVALIDDATA},
    };
    for (const auto& c : cases) {
        // Channel 1 carries the name under test, channel 2 a good one.
        peer.handlers[ARCP_OP_TX_CHANNELS] = [c](const arcp_request& q) {
            arcp_reply r(q, ARCP_RESULT_SUCCESS);
            const uint16_t first_text = 12 + 2 * 8;
            const uint16_t second_text =
                static_cast<uint16_t>(first_text + std::string(c.name).size() + 1);
            r.u8(0).u8(2);
            r.u16(1).u16(0).u16(0).u16(c.point_into_records ? 12 : first_text);
            r.u16(2).u16(0).u16(0).u16(second_text);
            r.text(c.name).text("Right");
            return r.done();
        };
        dr_device_t* d = open_active();
        ASSERT_EQ(dr_device_update_component(d, on_done, nullptr, DR_DEVICE_COMPONENT_TXCHANNELS),
                  AUD_SUCCESS);
        completions.clear();
        ASSERT_TRUE(pump_until([&] { return !completions.empty(); }));
        EXPECT_EQ(completions[0].result, c.expected) << c.name;
        EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_ACTIVE);
        if (c.expected == AUD_SUCCESS) {
            EXPECT_FALSE(dr_device_is_component_stale(d, DR_DEVICE_COMPONENT_TXCHANNELS)) << c.name;
            EXPECT_STREQ(dr_txchannel_get_name(dr_device_txchannel_at_index(d, 0)), "") << c.name;
            EXPECT_STREQ(dr_txchannel_get_name(dr_device_txchannel_at_index(d, 1)), "Right")
                << c.name;
        } else {
            EXPECT_TRUE(dr_txchannel_is_stale(dr_device_txchannel_at_index(d, 0))) << c.name;
        }
    }
}

TEST_F(RoutingTest, LabelWithABadNameIsDroppedAndTheOthersKept) {
    peer.handlers[ARCP_OP_TX_LABELS] = [](const arcp_request& q) {
        arcp_reply r(q, ARCP_RESULT_SUCCESS);
        r.u8(0).u8(2);
        r.u16(1).u16(0).u16(28).u16(0);
        r.u16(2).u16(0).u16(32).u16(0);
        r.text("a.b").text("Mix");  // 28: "a.b", 32: "Mix"
        return r.done();
    };
    dr_device_t* d = open_active();
    ASSERT_EQ(dr_device_update_component(d, on_done, nullptr, DR_DEVICE_COMPONENT_TXLABELS),
              AUD_SUCCESS);
    completions.clear();
    ASSERT_TRUE(pump_until([&] { return !completions.empty(); }));
    EXPECT_EQ(completions[0].result, AUD_SUCCESS);
    EXPECT_FALSE(dr_device_is_component_stale(d, DR_DEVICE_COMPONENT_TXLABELS));
    ASSERT_EQ(dr_device_num_txlabels(d), 1u);
    uint16_t channel = 0;
    const char* label = nullptr;
    ASSERT_EQ(dr_device_get_txlabel(d, 0, &channel, &label), AUD_SUCCESS);
    EXPECT_EQ(channel, 2);
    EXPECT_STREQ(label, "Mix");
}

TEST_F(RoutingTest, AnswerFromAnotherPortCompletesWithAddrNotAvail) {
    dr_device_t* d = open_explicit();
    scripted_device other;
    peer.handlers[ARCP_OP_PING] = [&](const arcp_request& q) {
        std::vector<uint8_t> answer = arcp_reply(q, ARCP_RESULT_SUCCESS).done();
        sendto(other.fd, answer.data(), answer.size(), 0,
               reinterpret_cast<const sockaddr*>(&peer.last_from), sizeof peer.last_from);
        return std::vector<uint8_t>{};
    };
    dr_request_id_t id = nullptr;
    ASSERT_EQ(dr_device_ping(d, on_done, &id), AUD_SUCCESS);
    ASSERT_TRUE(pump_until([&] { return !completions.empty(); }));
    EXPECT_EQ(completions[0].id, id);
    EXPECT_EQ(completions[0].result, AUD_ERR_ADDRNOTAVAIL);
    EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_ERROR);
    EXPECT_STREQ(dr_device_get_error_message(d), "Invalid source port in recved message");
}

TEST_F(RoutingTest, UnknownSequenceNumbersAndRequestsAreDropped) {
    dr_device_t* d = open_explicit();
    peer.silent = true;
    ASSERT_EQ(dr_device_ping(d, on_done, nullptr), AUD_SUCCESS);
    pump();
    const arcp_request q = peer.received.at(0);
    arcp_request wrong = q;
    wrong.head.seqnum = static_cast<uint16_t>(q.head.seqnum + 100);
    peer.send_from(peer.fd, arcp_reply(wrong, ARCP_RESULT_SUCCESS).done());
    peer.send_from(peer.fd, arcp_reply(q, 0).done());  // status 0: a request
    pump();
    EXPECT_TRUE(completions.empty());
    EXPECT_EQ(dr_devices_get_pending_requests(devices), 1u);
    peer.send_from(peer.fd, arcp_reply(q, ARCP_RESULT_SUCCESS).done());
    ASSERT_TRUE(pump_until([&] { return !completions.empty(); }));
    EXPECT_EQ(completions[0].result, AUD_SUCCESS);
}

// ---------------------------------------------------------------------------
// What a device tells on its own

std::vector<uint8_t> notification(uint16_t opcode, uint16_t seqnum, uint16_t status) {
    arcp_request q;
    q.head = {0x2725, ARCP_HEAD_SIZE, seqnum, opcode, 0};
    return arcp_reply(q, status).done();
}

TEST_F(RoutingTest, DeviceNotificationsSetStatusAndMarkChannelsChanged) {
    dr_device_t* d = open_active();
    for (auto component : {DR_DEVICE_COMPONENT_TXCHANNELS, DR_DEVICE_COMPONENT_RXCHANNELS}) {
        ASSERT_EQ(dr_device_update_component(d, on_done, nullptr, component), AUD_SUCCESS);
    }
    ASSERT_TRUE(pump_until([&] {
        return !dr_device_is_component_stale(d, DR_DEVICE_COMPONENT_TXCHANNELS) &&
               !dr_device_is_component_stale(d, DR_DEVICE_COMPONENT_RXCHANNELS);
    }));
    // A ping waits with the sequence number the notifications happen to carry.
    peer.silent = true;
    ASSERT_EQ(dr_device_ping(d, on_done, nullptr), AUD_SUCCESS);
    pump();
    const uint16_t seq = peer.received.back().head.seqnum;
    completions.clear();

    struct {
        uint16_t opcode;
        uint16_t status;
        dr_device_change_flags_t change;
        bool bit4;
    } steps[] = {
        {ARCP_OP_STATUS_SET, 1, DR_DEVICE_CHANGE_STATUS, true},
        {ARCP_OP_STATUS_SET, 0, 0, true},  // already set: nothing to report
        {ARCP_OP_COMPONENTS_CHANGED, 1,
         DR_DEVICE_CHANGE_TXCHANNELS | DR_DEVICE_CHANGE_RXCHANNELS | DR_DEVICE_CHANGE_STALE, true},
        {ARCP_OP_STATUS_CLEAR, 0, DR_DEVICE_CHANGE_STATUS, false},
    };
    for (const auto& step : steps) {
        changes.clear();
        peer.send_from(peer.fd, notification(step.opcode, seq, step.status));
        pump();
        if (step.change) {
            ASSERT_EQ(changes.size(), 1u) << step.opcode;
            EXPECT_EQ(changes[0].flags, step.change) << step.opcode;
        } else {
            EXPECT_TRUE(changes.empty()) << step.opcode;
        }
        uint32_t status = 0;
        ASSERT_EQ(dr_device_get_status_flags(d, &status), AUD_SUCCESS);
        EXPECT_EQ((status & DR_DEVICE_STATUS_BIT4) != 0, step.bit4) << step.opcode;
    }
    EXPECT_TRUE(dr_device_is_component_stale(d, DR_DEVICE_COMPONENT_TXCHANNELS));
    EXPECT_TRUE(dr_device_is_component_stale(d, DR_DEVICE_COMPONENT_RXCHANNELS));
    // Nothing was taken as the answer to the waiting ping.
    EXPECT_TRUE(completions.empty());
    EXPECT_EQ(dr_devices_get_pending_requests(devices), 1u);
    EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_ACTIVE);

    // The status bit survives the next capabilities answer.
    peer.send_from(peer.fd, notification(ARCP_OP_STATUS_SET, 0, 1));
    peer.silent = false;
    ASSERT_EQ(dr_device_query_capabilities(d, on_done, nullptr), AUD_SUCCESS);
    ASSERT_TRUE(pump_until([&] { return !completions.empty(); }));
    uint32_t status = 0;
    ASSERT_EQ(dr_device_get_status_flags(d, &status), AUD_SUCCESS);
    EXPECT_NE(status & DR_DEVICE_STATUS_BIT4, 0u);

    // From an address no open device has: nobody's news.
    scripted_device stranger;
    stranger.last_from = peer.last_from;
    changes.clear();
    stranger.send_from(stranger.fd, notification(ARCP_OP_STATUS_CLEAR, 0, 1));
    pump();
    EXPECT_TRUE(changes.empty());
}

// ---------------------------------------------------------------------------
// Answers to requests nobody waits for any more

TEST_F(RoutingTest, AnUnansweredRequestKeepsItsSequenceNumberToItself) {
    scripted_device second;
    second.silent = true;
    peer.silent = true;
    dr_device_t* first = open_explicit();
    dr_device_t* other = open_explicit(second.port(), "Amp-2");
    dr_request_id_t stuck = nullptr;
    ASSERT_EQ(dr_device_ping(first, on_done, &stuck), AUD_SUCCESS);
    pump();
    const arcp_request old = peer.received.at(0);
    // The counter comes round to the unanswered request's number.
    reinterpret_cast<dr_devices*>(devices)->next_seqnum = old.head.seqnum;
    dr_request_id_t fresh = nullptr;
    ASSERT_EQ(dr_device_ping(other, on_done, &fresh), AUD_SUCCESS);
    ASSERT_TRUE(pump_until([&] {
        second.serve();
        return !second.received.empty();
    }));
    const arcp_request now = second.received.at(0);
    EXPECT_NE(now.head.seqnum, old.head.seqnum);

    // Should two requests hold one number after all, the answer goes to the request
    // of the device it came from.
    fresh->seqnum = old.head.seqnum;
    second.send_from(second.fd, arcp_reply(old, ARCP_RESULT_SUCCESS).done());
    ASSERT_TRUE(pump_until([&] { return !completions.empty(); }));
    EXPECT_EQ(completions[0].id, fresh);
    EXPECT_EQ(dr_device_get_state(first), DR_DEVICE_STATE_RESOLVED);

    // A cancelled request's late answer belongs to nobody.
    EXPECT_EQ(dr_device_cancel_request(other, stuck), AUD_ERR_NOTFOUND);
    EXPECT_EQ(dr_device_cancel_request(first, stuck), AUD_SUCCESS);
    EXPECT_EQ(dr_devices_get_pending_requests(devices), 0u);
    peer.send_from(peer.fd, arcp_reply(old, ARCP_RESULT_SUCCESS).done());
    pump();
    EXPECT_EQ(completions.size(), 1u);
}

TEST_F(RoutingTest, PingResultsAreMapped) {
    struct {
        uint16_t status;
        aud_error_t expected;
    } cases[] = {
        {0x0001, AUD_SUCCESS},         {0x0011, AUD_ERR_VERSION}, {0x0031, AUD_ERR_NOTSUPPORTED},
        {0x0021, AUD_ERR_MSGSIZE},     {0x0111, AUD_ERR_MSGSIZE}, {0x00F2, AUD_ERR_INVALIDSTATE},
        {0x0100, AUD_ERR_INVALIDDATA}, {0x0240, AUD_ERR_FAULT},
    };
    dr_device_t* d = open_explicit();
    for (const auto& c : cases) {
        peer.handlers[ARCP_OP_PING] = [c](const arcp_request& q) {
            return arcp_reply(q, c.status).done();
        };
        completions.clear();
        ASSERT_EQ(dr_device_ping(d, on_done, nullptr), AUD_SUCCESS);
        ASSERT_TRUE(pump_until([&] { return !completions.empty(); }));
        EXPECT_EQ(completions[0].result, c.expected) << std::hex << c.status;
    }
}

TEST_F(RoutingTest, SeventeenthOutstandingRequestHasNoBuffer) {
    dr_device_t* d = open_explicit();
    peer.silent = true;
    for (int i = 0; i < DR_DEFAULT_REQUEST_LIMIT; ++i) {
        ASSERT_EQ(dr_device_ping(d, on_done, nullptr), AUD_SUCCESS) << i;
    }
    EXPECT_EQ(dr_device_ping(d, on_done, nullptr), AUD_ERR_NOBUFS);
    EXPECT_EQ(dr_devices_get_pending_requests(devices), 16u);
    EXPECT_EQ(dr_devices_set_request_limit(devices, 128), AUD_ERR_INVALIDSTATE);
    pump();
    EXPECT_TRUE(completions.empty());
    // Closing frees the entries without calling back.
    ASSERT_EQ(dr_device_close(d), AUD_SUCCESS);
    opened.clear();
    EXPECT_EQ(dr_devices_get_pending_requests(devices), 0u);
    EXPECT_TRUE(completions.empty());
    EXPECT_EQ(dr_devices_set_request_limit(devices, 128), AUD_SUCCESS);
    EXPECT_EQ(dr_devices_get_request_limit(devices), 128u);
}

TEST_F(RoutingTest, FactoryLimits) {
    EXPECT_EQ(dr_devices_set_request_limit(devices, 0), AUD_ERR_INVALIDPARAMETER);
    EXPECT_EQ(dr_devices_set_handle_count(devices, 16), AUD_SUCCESS);
    EXPECT_EQ(dr_devices_set_handle_count(devices, 8), AUD_ERR_INVALIDPARAMETER);
    dr_device_t* d = open_explicit();
    EXPECT_EQ(dr_devices_delete(devices), AUD_ERR_INVALIDSTATE);
    (void)d;
}

TEST_F(RoutingTest, RenameFollowsTheNameRule) {
    dr_device_t* d = open_explicit();
    for (const char* bad : {"-Amp", "Amp-", "Amp 1", "Amp_1", "abcdefghijabcdefghijabcdefghijab"}) {
        EXPECT_EQ(dr_device_set_name(d, on_done, nullptr, bad), AUD_ERR_INVALIDDATA) << bad;
        EXPECT_EQ(CloseRename(d, bad), AUD_ERR_INVALIDDATA) << bad;
    }
    pump();
    EXPECT_TRUE(peer.received.empty());

    dr_request_id_t id = nullptr;
    ASSERT_EQ(dr_device_set_name(d, on_done, &id, "Stage-2"), AUD_SUCCESS);
    ASSERT_TRUE(pump_until([&] { return !completions.empty(); }));
    EXPECT_EQ(completions[0].result, AUD_SUCCESS);
    ASSERT_EQ(peer.received.size(), 1u);
    EXPECT_EQ(peer.received[0].head.opcode, ARCP_OP_SET_NAME);
    EXPECT_EQ(peer.received[0].body(),
              (std::vector<uint8_t>{'S', 't', 'a', 'g', 'e', '-', '2', 0}));

    // An empty name is sent as an empty string; without a request id no entry is taken.
    ASSERT_EQ(dr_device_set_name(d, on_done, nullptr, ""), AUD_SUCCESS);
    EXPECT_EQ(dr_devices_get_pending_requests(devices), 0u);
    pump();
    ASSERT_EQ(peer.received.size(), 2u);
    EXPECT_EQ(peer.received[1].body(), (std::vector<uint8_t>{0}));
}

TEST_F(RoutingTest, CloseRenameSendsAndCloses) {
    dr_device_t* d = open_explicit();
    ASSERT_EQ(CloseRename(d, "Amp-9"), AUD_SUCCESS);
    opened.clear();
    pump();
    ASSERT_EQ(peer.received.size(), 1u);
    EXPECT_EQ(peer.received[0].head.opcode, ARCP_OP_SET_NAME);
    EXPECT_EQ(dr_devices_delete(devices), AUD_SUCCESS);  // nothing open any more
    ASSERT_EQ(dr_devices_new(api, &devices), AUD_SUCCESS);
}

TEST_F(RoutingTest, CloseFromInsideTheChangeCallbackIsSafe) {
    dr_device_t* d = open_explicit();
    on_change_hook = [&](dr_device_t* dev, dr_device_change_flags_t flags) {
        if (flags & DR_DEVICE_CHANGE_STATE && dr_device_get_state(dev) == DR_DEVICE_STATE_ACTIVE) {
            dr_device_close(dev);
            opened.clear();
        }
    };
    ASSERT_EQ(dr_device_query_capabilities(d, on_done, nullptr), AUD_SUCCESS);
    ASSERT_TRUE(pump_until([&] { return opened.empty(); }));
    pump();
    EXPECT_EQ(dr_devices_get_pending_requests(devices), 0u);
}

TEST_F(RoutingTest, ComponentUpdatesNeedAnActiveDevice) {
    dr_device_t* d = open_explicit();
    EXPECT_EQ(dr_device_update_component(d, on_done, nullptr, DR_DEVICE_COMPONENT_TXCHANNELS),
              AUD_ERR_INVALIDSTATE);
    d = open_active();
    EXPECT_EQ(
        dr_device_update_component(d, on_done, nullptr, static_cast<dr_device_component_t>(6)),
        AUD_ERR_INVALIDPARAMETER);
}

TEST_F(RoutingTest, PropertiesAreReadThenTheFlowErrorQueryFollows) {
    peer.handlers[ARCP_OP_PROPERTIES] = [](const arcp_request& q) {
        arcp_reply r(q, ARCP_RESULT_SUCCESS);
        r.u8(0).u8(3);
        r.u16(0x8204).u16(4).u16(36).u16(0);   // TX latency
        r.u16(0x0310).u16(2).u16(40).u16(0);   // RX frames per packet
        r.u16(0x8021).u16(16).u16(42).u16(0);  // clock subdomain
        r.u32(1000000).u16(16);
        const char sub[16] = {'_', 'D', 'F', 'L', 'T'};
        for (char c : sub) {
            r.u8(static_cast<uint8_t>(c));
        }
        return r.done();
    };
    dr_device_t* d = open_active();
    ASSERT_EQ(dr_device_update_component(d, on_done, nullptr, DR_DEVICE_COMPONENT_PROPERTIES),
              AUD_SUCCESS);
    completions.clear();
    peer.received.clear();
    ASSERT_TRUE(pump_until([&] { return !completions.empty(); }));
    EXPECT_EQ(completions[0].result, AUD_SUCCESS);
    EXPECT_EQ(opcodes(), (std::vector<uint16_t>{ARCP_OP_PROPERTIES, ARCP_OP_RX_FLOW_ERRORS}));
    const auto body = peer.received[0].body();
    ASSERT_EQ(body.size(), 2u + 2 * 15);
    EXPECT_EQ(body[1], 15);
    EXPECT_EQ(body[2] << 8 | body[3], 0x0201);
    EXPECT_EQ(body[30] << 8 | body[31], 0x0022);
    uint32_t v = 0;
    EXPECT_EQ(dr_device_get_property(d, 0x8204, &v), AUD_SUCCESS);
    EXPECT_EQ(v, 1000000u);
    EXPECT_EQ(dr_device_get_property(d, 0x0310, &v), AUD_SUCCESS);
    EXPECT_EQ(v, 16u);
    EXPECT_EQ(dr_device_get_property(d, 0x8301, &v), AUD_ERR_NOTFOUND);
    char sub[17];
    EXPECT_EQ(dr_device_get_clock_subdomain(d, sub), AUD_SUCCESS);
    EXPECT_STREQ(sub, "_DFLT");
}

TEST_F(RoutingTest, PropertyValuesOutsideTheDatagramAreRefused) {
    peer.handlers[ARCP_OP_PROPERTIES] = [](const arcp_request& q) {
        arcp_reply r(q, ARCP_RESULT_SUCCESS);
        r.u8(0).u8(1).u16(0x8204).u16(4).u16(20).u16(0).u16(0);  // 2 of 4 bytes present
        return r.done();
    };
    dr_device_t* d = open_active();
    ASSERT_EQ(dr_device_update_component(d, on_done, nullptr, DR_DEVICE_COMPONENT_PROPERTIES),
              AUD_SUCCESS);
    completions.clear();
    ASSERT_TRUE(pump_until([&] { return !completions.empty(); }));
    EXPECT_EQ(completions[0].result, AUD_ERR_INVALIDDATA);
    EXPECT_TRUE(dr_device_is_component_stale(d, DR_DEVICE_COMPONENT_PROPERTIES));
}

TEST_F(RoutingTest, DomainChangeClosesAdhocDevices) {
    dr_device_t* d = open_explicit();
    dapi_domain_identity_t managed{};
    memset(managed.id, 0x42, sizeof managed.id);
    managed.flags = 0;
    ASSERT_EQ(dapi_domain_handler_set_identity(dapi_get_domain_handler(api), &managed),
              AUD_SUCCESS);
    EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_ERROR);
    EXPECT_EQ(dr_device_get_error(d), AUD_ERR_POLICY);
    EXPECT_STREQ(dr_device_get_error_message(d), "Device closed due to domain change");
    // Explicit addresses are refused in a managed domain.
    dr_device_config_t* config = nullptr;
    ASSERT_EQ(dr_device_config_new("Amp-2", &config), AUD_SUCCESS);
    ASSERT_EQ(dr_device_config_add_address(config, htonl(INADDR_LOOPBACK), 0), AUD_SUCCESS);
    dr_device_t* other = nullptr;
    EXPECT_EQ(dr_device_open_with_config(devices, config, &other), AUD_ERR_INVALIDPARAMETER);
    dr_device_config_delete(config);
}

TEST(RoutingErrors, LayerCodesComeFirstAndFallBackToTheLibrary) {
    const aud_error_t codes[] = {DR_ERR_INVALID_HANDLE,        DR_ERR_NO_MORE_HANDLES,
                                 DR_ERR_CAPABILITIES_CHANGED,  DR_ERR_LABEL_CANONICAL_THIS,
                                 DR_ERR_LABEL_CANONICAL_OTHER, DR_ERR_LABEL_EXISTS,
                                 DR_ERR_LABEL_MISSING};
    for (size_t i = 0; i < std::size(codes); ++i) {
        ASSERT_NE(dr_error_get_name(codes[i]), nullptr);
        EXPECT_NE(*dr_error_get_message(codes[i]), '\0');
        for (size_t j = 0; j < i; ++j) {
            EXPECT_STRNE(dr_error_get_name(codes[i]), dr_error_get_name(codes[j]));
        }
    }
    EXPECT_STREQ(dr_error_get_message(DR_ERR_LABEL_MISSING),
                 "label error: the label doesn't exist");
    EXPECT_STREQ(dr_error_get_message(AUD_ERR_NOBUFS), "no buffers");
    EXPECT_EQ(dr_error_get_name(static_cast<aud_error_t>(0x141)), nullptr);
}

}  // namespace
