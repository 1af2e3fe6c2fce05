// The browse against the lab when DNS-SD lets it down: a device whose first resolve
// goes unanswered, avahi-daemon going away and coming back, and device names that
// DNS-SD tools print escaped. Each test runs itself again inside a lab.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "dante/browse/db_browse.h"
#include "dante/conmon/audinate_body.h"
#include "dante/conmon/audinate_manf_versions.h"
#include "dante/conmon/conmon_client.h"
#include "dante/dnssd/dt_dnssd.h"
#include "dante/runtime/dapi.h"
#include "tests/support/lab_exec.h"

namespace {

using tavrin::testing::lab_command;

const char* const k_devices[] = {"Amp-1",   "Amp-2",        "Amp-3",
                                 "Amp-Old", "Varnoll-PA42", "Stagebox-1"};

// One API handle with a browse configured as the application does, its log lines
// and events collected.
class lab_browse {
  public:
    explicit lab_browse(uint32_t resolve_timeout_sec = 30) {
        EXPECT_EQ(dapi_new(&api_), AUD_SUCCESS);
        aud_log_t* log = aud_env_get_log(dapi_get_env(api_));
        aud_log_set_level(log, AUD_LOG_INFO);
        aud_log_set_dest_level(log, AUD_LOG_DEST_CALLBACK, AUD_LOG_INFO);
        aud_log_set_callback(log, on_log, &lines_);
        EXPECT_EQ(db_browse_new(api_, DB_TYPE_CONMON_DEVICE, &browse_), AUD_SUCCESS);
        db_browse_set_context(browse_, this);
        db_browse_set_max_sockets(browse_, 18);
        db_browse_set_event_callback(browse_, [](const db_browse_event_t* ev) {
            static_cast<lab_browse*>(db_browse_get_context(ev->browse))
                ->phases_.push_back(ev->phase);
        });
        db_browse_config_init(&config_);
        config_.resolve_timeout_sec = resolve_timeout_sec;
    }
    ~lab_browse() {
        db_browse_delete(browse_);
        dapi_delete(api_);
    }
    aud_error_t start() { return db_browse_start_config(browse_, &config_); }

    bool run_until(const std::function<bool()>& done, int seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            dante_runtime_run_once(dapi_get_runtime(api_), 50);
        }
        return true;
    }
    void run_for(int seconds) {
        run_until([] { return false; }, seconds);
    }
    bool has(const char* name) const { return db_browse_find_device(browse_, name) != nullptr; }
    bool has_all() const {
        for (const char* d : k_devices) {
            if (!has(d)) {
                return false;
            }
        }
        return true;
    }
    size_t logged(const std::string& part) const {
        size_t n = 0;
        for (const std::string& l : lines_) {
            n += l.find(part) != std::string::npos ? 1 : 0;
        }
        return n;
    }

    // The library's log, for failure messages.
    std::string log_text() const {
        std::string all;
        for (const std::string& l : lines_) {
            all += l + "\n";
        }
        return all;
    }

    db_browse_t* browse() const { return browse_; }
    dapi_t* api() const { return api_; }
    const std::vector<int>& phases() const { return phases_; }

  private:
    static void on_log(aud_log_t*, const char*, aud_log_level_t, const char* message, size_t length,
                       void* user) {
        static_cast<std::vector<std::string>*>(user)->emplace_back(message, length);
    }

    dapi_t* api_ = nullptr;
    db_browse_t* browse_ = nullptr;
    db_browse_config_t config_{};
    std::vector<std::string> lines_;
    std::vector<int> phases_;
};

// Runs body inside the lab the CTest fixture brought up.
void in_lab(const char* flag, const char* test, void (*body)()) {
    if (tavrin::testing::inside_lab(flag)) {
        body();
        return;
    }
    const auto r = tavrin::testing::run_self_in_lab(flag, test);
    if (r.skipped) {
        GTEST_SKIP() << r.why;
    }
    EXPECT_EQ(r.status, 0) << "the test inside the lab failed (its output is above) " << r.why;
}

// ---------------------------------------------------------------------------

