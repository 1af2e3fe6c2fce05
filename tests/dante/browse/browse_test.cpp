#include <gtest/gtest.h>

#include "browse_fixture.h"

namespace tavrin::testing {
namespace {

TEST_F(BrowseTest, RefusesBadArgumentsAndLateSettings) {
    db_browse_t* b = nullptr;
    EXPECT_EQ(db_browse_new(nullptr, DB_TYPE_CONMON_DEVICE, &b), AUD_ERR_INVALIDPARAMETER);
    EXPECT_EQ(db_browse_new(api, 0, &b), AUD_ERR_INVALIDPARAMETER);
    // One type: the total must leave room for at least one resolve.
    EXPECT_EQ(db_browse_set_max_sockets(browse, 1), AUD_ERR_INVALIDPARAMETER);
    EXPECT_EQ(db_browse_set_max_sockets(browse, 2), AUD_SUCCESS);
    start();
    EXPECT_EQ(db_browse_set_max_sockets(browse, 18), AUD_ERR_INVALIDSTATE);
    db_browse_config_t c;
    db_browse_config_init(&c);
    EXPECT_EQ(db_browse_start_config(browse, &c), AUD_ERR_INVALIDSTATE);
}

TEST_F(BrowseTest, BrowsesTheConMonTypeOnAllInterfacesOfLocal) {
    start();
    auto browses = dnssd.live(kind::browse);
    ASSERT_EQ(browses.size(), 1u);
    EXPECT_EQ(browses[0]->type, k_cmc);
    EXPECT_EQ(browses[0]->domain, "local");
    EXPECT_EQ(browses[0]->flags, 0u);
    EXPECT_EQ(browses[0]->interface_index, 0u);
}

TEST_F(BrowseTest, FailedStartStopsWhatItStarted) {
    db_browse_t* two = nullptr;
    ASSERT_EQ(db_browse_new(api, DB_TYPE_MEDIA_DEVICE | DB_TYPE_CONMON_DEVICE, &two), AUD_SUCCESS);
    db_browse_config_t c;
    db_browse_config_init(&c);
    // The media browse starts first, then the ConMon one fails.
    dnssd.fail_browse_type = k_cmc;
    EXPECT_EQ(db_browse_start_config(two, &c), AUD_ERR_DNSSDFAIL);
    EXPECT_TRUE(dnssd.live(kind::browse).empty());
    EXPECT_EQ(dnssd.all(kind::browse).size(), 1u);
    EXPECT_TRUE(
        logged("Error starting _netaudio-cmc._udp. (conmon device) browse (dnssd err=-65537)"));
    // Not started, so it can be started again.
    dnssd.fail_browse_type.clear();
    EXPECT_EQ(db_browse_start_config(two, &c), AUD_SUCCESS);
    EXPECT_EQ(dnssd.live(kind::browse).size(), 2u);
    db_browse_delete(two);
}

TEST_F(BrowseTest, ResolvedDeviceIsAddedWithItsConMonData) {
    start();
    announce(5, "Amp-1");
    auto* r = dnssd.live_resolve("Amp-1", 5);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->type, k_cmc);
    EXPECT_EQ(r->domain, "local");
    answer("Amp-1", 5);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].name, "Amp-1");
    EXPECT_EQ(changes[0].what, DB_NODE_CHANGE_ADDED);
    EXPECT_EQ(network_changes, 1);
    db_node_t* node = db_browse_find_device(browse, "Amp-1");
    ASSERT_NE(node, nullptr);
    EXPECT_STREQ(db_device_get_conmon_host_name(node), "Amp-1-host");
    EXPECT_EQ(db_device_get_network_types(node, 0), uint32_t{DB_TYPE_CONMON_DEVICE});
    db_conmon_info_t info;
    ASSERT_EQ(db_device_get_conmon_info(node, &info), AUD_SUCCESS);
    EXPECT_EQ(info.device_id[7], 0x77);
    EXPECT_EQ(info.process_id, 7);
    EXPECT_TRUE(
        logged("db_adhoc_browse_conmon_device_resolved: Adding conmon device \"Amp-1\" "
               "(target_name='Amp-1-host')"));
    // The finished resolve gave its socket back.
    EXPECT_TRUE(dnssd.live(kind::resolve).empty());
}

