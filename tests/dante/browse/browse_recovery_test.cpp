// The browse when DNS-SD lets it down: resolves nobody answered on a daemon that
// cannot reconfirm, and a daemon that goes away altogether.
#include <algorithm>

#include "browse_fixture.h"

namespace tavrin::testing {
namespace {

size_t count_logged(const std::vector<std::string>& lines, const std::string& part) {
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
        return l.find(part) != std::string::npos;
    }));
}

// Avahi has no reconfirmation and keeps a silent instance in its cache without
// announcing it again: the browse itself tries again, waiting longer each time.
TEST_F(BrowseTest, TimedOutResolveIsTriedAgainWhereRecordsCannotBeReconfirmed) {
    dnssd.reconfirm_result = DT_DNSSD_ERR_UNSUPPORTED;
    start(5);
    announce(5, "Amp-1");
    advance_ms(30000);
    EXPECT_TRUE(dnssd.live(kind::resolve).empty());
    EXPECT_TRUE(logged("resolving again in 2 s"));
    advance_ms(1999);
    EXPECT_TRUE(dnssd.live(kind::resolve).empty());
    advance_ms(1);
    ASSERT_NE(dnssd.live_resolve("Amp-1", 5), nullptr);

    // Silent again: the next wait is twice as long.
    advance_ms(30000);
    EXPECT_TRUE(logged("resolving again in 4 s"));
    advance_ms(3999);
    EXPECT_TRUE(dnssd.live(kind::resolve).empty());
    advance_ms(1);
    answer("Amp-1", 5);
    EXPECT_EQ(device_names(), std::vector<std::string>{"Amp-1"});
    EXPECT_EQ(dnssd.all(kind::resolve).size(), 3u);
}

TEST_F(BrowseTest, WithdrawalOrNewAnnouncementEndsTheWaitForARetry) {
    dnssd.reconfirm_result = DT_DNSSD_ERR_UNSUPPORTED;
    start(5);
    announce(5, "Amp-1");
    announce(5, "Amp-2");
    advance_ms(30000);
    announce(5, "Amp-1", false);  // gone: no retry
    announce(5, "Amp-2");         // announced again: resolved at once
    ASSERT_NE(dnssd.live_resolve("Amp-2", 5), nullptr);
    advance_ms(60000);
    EXPECT_EQ(dnssd.live_resolve("Amp-1", 5), nullptr);
    EXPECT_EQ(dnssd.all(kind::resolve).size(), 3u);
}

TEST_F(BrowseTest, LostServiceIsReportedOnceAndTheBrowseRests) {
    static std::vector<int> phases;
    phases.clear();
    db_browse_set_event_callback(browse,
                                 [](const db_browse_event_t* ev) { phases.push_back(ev->phase); });
    start(5);
    announce(5, "Amp-1");
    answer("Amp-1", 5);
    announce(5, "Amp-2");
    announce(5, "Amp-3");
    // Every reference hears of it.
    dnssd.browse_reply(browse_ref(), 0, 0, "", "", DT_DNSSD_ERR_SERVICE_NOT_RUNNING);
    for (const char* name : {"Amp-2", "Amp-3"}) {
        dnssd.resolve_reply(dnssd.live_resolve(name, 5), 0, "", 0, "",
                            DT_DNSSD_ERR_SERVICE_NOT_RUNNING);
    }
    pump();
    EXPECT_EQ(count_logged(log_lines, "DNS-SD service not running"), 1u);
    EXPECT_EQ(count_logged(log_lines, "Error processing fdset: NOTRUNNING"), 1u);
    EXPECT_EQ(phases, std::vector<int>{DB_BROWSE_EVENT_SERVICE_LOST});
    EXPECT_EQ(db_browse_get_status(browse), AUD_ERR_NOTRUNNING);
    EXPECT_TRUE(dnssd.live(kind::browse).empty());
    EXPECT_TRUE(dnssd.live(kind::resolve).empty());
    EXPECT_EQ(device_names(), std::vector<std::string>{"Amp-1"});  // what was found stays

    // Quiet from now on: no pass fails, nothing is started again.
    const size_t errors = count_logged(log_lines, "Error");
    advance_ms(60000);
    EXPECT_EQ(count_logged(log_lines, "Error"), errors);
    EXPECT_EQ(dnssd.all(kind::resolve).size(), 3u);
    EXPECT_EQ(phases.size(), 1u);
}

TEST_F(BrowseTest, NewBrowseNeedsTheServiceAndFindsDevicesOnceItIsBack) {
    db_browse_t* second = nullptr;
    ASSERT_EQ(db_browse_new(api, DB_TYPE_CONMON_DEVICE, &second), AUD_SUCCESS);
    db_browse_config_t c;
    db_browse_config_init(&c);
    dnssd.fail_next_browse = DT_DNSSD_ERR_SERVICE_NOT_RUNNING;
    EXPECT_EQ(db_browse_start_config(second, &c), AUD_ERR_NOTRUNNING);
    db_browse_delete(second);

    // The daemon is back: a new browse works as ever.
    start(5);
    EXPECT_EQ(db_browse_get_status(browse), AUD_SUCCESS);
    announce(5, "Amp-1");
    answer("Amp-1", 5);
    EXPECT_EQ(device_names(), std::vector<std::string>{"Amp-1"});
}

}  // namespace
}  // namespace tavrin::testing
