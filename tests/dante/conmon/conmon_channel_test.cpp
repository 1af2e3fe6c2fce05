// Datagram processing of the channels, fed as bytes: the checks that drop a datagram,
// delivery by direction, and the duplicate ring across two networks.
#include <gtest/gtest.h>
#include <net/if.h>

#include "conmon_channel_fixture.h"

namespace {

using namespace channel_test;

constexpr uint32_t kAll = (1u << CONMON_CHANNEL_TYPE_METERING) |
                          (1u << CONMON_CHANNEL_TYPE_SERIAL) |
                          (1u << CONMON_CHANNEL_TYPE_VBROADCAST);

class ChannelProcessing : public ::testing::Test {
  protected:
    void SetUp() override {
        conmon_channels_config_t config{};
        config.channel_mask = kAll;
        config.vbroadcast_group = ip("239.253.1.7");
        ASSERT_EQ(conmon_channels_new(nullptr, nullptr, &config, recorder::deliver, &rec, &set),
                  AUD_SUCCESS);
        conmon_channels_set_clock(set, fake_clock::read, &clock);
        conmon_channels_set_instance_id(set, &self);
        // Two networks the test machine does not have: joins fail quietly.
        conmon_channel_network_t nets[2] = {};
        nets[0] = {40, ip("10.77.0.1"), true, 40, true};
        nets[1] = {41, ip("10.77.1.1"), true, 1041, true};
        ASSERT_EQ(conmon_channels_set_networks(set, nets, 2), AUD_SUCCESS);
        serial = conmon_channels_get_channel(set, CONMON_CHANNEL_TYPE_SERIAL);
        metering = conmon_channels_get_channel(set, CONMON_CHANNEL_TYPE_METERING);
        ASSERT_NE(serial, nullptr);
        ASSERT_NE(metering, nullptr);
    }
    void TearDown() override { conmon_channels_delete(set); }

    conmon_channel_rx_info_t arrival(uint32_t index, const char* to = "224.0.0.232",
                                     const char* from = "10.77.0.9") {
        conmon_channel_rx_info_t info{};
        info.has_from = info.has_to = info.has_index = true;
        info.from = {ip(from), 8705};
        info.to_address = ip(to);
        info.if_index = index;
        return info;
    }

    conmon_channel_rx_result_t feed(conmon_channel_t* ch, const std::vector<uint8_t>& d,
                                    const conmon_channel_rx_info_t& info) {
        conmon_channel_rx_result_t r{};
        EXPECT_EQ(conmon_channel_process_datagram(ch, d.data(), d.size(), &info, &r), AUD_SUCCESS);
        return r;
    }