TEST_F(BrowseTest, InvalidTxtRecordKeepsTheDeviceOut) {
    start();
    announce(5, "Short");
    answer("Short", 5, fake_dnssd::txt({"id=001122334455667", "process=1"}));
    EXPECT_TRUE(device_names().empty());
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(network_changes, 0);
    EXPECT_TRUE(logged("'id' field has insufficient data for conmon device \"Short\""));
}

TEST_F(BrowseTest, FirstAdvertisementFixesTheNetworkInterface) {
    start(0);
    announce(7, "Amp-1");
    EXPECT_EQ(db_browse_get_network_interface(browse, 0), 7u);
    EXPECT_TRUE(
        logged("No interface index filter defined for network 0, setting interface index "
               "to 7"));
    announce(8, "Amp-2");
    EXPECT_EQ(dnssd.live_resolve("Amp-2", 8), nullptr);
    EXPECT_TRUE(
        logged("Ignoring advertisement Amp-2._netaudio-cmc._udp..local. flags=0x00000002 "
               "on invalid interface index 8"));
    // Loopback is the extra network, resolved on the loopback interface.
    announce(loopback, "Local");
    EXPECT_NE(dnssd.live_resolve("Local", loopback), nullptr);
    answer("Local", loopback);
    EXPECT_EQ(db_device_get_network_types(db_browse_find_device(browse, "Local"), 1),
              uint32_t{DB_TYPE_CONMON_DEVICE});
}

TEST_F(BrowseTest, LoopbackIsNeitherAdoptedNorAcceptedWhenRefused) {
    db_browse_config_t c;
    db_browse_config_init(&c);
    c.accept_loopback = 0;
    start(c);
    announce(loopback, "Local");
    EXPECT_TRUE(dnssd.live(kind::resolve).empty());
    EXPECT_EQ(db_browse_get_network_interface(browse, 0), 0u);
}

TEST_F(BrowseTest, DeviceOnTwoNetworksIsOneNodeAndSurvivesLosingOne) {
    db_browse_config_t c;
    db_browse_config_init(&c);
    c.num_networks = 2;
    c.interface_indexes[0] = 7;
    c.interface_indexes[1] = 8;
    start(c);
    announce(7, "Amp-1");
    announce(8, "Amp-1");
    answer("Amp-1", 7);
    answer("Amp-1", 8);
    ASSERT_EQ(device_names(), std::vector<std::string>{"Amp-1"});
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].what, DB_NODE_CHANGE_ADDED);
    EXPECT_EQ(changes[1].what, DB_NODE_CHANGE_MODIFIED);

    announce(8, "Amp-1", false);
    db_node_t* node = db_browse_find_device(browse, "Amp-1");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(changes.back().what, DB_NODE_CHANGE_MODIFIED);
    EXPECT_EQ(db_device_get_network_types(node, 1), 0u);
    EXPECT_EQ(db_device_get_types(node), uint32_t{DB_TYPE_CONMON_DEVICE});
    db_conmon_info_t info;
    db_device_get_conmon_info(node, &info);
    EXPECT_EQ(info.process_id, 7) << "still advertised on network 0";

    announce(7, "Amp-1", false);
    EXPECT_TRUE(device_names().empty());
    EXPECT_EQ(changes.back().name, "Amp-1");
    EXPECT_EQ(changes.back().what, DB_NODE_CHANGE_REMOVED);
}

