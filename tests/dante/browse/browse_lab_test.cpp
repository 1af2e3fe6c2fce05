// The browse against the lab's avahi-daemon and virtual devices. The test process
// runs itself again inside the lab (scripts/lab exec), where the real DNS-SD layer
// sees the namespace's interfaces and the lab's daemon.
#include <gtest/gtest.h>
#include <net/if.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "dante/browse/db_browse.h"
#include "dante/runtime/dapi.h"
#include "tests/support/lab_exec.h"

namespace {

const char* const k_devices[] = {"Amp-1",   "Amp-2",        "Amp-3",
                                 "Amp-Old", "Varnoll-PA42", "Stagebox-1"};

struct seen {
    std::map<std::string, int> added;
    int removed = 0;
};

void on_node(db_browse_t* b, const db_node_ref_t* node, db_node_change_t change) {
    seen* s = static_cast<seen*>(db_browse_get_context(b));
    if (change == DB_NODE_CHANGE_ADDED) {
        ++s->added[db_node_get_name(node->node)];
    } else if (change == DB_NODE_CHANGE_REMOVED) {
        ++s->removed;
    }
}

// Inside the lab: browse as the application does and wait for the default devices.
void browse_inside_lab() {
    dapi_t* api = nullptr;
    ASSERT_EQ(dapi_new(&api), AUD_SUCCESS);
    db_browse_t* browse = nullptr;
    ASSERT_EQ(db_browse_new(api, DB_TYPE_CONMON_DEVICE, &browse), AUD_SUCCESS);
    seen s;
    db_browse_set_context(browse, &s);
    ASSERT_EQ(db_browse_set_max_sockets(browse, 18), AUD_SUCCESS);
    db_browse_set_node_changed_callback(browse, on_node);
    db_browse_config_t config;
    db_browse_config_init(&config);
    ASSERT_EQ(db_browse_start_config(browse, &config), AUD_SUCCESS);

    auto all_found = [&] {
        for (const char* d : k_devices) {
            if (!db_browse_find_device(browse, d)) {
                return false;
            }
        }
        return true;
    };
    dante_runtime_t* rt = dapi_get_runtime(api);
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::steady_clock::now() - start; };
    while (!all_found() && elapsed() < std::chrono::seconds(20)) {
        ASSERT_EQ(dante_runtime_run_once(rt, 100), AUD_SUCCESS);
    }
    // A little longer, so that answers on further interfaces arrive too.
    const auto settle = elapsed() + std::chrono::seconds(2);
    while (elapsed() < settle) {
        ASSERT_EQ(dante_runtime_run_once(rt, 100), AUD_SUCCESS);
    }

    const uint32_t lab0 = if_nametoindex("lab0");
    EXPECT_NE(lab0, 0u);
    EXPECT_EQ(db_browse_get_network_interface(browse, 0), lab0);
    for (const char* d : k_devices) {
        db_node_t* node = db_browse_find_device(browse, d);
        ASSERT_NE(node, nullptr) << d << " not found";
        EXPECT_EQ(s.added[d], 1) << d << " reported " << s.added[d] << " times";
        EXPECT_EQ(db_device_get_network_types(node, 0), uint32_t{DB_TYPE_CONMON_DEVICE}) << d;
        db_conmon_info_t info;
        ASSERT_EQ(db_device_get_conmon_info(node, &info), AUD_SUCCESS);
        const uint8_t zero[DB_ID_SIZE] = {};
        EXPECT_NE(memcmp(info.device_id, zero, DB_ID_SIZE), 0) << d;
        EXPECT_STRNE(db_device_get_conmon_host_name(node), "") << d;
    }
    EXPECT_EQ(s.removed, 0);
    db_browse_delete(browse);
    dapi_delete(api);
}

TEST(BrowseLab, FindsEveryDefaultDeviceOnceOnTheLabInterface) {
    const char* flag = "TAVRIN_BROWSE_IN_LAB";
    if (tavrin::testing::inside_lab(flag)) {
        browse_inside_lab();
        return;
    }
    const auto r = tavrin::testing::run_self_in_lab(
        flag, "BrowseLab.FindsEveryDefaultDeviceOnceOnTheLabInterface");
    if (r.skipped) {
        GTEST_SKIP() << r.why;
    }
    EXPECT_EQ(r.status, 0) << "the browse inside the lab failed (its output is above) " << r.why;
}

}  // namespace