void unanswered_first_resolve() {
    struct restore {
        ~restore() { lab_command("ctl Amp-2 resolve on >/dev/null"); }
    } guard;
    ASSERT_EQ(lab_command("ctl Amp-2 resolve off >/dev/null"), 0);
    // The withdrawn SRV and TXT records live one more second in the daemon's cache
    // (their goodbye's time to live).
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    lab_browse b(2);
    ASSERT_EQ(b.start(), AUD_SUCCESS);
    // Amp-2 is announced, but its resolve runs into the timeout.
    ASSERT_TRUE(b.run_until([&] { return b.logged("Resolve Amp-2/") > 0; }, 15))
        << "Amp-2's resolve did not time out; the library's log:\n"
        << b.log_text();
    EXPECT_TRUE(b.has("Amp-1"));
    EXPECT_FALSE(b.has("Amp-2"));

    // Once it answers, the browse finds it without a new announcement.
    ASSERT_EQ(lab_command("ctl Amp-2 resolve on >/dev/null"), 0);
    EXPECT_TRUE(b.run_until([&] { return b.has("Amp-2"); }, 10))
        << "Amp-2 was not resolved again after it answered; the library's log:\n"
        << b.log_text();
}

TEST(BrowseRecoveryLab, DeviceWhoseFirstResolveWentUnansweredIsFoundOnceItAnswers) {
    in_lab("TAVRIN_BROWSE_RETRY_IN_LAB",
           "BrowseRecoveryLab.DeviceWhoseFirstResolveWentUnansweredIsFoundOnceItAnswers",
           unanswered_first_resolve);
}

void daemon_restart() {
    lab_browse first;
    ASSERT_EQ(first.start(), AUD_SUCCESS);
    ASSERT_TRUE(first.run_until([&] { return first.has_all(); }, 20));
    // A DNS-SD reference its owner has not let go of yet holds on to the daemon
    // connection of its time.
    dt_dnssd_ref held = nullptr;
    ASSERT_EQ(dt_dnssd_browse(
                  &held, 0, 0, "_netaudio-arc._udp.", "local",
                  [](dt_dnssd_ref, uint32_t, uint32_t, dt_dnssd_error, const char*, const char*,
                     const char*, void*) {},
                  nullptr),
              DT_DNSSD_NO_ERROR);

    // Returns once the daemon is back and every device is advertised again.
    ASSERT_EQ(lab_command("restart avahi >/dev/null"), 0);
    first.run_for(2);
    EXPECT_EQ(first.phases(), std::vector<int>{DB_BROWSE_EVENT_SERVICE_LOST});
    EXPECT_EQ(db_browse_get_status(first.browse()), AUD_ERR_NOTRUNNING);
    EXPECT_EQ(first.logged("DNS-SD service not running"), 1u);
    EXPECT_EQ(first.logged("Error processing fdset"), 1u);
    EXPECT_TRUE(first.has_all()) << "what was found stays";

    // The next browse, made while the first still exists, finds everything again.
    lab_browse second;
    ASSERT_EQ(second.start(), AUD_SUCCESS);
    EXPECT_TRUE(second.run_until([&] { return second.has_all(); }, 20));
    EXPECT_EQ(db_browse_get_status(second.browse()), AUD_SUCCESS);
    first.run_for(1);
    EXPECT_EQ(first.logged("Error processing fdset"), 1u) << "the first browse stays quiet";
    dt_dnssd_ref_deallocate(held);
}

TEST(BrowseRecoveryLab, LostDaemonIsReportedOnceAndTheNextBrowseFindsTheDevicesAgain) {
    in_lab("TAVRIN_BROWSE_DAEMON_IN_LAB",
           "BrowseRecoveryLab.LostDaemonIsReportedOnceAndTheNextBrowseFindsTheDevicesAgain",
           daemon_restart);
}

// ---------------------------------------------------------------------------

const char* const k_odd_name = "Zoë Amp 2";