TEST_F(BrowseTest, WithdrawalCancelsRunningAndQueuedResolves) {
    ASSERT_EQ(db_browse_set_max_sockets(browse, 2), AUD_SUCCESS);
    start(5);
    announce(5, "A");
    announce(5, "B");  // queued behind A
    announce(5, "A", false);
    announce(5, "B", false);
    EXPECT_TRUE(dnssd.live(kind::resolve).empty());
    EXPECT_EQ(dnssd.all(kind::resolve).size(), 2u) << "B started when A went, then stopped";
}

TEST_F(BrowseTest, SocketLimitHoldsBackTheEighteenthResolve) {
    ASSERT_EQ(db_browse_set_max_sockets(browse, 18), AUD_SUCCESS);
    start(5);
    for (int i = 0; i < 18; ++i) {
        dnssd.browse_reply(browse_ref(), DT_DNSSD_FLAG_ADD, 5, "Dev-" + std::to_string(i), k_cmc);
    }
    pump();
    EXPECT_EQ(dnssd.live(kind::resolve).size(), 17u);
    EXPECT_EQ(dnssd.live_resolve("Dev-17", 5), nullptr);
    answer("Dev-3", 5);
    EXPECT_EQ(dnssd.live(kind::resolve).size(), 17u);
    EXPECT_NE(dnssd.live_resolve("Dev-17", 5), nullptr);
}

TEST_F(BrowseTest, DefaultLimitIsSixteenResolves) {
    start(5);
    for (int i = 0; i < 20; ++i) {
        dnssd.browse_reply(browse_ref(), DT_DNSSD_FLAG_ADD, 5, "Dev-" + std::to_string(i), k_cmc);
    }
    pump();
    EXPECT_EQ(dnssd.live(kind::resolve).size(), 16u);
}

TEST_F(BrowseTest, UnansweredResolveTimesOutAndIsReconfirmed) {
    start(5);
    announce(5, "Amp.1");
    advance_ms(29999);
    EXPECT_NE(dnssd.live_resolve("Amp.1", 5), nullptr);
    EXPECT_TRUE(dnssd.reconfirms().empty());
    advance_ms(1);
    EXPECT_TRUE(dnssd.live(kind::resolve).empty());
    ASSERT_EQ(dnssd.reconfirms().size(), 1u);
    const auto& rc = dnssd.reconfirms()[0];
    EXPECT_EQ(rc.full_name, "Amp\\.1._netaudio-cmc._udp.local.");
    EXPECT_EQ(rc.interface_index, 5u);
    EXPECT_EQ(rc.flags, 0u);
    EXPECT_EQ(rc.rrtype, 12);
    EXPECT_EQ(rc.rrclass, 1);
    EXPECT_EQ(rc.rdlen, 0);
    EXPECT_TRUE(
        logged("Resolve Amp.1/_netaudio-cmc._udp. (conmon device) timed out, removing "
               "and reconfirming"));
    // Only a new announcement resolves it again.
    advance_ms(60000);
    EXPECT_EQ(dnssd.all(kind::resolve).size(), 1u);
    announce(5, "Amp.1");
    EXPECT_NE(dnssd.live_resolve("Amp.1", 5), nullptr);
}

TEST_F(BrowseTest, ResolveFromAnotherInterfaceIsIgnoredAndKeepsRunning) {
    start(5);
    announce(5, "Amp-1");
    dnssd.resolve_reply(dnssd.live_resolve("Amp-1", 5), 9, "h.local.", 1, good_txt());
    pump();
    EXPECT_TRUE(device_names().empty());
    EXPECT_NE(dnssd.live_resolve("Amp-1", 5), nullptr);
    EXPECT_TRUE(logged("ignoring resolve for Amp-1 on interface 9 (not 5)"));
    answer("Amp-1", 5);
    EXPECT_EQ(device_names(), std::vector<std::string>{"Amp-1"});
}