    recorder rec;
    fake_clock clock;
    conmon_instance_id_t self = instance(1, 100);
    conmon_instance_id_t other = instance(2, 200);
    conmon_channels_t* set = nullptr;
    conmon_channel_t* serial = nullptr;
    conmon_channel_t* metering = nullptr;
};

TEST_F(ChannelProcessing, DeliversByDirectionWithHeadAndBody) {
    EXPECT_EQ(feed(serial, datagram(other, 7, {1, 2, 3}), arrival(40)),
              CONMON_CHANNEL_RX_DELIVERED);
    EXPECT_EQ(feed(serial, datagram(self, 8), arrival(40)), CONMON_CHANNEL_RX_DELIVERED);
    ASSERT_EQ(rec.seen.size(), 2u);
    EXPECT_EQ(rec.seen[0].channel, CONMON_CHANNEL_TYPE_SERIAL);
    EXPECT_EQ(rec.seen[0].direction, CONMON_CHANNEL_DIRECTION_RX);
    EXPECT_EQ(rec.seen[0].seqnum, 7);
    EXPECT_EQ(rec.seen[0].body, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(rec.seen[1].direction, CONMON_CHANNEL_DIRECTION_TX);
}

TEST_F(ChannelProcessing, DropsShortAndMislabelledDatagrams) {
    std::vector<uint8_t> d = datagram(other, 1, {});
    std::vector<uint8_t> short23(d.begin(), d.begin() + 23);
    EXPECT_EQ(feed(serial, short23, arrival(40)), CONMON_CHANNEL_RX_SHORT);
    std::vector<uint8_t> longer = datagram(other, 2, {9, 9});
    longer.push_back(0);
    EXPECT_EQ(feed(serial, longer, arrival(40)), CONMON_CHANNEL_RX_BAD_LENGTH);
    std::vector<uint8_t> shorter = datagram(other, 3, {9, 9});
    shorter.pop_back();
    EXPECT_EQ(feed(serial, shorter, arrival(40)), CONMON_CHANNEL_RX_BAD_LENGTH);
    EXPECT_EQ(feed(serial, {}, arrival(40)), CONMON_CHANNEL_RX_SHORT);
    EXPECT_TRUE(rec.seen.empty());
}

TEST_F(ChannelProcessing, NeedsSourceDestinationAndAKnownInterface) {
    auto d = datagram(other, 1);
    auto info = arrival(40);
    info.has_from = false;
    EXPECT_EQ(feed(serial, d, info), CONMON_CHANNEL_RX_NO_FROM);
    info = arrival(40);
    info.has_to = false;
    EXPECT_EQ(feed(serial, d, info), CONMON_CHANNEL_RX_NO_TO);
    info = arrival(40);
    info.has_index = false;
    EXPECT_EQ(feed(serial, d, info), CONMON_CHANNEL_RX_NO_INDEX);
    EXPECT_EQ(feed(serial, d, arrival(99)), CONMON_CHANNEL_RX_NO_NETWORK);
    // Network 1 is found by its system packet-info index as well as its entry index.
    EXPECT_EQ(feed(serial, d, arrival(1041)), CONMON_CHANNEL_RX_DELIVERED);
    const auto* e = conmon_channel_dedup_find(conmon_channel_get_dedup(serial), 1, &other);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->networks, 0x2);
}

TEST_F(ChannelProcessing, ChannelsRefuseTheOtherKindOfDestination) {
    EXPECT_EQ(feed(serial, datagram(other, 1), arrival(40, "10.77.0.1")),
              CONMON_CHANNEL_RX_UNEXPECTED_UNICAST);
    EXPECT_EQ(feed(metering, datagram(other, 2), arrival(40, "224.0.0.232")),
              CONMON_CHANNEL_RX_UNEXPECTED_MULTICAST);
    EXPECT_EQ(feed(metering, datagram(other, 3), arrival(40, "10.77.0.1")),
              CONMON_CHANNEL_RX_DELIVERED);
    ASSERT_EQ(rec.seen.size(), 1u);
    EXPECT_EQ(rec.seen[0].channel, CONMON_CHANNEL_TYPE_METERING);
}

TEST_F(ChannelProcessing, UnicastArrivalOnLoopbackCountsAsNetworkZero) {
    const uint32_t lo = if_nametoindex("lo");
    ASSERT_NE(lo, 0u);
    EXPECT_EQ(feed(metering, datagram(other, 4), arrival(lo, "127.0.0.1", "127.0.0.1")),
              CONMON_CHANNEL_RX_DELIVERED);
    // Multicast channels have no such mapping.
    EXPECT_EQ(feed(serial, datagram(other, 5), arrival(lo)), CONMON_CHANNEL_RX_NO_NETWORK);
}

TEST_F(ChannelProcessing, SerialAndVendorBroadcastDeliverOnlyInTheAdhocDomain) {
    conmon_channel_t* vb = conmon_channels_get_channel(set, CONMON_CHANNEL_TYPE_VBROADCAST);
    ASSERT_NE(vb, nullptr);
    conmon_channels_set_adhoc(set, false);
    EXPECT_EQ(feed(serial, datagram(other, 1), arrival(40)), CONMON_CHANNEL_RX_DISABLED);
    EXPECT_EQ(feed(vb, datagram(other, 1), arrival(40, "239.253.1.7")), CONMON_CHANNEL_RX_DISABLED);
    EXPECT_EQ(feed(metering, datagram(other, 1), arrival(40, "10.77.0.1")),
              CONMON_CHANNEL_RX_DELIVERED);
    conmon_channels_set_adhoc(set, true);
    EXPECT_EQ(feed(serial, datagram(other, 1), arrival(40)), CONMON_CHANNEL_RX_DELIVERED);
}

TEST_F(ChannelProcessing, SecondCopyOverTheOtherNetworkWithinTwoSecondsIsDropped) {
    auto d = datagram(other, 77);
    EXPECT_EQ(feed(serial, d, arrival(40, "224.0.0.232", "10.77.0.9")),
              CONMON_CHANNEL_RX_DELIVERED);
    clock.advance_us(1999999);
    EXPECT_EQ(feed(serial, d, arrival(41, "224.0.0.232", "10.77.1.9")),
              CONMON_CHANNEL_RX_DUPLICATE);
    EXPECT_EQ(rec.seen.size(), 1u);
    const auto* e = conmon_channel_dedup_find(conmon_channel_get_dedup(serial), 77, &other);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->networks, 0x3);
    EXPECT_EQ(e->source[0].address, ip("10.77.0.9"));
    EXPECT_EQ(e->source[1].address, ip("10.77.1.9"));
    // The same sequence number from another sender is another message.
    EXPECT_EQ(feed(serial, datagram(instance(3, 1), 77), arrival(41)), CONMON_CHANNEL_RX_DELIVERED);
}

TEST_F(ChannelProcessing, SameMessageTwoSecondsLaterIsNew) {
    auto d = datagram(other, 5);
    EXPECT_EQ(feed(serial, d, arrival(40)), CONMON_CHANNEL_RX_DELIVERED);
    clock.advance_us(2000000);
    EXPECT_EQ(feed(serial, d, arrival(40)), CONMON_CHANNEL_RX_DELIVERED);
    // The fresh entry now opens its own window.
    clock.advance_us(500000);
    EXPECT_EQ(feed(serial, d, arrival(41)), CONMON_CHANNEL_RX_DUPLICATE);
    EXPECT_EQ(rec.seen.size(), 2u);
}

