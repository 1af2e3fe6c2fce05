#include "browse_fixture.h"

#include <algorithm>

namespace tavrin::testing {
namespace {

void fake_clock(aud_utime_t* out, void* user) {
    *out = *static_cast<aud_utime_t*>(user);
}

void on_log(aud_log_t*, const char*, aud_log_level_t, const char* message, size_t length,
            void* user) {
    static_cast<std::vector<std::string>*>(user)->emplace_back(message, length);
}

BrowseTest* owner(db_browse_t* b) {
    return static_cast<BrowseTest*>(db_browse_get_context(b));
}

}  // namespace

void BrowseTest::SetUp() {
    ASSERT_EQ(dapi_new(&api), AUD_SUCCESS);
    aud_env_t* env = dapi_get_env(api);
    aud_event_loop_set_clock(aud_env_get_event_loop(env), fake_clock, &now);
    aud_log_t* log = aud_env_get_log(env);
    aud_log_set_level(log, AUD_LOG_VERBOSE);
    aud_log_set_dest_level(log, AUD_LOG_DEST_CALLBACK, AUD_LOG_VERBOSE);
    aud_log_set_callback(log, on_log, &log_lines);
    loopback = if_nametoindex("lo");
    ASSERT_EQ(db_browse_new(api, DB_TYPE_CONMON_DEVICE, &browse), AUD_SUCCESS);
    db_browse_set_context(browse, this);
    db_browse_set_node_changed_callback(
        browse, [](db_browse_t* b, const db_node_ref_t* node, db_node_change_t what) {
            EXPECT_EQ(node->kind, DB_NODE_KIND_DEVICE);
            owner(b)->changes.push_back({db_node_get_name(node->node), what});
        });
    db_browse_set_network_changed_callback(browse,
                                           [](db_browse_t* b) { ++owner(b)->network_changes; });
}

void BrowseTest::TearDown() {
    db_browse_delete(browse);
    dapi_delete(api);
}

void BrowseTest::start(uint32_t iface) {
    db_browse_config_t c;
    db_browse_config_init(&c);
    c.interface_indexes[0] = iface;
    start(c);
}

void BrowseTest::start(const db_browse_config_t& config) {
    ASSERT_EQ(db_browse_start_config(browse, &config), AUD_SUCCESS);
}

void BrowseTest::pump() {
    dante_runtime_t* rt = dapi_get_runtime(api);
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(dante_runtime_run_once(rt, 0), AUD_SUCCESS);
    }
}

void BrowseTest::advance_ms(int64_t ms) {
    now = aud_utime_add(now, aud_utime_from_ms(static_cast<uint64_t>(ms)));
    pump();
}

fake_dnssd::ref* BrowseTest::browse_ref() {
    fake_dnssd::ref* r = dnssd.live_browse(k_cmc);
    EXPECT_NE(r, nullptr);
    return r;
}

void BrowseTest::announce(uint32_t iface, const std::string& name, bool add) {
    dnssd.browse_reply(browse_ref(), add ? DT_DNSSD_FLAG_ADD : 0, iface, name, k_cmc);
    pump();
}

void BrowseTest::answer(const std::string& name, uint32_t iface, const std::string& txt) {
    fake_dnssd::ref* r = dnssd.live_resolve(name, iface);
    ASSERT_NE(r, nullptr) << "no resolve of " << name << " on " << iface;
    dnssd.resolve_reply(r, iface, name + "-host.local.", 8800, txt);
    pump();
}

std::string BrowseTest::good_txt() {
    return fake_dnssd::txt({"id=0011223344556677", "process=7", "vid=5661726E6F6C6C00",
                            "mf=Varnoll AB", "model=_0102"});
}

bool BrowseTest::logged(const std::string& part) const {
    return std::any_of(log_lines.begin(), log_lines.end(),
                       [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

std::vector<std::string> BrowseTest::device_names() const {
    std::vector<std::string> out;
    for (size_t i = 0; i < db_browse_get_device_count(browse); ++i) {
        out.push_back(db_node_get_name(db_browse_get_device(browse, i)));
    }
    return out;
}

}  // namespace tavrin::testing
