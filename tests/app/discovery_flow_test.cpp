// The window-independent device search: brand rules, sorting, and the end-of-scan step.
#include "app/discovery_flow.h"

#include <gtest/gtest.h>

#include "app/service_report.h"
#include "dante/conmon/audinate_manf_versions.h"
#include "tests/qxapi/wrapper_fixture.h"
#include "tests/support/recording_events.h"

namespace tavrin::testing {
namespace {

TEST(brand_rules, exact_and_case_sensitive) {
    EXPECT_TRUE(brand_admits(brand_rule::model, "Varnoll AB", "TAVRIN-PA22"));
    EXPECT_FALSE(brand_admits(brand_rule::model, "Varnoll AB", "TAVRIN-PA42"));
    EXPECT_FALSE(brand_admits(brand_rule::model, "varnoll AB", "TAVRIN-PA22"));
    EXPECT_FALSE(brand_admits(brand_rule::model, "Varnoll AB ", "TAVRIN-PA22"));
    EXPECT_TRUE(brand_admits(brand_rule::maker, "Varnoll AB", "anything"));
    EXPECT_FALSE(brand_admits(brand_rule::maker, "VARNOLL AB", "TAVRIN-PA22"));
    EXPECT_FALSE(brand_admits(brand_rule::maker, "", ""));
    EXPECT_TRUE(brand_admits(brand_rule::all, "", ""));
}

TEST(brand_rules, sorted_like_a_list_box) {
    std::vector<std::string> names = {"amp-2", "Amp-10", "Stagebox-1", "Amp-1", "AMP-3"};
    sort_device_names(names);
    EXPECT_EQ(names, (std::vector<std::string>{"Amp-1", "Amp-10", "amp-2", "AMP-3", "Stagebox-1"}));
}

class discovery : public wrapper_test {
  protected:
    session_events events;

    // Devices that answer the manufacturer request with these names.
    void device(const std::string& name, const char* manufacturer, const char* model) {
        browse_adds(name);
        makers_[name] = {manufacturer, model};
    }
    void SetUp() override {
        // The manufacturer answer arrives as a status message before the request's
        // own response, as the lab's devices send it.
        lib.answer_controls = true;
        link.conmon_start();
    }
    void answer_requests() {
        for (const auto& s : lib.sent()) {
            if (s.body.size() != 8 || answered_.count(s.name))
                continue;
            answered_.insert(s.name);
            const auto& [manufacturer, model] = makers_[s.name];
            audinate_manf_versions_info info{};
            info.version = 0x0724;
            info.manufacturer_name = manufacturer.c_str();
            info.model_name = model.c_str();
            std::vector<uint8_t> body(1024);
            size_t size = 0;
            audinate_build_manf_versions_status(body.data(), body.size(), &info, &size);
            body.resize(size);
            conmon_message_head_t head = lib.head_from(s.name, "Audinate", size);
            link.on_monitor_message(nullptr, CONMON_CHANNEL_TYPE_STATUS,
                                    CONMON_CHANNEL_DIRECTION_RX, &head, body.data());
        }
    }
    std::map<std::string, std::pair<std::string, std::string>> makers_;
    std::set<std::string> answered_;
};

TEST_F(discovery, end_of_scan_pings_asks_and_lists_by_rule) {
    device("Amp-2", "Varnoll AB", "TAVRIN-PA22");
    device("Amp-1", "Varnoll AB", "TAVRIN-PA22");
    device("Varnoll-PA42", "Varnoll AB", "TAVRIN-PA42");
    device("Stagebox-1", "Other Audio", "SB-8");
    device("Quiet", "Varnoll AB", "TAVRIN-PA22");
    device("lower", "varnoll ab", "TAVRIN-PA22");
    lib.device_named("Quiet")->answers_ping = false;

    EXPECT_TRUE(end_of_discovery(wrapper, brand_rule::model, events, time).empty());
    answer_requests();
    EXPECT_EQ(fill_device_list(wrapper, brand_rule::model),
              (std::vector<std::string>{"Amp-1", "Amp-2"}));
    EXPECT_EQ(fill_device_list(wrapper, brand_rule::maker),
              (std::vector<std::string>{"Amp-1", "Amp-2", "Varnoll-PA42"}));
    EXPECT_EQ(fill_device_list(wrapper, brand_rule::all),
              (std::vector<std::string>{"Amp-1", "Amp-2", "lower", "Stagebox-1", "Varnoll-PA42"}));
    // Two requests per answering device, none to the silent one.
    EXPECT_EQ(lib.sent().size(), 10u);
    for (const auto& s : lib.sent())
        EXPECT_NE(s.name, "Quiet");
}

// A clock that moves a second each time it is read: every device seems slow.
class slow_clock : public time_source {
  public:
    uint32_t now_ms() override { return now_ += 1000; }
    void sleep_ms(uint32_t ms) override { now_ += ms; }

  private:
    uint32_t now_ = 0;
};

TEST_F(discovery, the_end_of_scan_keeps_one_bound_however_many_devices) {
    for (int i = 1; i <= 5; ++i)
        device("Amp-" + std::to_string(i), "Varnoll AB", "TAVRIN-PA22");
    slow_clock clock;
    testing::recording_events seen;
    end_of_discovery(wrapper, brand_rule::model, seen, clock, 10000);
    // Three devices asked within ten slow seconds; the other two are left unasked.
    EXPECT_EQ(lib.sent().size(), 6u);
    EXPECT_EQ(seen.logs(),
              std::vector<std::string>{"Discovery: not every device answered in time"});
}

TEST_F(discovery, an_empty_list_says_why) {
    testing::recording_events seen;
    // Without avahi-daemon the runtime stops before the client can connect: one line.
    lib.browse_start_result = AUD_ERR_NOTRUNNING;
    lib.connect_answer = AUD_ERR_CONNREFUSED;
    host.dante_start();
    EXPECT_TRUE(end_of_discovery(wrapper, brand_rule::all, seen, time).empty());
    EXPECT_EQ(seen.logs(), (std::vector<std::string>{dnssd_not_running_text}));
    host.dante_stop();

    seen.clear();
    lib.browse_start_result = AUD_SUCCESS;
    host.dante_start();
    end_of_discovery(wrapper, brand_rule::all, seen, time);
    EXPECT_EQ(seen.logs(), (std::vector<std::string>{server_unreachable_text}));
    host.dante_stop();

    // A daemon lost during the scan was told when it went; it is not told twice.
    seen.clear();
    lib.browse_start_result = AUD_SUCCESS;
    lib.connect_answer = AUD_SUCCESS;
    host.dante_start();
    lib.browse_status_result = AUD_ERR_NOTRUNNING;
    nodes.on_browse_event(DB_BROWSE_EVENT_SERVICE_LOST);
    end_of_discovery(wrapper, brand_rule::all, seen, time);
    EXPECT_TRUE(seen.logs().empty());
    host.dante_stop();
}

TEST_F(discovery, no_nodes_lists_nothing) {
    EXPECT_TRUE(end_of_discovery(wrapper, brand_rule::all, events, time).empty());
    EXPECT_TRUE(lib.sent().empty());
}

}  // namespace
}  // namespace tavrin::testing