TEST_F(ChannelProcessing, ThirtyThirdMessageEvictsTheOldest) {
    for (uint16_t seq = 0; seq < 33; ++seq) {
        EXPECT_EQ(feed(serial, datagram(other, seq), arrival(40)), CONMON_CHANNEL_RX_DELIVERED);
    }
    EXPECT_EQ(feed(serial, datagram(other, 1), arrival(41)), CONMON_CHANNEL_RX_DUPLICATE);
    EXPECT_EQ(feed(serial, datagram(other, 0), arrival(41)), CONMON_CHANNEL_RX_DELIVERED);
    EXPECT_EQ(rec.seen.size(), 34u);
}

TEST_F(ChannelProcessing, MeteringAddressListFollowsTheNetworks) {
    const conmon_channel_address_list_t* list = conmon_channel_get_address_list(metering);
    const uint16_t port = conmon_channel_get_unicast_port(metering);
    EXPECT_NE(port, 0);
    EXPECT_EQ(list->count, 2);
    EXPECT_EQ(list->valid_mask, 0x3);
    EXPECT_EQ(list->addresses[1].address, ip("10.77.1.1"));
    EXPECT_EQ(list->addresses[1].port, port);
    conmon_channel_network_t one{40, 0, true, 40, true};
    ASSERT_EQ(conmon_channels_set_networks(set, &one, 1), AUD_SUCCESS);
    EXPECT_EQ(list->count, 1);
    EXPECT_EQ(list->valid_mask, 0);
}

TEST(ChannelSet, VendorBroadcastGroupThatIsNotMulticastMakesNoChannel) {
    conmon_channels_config_t config{};
    config.channel_mask = 1u << CONMON_CHANNEL_TYPE_VBROADCAST;
    config.vbroadcast_group = inet_addr("123.50.254.239");
    conmon_channels_t* set = nullptr;
    ASSERT_EQ(conmon_channels_new(nullptr, nullptr, &config, nullptr, nullptr, &set), AUD_SUCCESS);
    EXPECT_EQ(conmon_channels_get_channel(set, CONMON_CHANNEL_TYPE_VBROADCAST), nullptr);
    conmon_channels_delete(set);

    config.vbroadcast_group = inet_addr("239.253.1.7");
    ASSERT_EQ(conmon_channels_new(nullptr, nullptr, &config, nullptr, nullptr, &set), AUD_SUCCESS);
    conmon_channel_t* vb = conmon_channels_get_channel(set, CONMON_CHANNEL_TYPE_VBROADCAST);
    ASSERT_NE(vb, nullptr);
    EXPECT_GE(conmon_channel_get_socket(vb), 0);
    EXPECT_EQ(conmon_channel_get_multicast_port(vb), CONMON_CHANNEL_VBROADCAST_PORT);
    EXPECT_EQ(conmon_channel_get_mode(vb), CONMON_CHANNEL_MODE_MULTICAST);
    conmon_channels_delete(set);
}

TEST(ChannelSet, OnlyTheSocketChannelsOfTheMaskAreMade) {
    conmon_channels_config_t config{};
    config.channel_mask = 0x15D;  // the client's default: none of the socket channels
    conmon_channels_t* set = nullptr;
    ASSERT_EQ(conmon_channels_new(nullptr, nullptr, &config, nullptr, nullptr, &set), AUD_SUCCESS);
    for (unsigned c = 0; c < CONMON_NUM_CHANNELS; ++c) {
        EXPECT_EQ(conmon_channels_get_channel(set, static_cast<conmon_channel_type_t>(c)), nullptr);
    }
    conmon_channel_network_t net{40, inet_addr("10.77.0.1"), true, 40, true};
    EXPECT_EQ(conmon_channels_set_networks(set, &net, 1), AUD_SUCCESS);
    EXPECT_EQ(conmon_channels_get_tx_socket(set, 0), -1);
    conmon_channels_delete(set);
}

TEST(ChannelSet, TransmitSocketsFollowTheNumberOfNetworks) {
    conmon_channels_config_t config{};
    config.channel_mask = 1u << CONMON_CHANNEL_TYPE_SERIAL;
    conmon_channels_t* set = nullptr;
    ASSERT_EQ(conmon_channels_new(nullptr, nullptr, &config, nullptr, nullptr, &set), AUD_SUCCESS);
    conmon_channel_network_t nets[2] = {{40, inet_addr("10.77.0.1"), true, 40, true},
                                        {41, inet_addr("10.77.1.1"), true, 41, true}};
    EXPECT_EQ(conmon_channels_get_tx_socket(set, 0), -1);
    ASSERT_EQ(conmon_channels_set_networks(set, nets, 1), AUD_SUCCESS);
    EXPECT_GE(conmon_channels_get_tx_socket(set, 0), 0);
    EXPECT_EQ(conmon_channels_get_tx_socket(set, 1), -1);
    ASSERT_EQ(conmon_channels_set_networks(set, nets, 2), AUD_SUCCESS);
    EXPECT_GE(conmon_channels_get_tx_socket(set, 1), 0);
    conmon_channels_delete(set);
}

}  // namespace