TEST_F(BrowseTest, NamesDifferingInCaseAreOneDeviceAndSortWithoutCase) {
    start(5);
    for (const char* n : {"beta", "Alpha", "ALPHA", "charlie"}) {
        announce(5, n);
        answer(n, 5);
    }
    EXPECT_EQ(device_names(), (std::vector<std::string>{"Alpha", "beta", "charlie"}));
    EXPECT_EQ(db_browse_find_device(browse, "aLpHa"), db_browse_get_device(browse, 0));
    // A withdrawal names one instance exactly.
    announce(5, "alpha", false);
    EXPECT_EQ(device_names().size(), 3u);
}

TEST_F(BrowseTest, InstanceNamesMustFitTheType) {
    start(5);
    announce(5, std::string(32, 'x'));
    announce(5, "");
    EXPECT_TRUE(dnssd.live(kind::resolve).empty());
    EXPECT_TRUE(logged("Ignoring invalid name \"\" for service type _netaudio-cmc._udp."));
    announce(5, std::string(31, 'y'));
    EXPECT_EQ(dnssd.live(kind::resolve).size(), 1u);
}

TEST_F(BrowseTest, DnssdErrorsFailThePassAndDropTheResolve) {
    start(5);
    announce(5, "Amp-1");
    dnssd.resolve_reply(dnssd.live_resolve("Amp-1", 5), 5, "", 0, "", DT_DNSSD_ERR_UNKNOWN);
    pump();
    EXPECT_TRUE(dnssd.live(kind::resolve).empty());
    EXPECT_TRUE(logged("Error resolving 'Amp-1' using socket"));
    EXPECT_TRUE(logged("Error processing fdset: DNSSDFAIL"));
    // Later passes go on.
    dnssd.browse_reply(browse_ref(), DT_DNSSD_FLAG_ADD, 5, "Amp-2", k_cmc);
    pump();
    EXPECT_NE(dnssd.live_resolve("Amp-2", 5), nullptr);
}

TEST_F(BrowseTest, DeleteReleasesEveryReference) {
    start(5);
    announce(5, "Amp-1");
    announce(5, "Amp-2");
    answer("Amp-2", 5);
    db_browse_delete(browse);
    browse = nullptr;
    EXPECT_TRUE(dnssd.live(kind::browse).empty());
    EXPECT_TRUE(dnssd.live(kind::resolve).empty());
}

}  // namespace
}  // namespace tavrin::testing

namespace tavrin::testing {
namespace {

TEST_F(BrowseTest, DomainChangeRebuildsTheBrowseAroundTheEventCallback) {
    static std::vector<int> phases;
    phases.clear();
    db_browse_set_event_callback(browse,
                                 [](const db_browse_event_t* ev) { phases.push_back(ev->phase); });
    start(5);
    announce(5, "Amp-1");
    answer("Amp-1", 5);
    dapi_domain_handler_t* handler = dapi_get_domain_handler(api);

    dapi_domain_identity_t managed{};
    managed.id[0] = 1;
    ASSERT_EQ(dapi_domain_handler_set_identity(handler, &managed), AUD_SUCCESS);
    EXPECT_EQ(phases, (std::vector<int>{0, 1}));
    EXPECT_TRUE(device_names().empty());
    EXPECT_EQ(changes.back().what, DB_NODE_CHANGE_REMOVED);
    EXPECT_TRUE(dnssd.live(kind::browse).empty()) << "no DNS-SD browse in a managed domain";

    dapi_domain_identity_t adhoc;
    dapi_domain_identity_adhoc(&adhoc);
    ASSERT_EQ(dapi_domain_handler_set_identity(handler, &adhoc), AUD_SUCCESS);
    EXPECT_EQ(phases, (std::vector<int>{0, 1, 0, 1}));
    // Started again with the stored configuration.
    ASSERT_NE(dnssd.live_browse(k_cmc), nullptr);
    announce(5, "Amp-1");
    answer("Amp-1", 5);
    EXPECT_EQ(device_names(), std::vector<std::string>{"Amp-1"});
}

}  // namespace
}  // namespace tavrin::testing