std::string manufacturer_of(const char* device) {
    dapi_t* api = nullptr;
    EXPECT_EQ(dapi_new(&api), AUD_SUCCESS);
    conmon_client_config_t* config = conmon_client_config_new("lab-test");
    conmon_client_t* client = nullptr;
    EXPECT_EQ(conmon_client_new(api, config, &client), AUD_SUCCESS);
    conmon_client_config_delete(config);
    struct state {
        int answers = 0;
        aud_error_t result = AUD_SUCCESS;
        std::string manufacturer;
    } st;
    conmon_client_set_context(client, &st);
    auto on_response = [](conmon_client_t* c, conmon_client_request_id_t, aud_error_t e) {
        auto* s = static_cast<state*>(conmon_client_get_context(c));
        ++s->answers;
        s->result = e;
    };
    auto on_message = [](conmon_client_t* c, conmon_channel_type_t, conmon_channel_direction_t,
                         const conmon_message_head_t* head, const uint8_t* body) {
        audinate_body b;
        if (audinate_body_init(&b, body, conmon_message_head_get_body_size(head)) == AUD_SUCCESS &&
            audinate_body_get_type(&b) == AUDINATE_TYPE_MANF_VERSIONS_STATUS) {
            const char* mf = nullptr;
            audinate_manf_versions_get_manufacturer_name(&b, &mf);
            static_cast<state*>(conmon_client_get_context(c))->manufacturer = mf ? mf : "";
        }
    };
    dante_runtime_t* rt = dapi_get_runtime(api);
    auto run_until = [&](const std::function<bool()>& done) {
        for (int i = 0; i < 200 && !done(); ++i) {
            dante_runtime_run_once(rt, 20);
        }
        return done();
    };
    conmon_client_request_id_t id = nullptr;
    int want = 1;
    EXPECT_EQ(conmon_client_connect(client, on_response, &id), AUD_SUCCESS);
    EXPECT_TRUE(run_until([&] { return conmon_client_is_connected(client); }));
    EXPECT_EQ(conmon_client_register_monitoring_messages(client, on_response, &id,
                                                         CONMON_CHANNEL_TYPE_STATUS,
                                                         CONMON_CHANNEL_DIRECTION_RX, on_message),
              AUD_SUCCESS);
    EXPECT_TRUE(run_until([&] { return st.answers == want + 1; }));
    ++want;
    EXPECT_EQ(conmon_client_subscribe_global(client, on_response, &id, CONMON_CHANNEL_TYPE_STATUS),
              AUD_SUCCESS);
    EXPECT_TRUE(run_until([&] { return st.answers == want + 1; }));
    ++want;
    const uint8_t query[] = {0x07, 0x24, 0x00, 0xC1, 0x00, 0x0F, 0x42, 0x40};
    conmon_vendor_id_t audinate;
    conmon_vendor_id_from_string(&audinate, "Audinate");
    EXPECT_EQ(conmon_client_send_control_message(client, on_response, &id, device, 0xFFFF,
                                                 &audinate, query, sizeof query, nullptr),
              AUD_SUCCESS);
    EXPECT_TRUE(run_until([&] { return !st.manufacturer.empty(); }));
    EXPECT_EQ(st.result, AUD_SUCCESS);
    conmon_client_delete(client);
    dapi_delete(api);
    return st.manufacturer;
}

void odd_names() {
    lab_browse b;
    ASSERT_EQ(b.start(), AUD_SUCCESS);
    ASSERT_TRUE(b.run_until([&] { return b.has(k_odd_name) && b.has("Amp-1"); }, 20));
    EXPECT_STREQ(db_node_get_name(db_browse_find_device(b.browse(), k_odd_name)), k_odd_name);
    // conmon-server found it under the same name and reaches it.
    EXPECT_EQ(manufacturer_of(k_odd_name), "Varnoll AB");
    EXPECT_EQ(lab_command(std::string("ctl '") + k_odd_name + "' status >/dev/null"), 0);
}

TEST(BrowseRecoveryLab, NamesWithBlanksAndNonAsciiCharactersWork) {
    const char* flag = "TAVRIN_BROWSE_NAMES_IN_LAB";
    if (tavrin::testing::inside_lab(flag)) {
        odd_names();
        return;
    }
    const auto paths = tavrin::testing::find_lab_paths();
    const auto r = tavrin::testing::run_self_in_own_lab(
        flag, "BrowseRecoveryLab.NamesWithBlanksAndNonAsciiCharactersWork",
        paths.build + "/lab-names",
        std::string(k_odd_name) +
            " | amp | Varnoll AB | TAVRIN-PA22 | 21.11.17.1\n"
            "Amp-1 | amp | Varnoll AB | TAVRIN-PA22 | 21.11.17.1\n");
    if (r.skipped) {
        GTEST_SKIP() << r.why;
    }
    EXPECT_EQ(r.status, 0) << "the test inside the lab failed (its output is above) " << r.why;
}

}  // namespace
