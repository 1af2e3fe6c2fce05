// A routing device against the lab's virtual Amp-1: resolved through the lab's
// avahi-daemon, brought to ACTIVE, pinged, renamed with CloseRename (the browse
// sees the old name go and the new one come) and renamed back. The test runs itself
// again inside the lab (scripts/lab exec).
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <set>
#include <string>

#include "dante/browse/db_browse.h"
#include "dante/routing/dr_devices.h"
#include "dante/runtime/dapi.h"
#include "tests/support/lab_exec.h"

namespace {

const char k_name[] = "Amp-1";
const char k_new_name[] = "Amp-1-Renamed";

struct browse_seen {
    std::set<std::string> present;
    std::set<std::string> removed;
};

void on_node(db_browse_t* b, const db_node_ref_t* node, db_node_change_t change) {
    if (node->kind != DB_NODE_KIND_DEVICE) {
        return;
    }
    browse_seen* s = static_cast<browse_seen*>(db_browse_get_context(b));
    const std::string name = db_node_get_name(node->node);
    if (change == DB_NODE_CHANGE_ADDED) {
        s->present.insert(name);
        s->removed.erase(name);
    } else if (change == DB_NODE_CHANGE_REMOVED) {
        s->present.erase(name);
        s->removed.insert(name);
    }
}

struct done_record {
    bool done = false;
    aud_error_t result = AUD_SUCCESS;
};
done_record g_done;

void on_done(dr_device_t*, dr_request_id_t, aud_error_t result) {
    g_done.done = true;
    g_done.result = result;
}

class lab_run {
  public:
    lab_run() {
        EXPECT_EQ(dapi_new(&api), AUD_SUCCESS);
        EXPECT_EQ(dr_devices_new(api, &devices), AUD_SUCCESS);
        EXPECT_EQ(db_browse_new(api, DB_TYPE_CONMON_DEVICE, &browse), AUD_SUCCESS);
        db_browse_set_context(browse, &seen);
        db_browse_set_node_changed_callback(browse, on_node);
        db_browse_config_t config;
        db_browse_config_init(&config);
        EXPECT_EQ(db_browse_start_config(browse, &config), AUD_SUCCESS);
    }
    ~lab_run() {
        db_browse_delete(browse);
        dr_devices_delete(devices);
        dapi_delete(api);
    }
    bool run_until(const std::function<bool()>& pred, int seconds = 20) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!pred() && std::chrono::steady_clock::now() < end) {
            dante_runtime_run_once(dapi_get_runtime(api), 100);
        }
        return pred();
    }
    dr_device_t* open(const char* name) {
        dr_device_config_t* config = nullptr;
        EXPECT_EQ(dr_device_config_new(name, &config), AUD_SUCCESS);
        dr_device_t* d = nullptr;
        EXPECT_EQ(dr_device_open_with_config(devices, config, &d), AUD_SUCCESS);
        dr_device_config_delete(config);
        return d;
    }
    bool resolved(dr_device_t* d) {
        return run_until([&] { return dr_device_get_state(d) >= DR_DEVICE_STATE_RESOLVED; });
    }

    dapi_t* api = nullptr;
    dr_devices_t* devices = nullptr;
    db_browse_t* browse = nullptr;
    browse_seen seen;
};

void rename_inside_lab() {
    lab_run lab;
    ASSERT_TRUE(lab.run_until([&] { return lab.seen.present.count(k_name) > 0; }))
        << k_name << " is not in the lab";

    dr_device_t* d = lab.open(k_name);
    ASSERT_NE(d, nullptr);
    ASSERT_TRUE(lab.resolved(d)) << "error " << dr_device_get_error(d);
    ASSERT_EQ(dr_device_query_capabilities(d, on_done, nullptr), AUD_SUCCESS);
    ASSERT_TRUE(lab.run_until([&] { return g_done.done; }));
    EXPECT_EQ(g_done.result, AUD_SUCCESS);
    ASSERT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_ACTIVE);
    EXPECT_STREQ(dr_device_get_name(d), k_name);
    EXPECT_EQ(dr_device_num_rxchannels(d), 2);

    g_done = {};
    ASSERT_EQ(dr_device_ping(d, on_done, nullptr), AUD_SUCCESS);
    ASSERT_TRUE(lab.run_until([&] { return g_done.done; }));
    EXPECT_EQ(g_done.result, AUD_SUCCESS);

    ASSERT_EQ(CloseRename(d, k_new_name), AUD_SUCCESS);
    EXPECT_TRUE(lab.run_until([&] {
        return lab.seen.removed.count(k_name) > 0 && lab.seen.present.count(k_new_name) > 0;
    })) << "the browse did not report the rename";

    // And back, through a device opened under the new name.
    dr_device_t* back = lab.open(k_new_name);
    ASSERT_NE(back, nullptr);
    ASSERT_TRUE(lab.resolved(back));
    ASSERT_EQ(CloseRename(back, k_name), AUD_SUCCESS);
    EXPECT_TRUE(lab.run_until([&] {
        return lab.seen.present.count(k_name) > 0 && lab.seen.present.count(k_new_name) == 0;
    })) << "the device did not get its name back";
}

TEST(RoutingLab, AmpReachesActiveAnswersAPingAndIsRenamedAndBack) {
    const char* flag = "TAVRIN_ROUTING_IN_LAB";
    if (tavrin::testing::inside_lab(flag)) {
        rename_inside_lab();
        return;
    }
    const auto r = tavrin::testing::run_self_in_lab(
        flag, "RoutingLab.AmpReachesActiveAnswersAPingAndIsRenamedAndBack");
    if (r.skipped) {
        GTEST_SKIP() << r.why;
    }
    EXPECT_EQ(r.status, 0) << "the routing test inside the lab failed (its output is above) "
                           << r.why;
}

}  // namespace
