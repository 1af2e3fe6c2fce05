// The ConMon link when things go wrong: a server that refuses the connect, is lost
// and comes back; requests nobody answers; probes of devices that do not exist, are
// not amplifiers or stay silent; amplifier answers that arrive broken.
#include <gtest/gtest.h>

#include "dante/conmon/audinate_manf_versions.h"
#include "wrapper_fixture.h"

namespace tavrin::testing {
namespace {

struct recording_watch : service_watch {
    void conmon_server_lost() override { ++lost; }
    void conmon_server_back() override { ++back; }
    void dnssd_service_lost() override { ++dnssd; }
    int lost = 0;
    int back = 0;
    int dnssd = 0;
};

constexpr uint32_t all_flags = CONMON_CLIENT_EVENT_FLAG_CONNECTION_STATE |
                               CONMON_CLIENT_EVENT_FLAG_CONNECTED |
                               CONMON_CLIENT_EVENT_FLAG_REMOTE_READY;

class conmon_link_recovery_test : public wrapper_test {
  protected:
    conmon_link_recovery_test() { wrapper.set_service_watch(&watch); }

    // Connected, registered and subscribed, as after a normal start.
    void connected_and_subscribed() {
        link.conmon_start();
        link.on_client_event(nullptr, all_flags);
        link.on_subscribe_response(lib.last_subscribe, AUD_SUCCESS);
        ASSERT_TRUE(link.subscribed());
        ASSERT_EQ(link.server(), server_state::connected);
    }

    // A manufacturer answer from `sender`, as a monitored STATUS message.
    void manf_answer(const std::string& sender, const char* maker, const char* model) {
        audinate_manf_versions_info info{};
        info.version = 0x0724;
        info.manufacturer_name = maker;
        info.model_name = model;
        std::vector<uint8_t> body(1024);
        size_t size = 0;
        ASSERT_EQ(audinate_build_manf_versions_status(body.data(), body.size(), &info, &size),
                  AUD_SUCCESS);
        conmon_message_head_t head = lib.head_from(sender, "Audinate", size);
        link.on_monitor_message(nullptr, CONMON_CHANNEL_TYPE_STATUS, CONMON_CHANNEL_DIRECTION_RX,
                                &head, body.data());
    }

    recording_watch watch;
};

TEST_F(conmon_link_recovery_test, a_lost_server_is_told_once_and_the_library_restores_it) {
    connected_and_subscribed();
    lib.clear_calls();

    // The library reports the loss twice: the event with both states now false, then
    // the disconnected callback.
    lib.connected = false;
    lib.remote_ready = false;
    link.on_client_event(nullptr, all_flags);
    link.on_server_lost(nullptr);
    EXPECT_EQ(watch.lost, 1);
    EXPECT_EQ(link.server(), server_state::lost);
    EXPECT_FALSE(link.subscribed());
    EXPECT_TRUE(logged("ERR- lost the connection to the ConMon server"));

    // Connected again by the library, which registered and subscribed itself: the link
    // sends nothing of its own.
    lib.connected = true;
    lib.remote_ready = true;
    link.on_client_event(nullptr, all_flags | CONMON_CLIENT_EVENT_FLAG_RECONNECTED);
    EXPECT_TRUE(lib.calls().empty());
    EXPECT_EQ(watch.back, 1);
    EXPECT_EQ(link.server(), server_state::connected);
    EXPECT_TRUE(link.subscribed());
    EXPECT_TRUE(logged("ConMon server connection restored"));

    // A second loss is a new one.
    lib.connected = false;
    link.on_server_lost(nullptr);
    EXPECT_EQ(watch.lost, 2);
}

TEST_F(conmon_link_recovery_test, a_refused_or_unanswered_connect_is_told_apart_from_a_loss) {
    lib.connect_answer = AUD_ERR_CONNREFUSED;
    link.conmon_start();
    EXPECT_EQ(link.server(), server_state::refused);
    EXPECT_EQ(link.connect_error(), AUD_ERR_CONNREFUSED);
    EXPECT_TRUE(logged("ERR- connect to the ConMon server (CONNREFUSED)"));
    // Never connected, so nothing was lost.
    link.on_server_lost(nullptr);
    EXPECT_EQ(watch.lost, 0);

    host.dante_stop();
    lib.answer_connect = false;
    link.conmon_start();
    EXPECT_EQ(link.server(), server_state::refused);
    EXPECT_EQ(link.connect_error(), AUD_ERR_TIMEDOUT);
    // The connect is not cancelled: a late answer still connects the client.
    EXPECT_TRUE(lib.cancelled_client.empty());
    link.on_connect_response(nullptr, AUD_SUCCESS);
    EXPECT_EQ(link.server(), server_state::connected);
}

TEST_F(conmon_link_recovery_test, probes_say_not_found_silent_or_what_the_device_is) {
    connected_and_subscribed();

    // No such device: the server says so at once, nothing more is waited for.
    lib.control_answer = AUD_ERR_NOTFOUND;
    uint32_t before = time.now_ms();
    device_probe p = link.probe_device("Nobody-Here");
    EXPECT_TRUE(p.sent.sent());
    EXPECT_EQ(p.answer, AUD_ERR_NOTFOUND);
    EXPECT_FALSE(p.facts);
    EXPECT_LT(time.now_ms() - before, 100u);

    // A device the browse has not found yet still tells what it is; a name compares
    // without regard to case, and another device's answer does not count.
    lib.control_answer = AUD_SUCCESS;
    lib.on_audinate_query = [&] {
        manf_answer("Amp-1", "Varnoll AB", "TAVRIN-PA22");
        manf_answer("Stagebox-1", "Other Audio", "SB-8");
    };
    p = link.probe_device("stagebox-1");
    EXPECT_EQ(p.answer, AUD_SUCCESS);
    ASSERT_TRUE(p.facts);
    EXPECT_EQ(p.facts->model_name, "SB-8");
    EXPECT_EQ(p.facts->manufacturer_name, "Other Audio");
    // The device's own spelling, which its answers carry.
    EXPECT_EQ(p.own_name, "Stagebox-1");
    ASSERT_EQ(lib.sent().back().name, "stagebox-1");
    EXPECT_TRUE(lib.sent().back().with_request);

    // Delivered, but the device's own answer never comes: bounded, no facts.
    lib.on_audinate_query = {};
    before = time.now_ms();
    p = link.probe_device("Amp-2");
    EXPECT_EQ(p.answer, AUD_SUCCESS);
    EXPECT_FALSE(p.facts);
    EXPECT_EQ(p.own_name, "");
    EXPECT_GE(time.now_ms() - before, 1000u);

    // The server never answers: the request is given up and cancelled in the library,
    // so that its slot is free and a late answer cannot pass for a later request's.
    lib.answer_controls = false;
    p = link.probe_device("Amp-3");
    EXPECT_EQ(p.answer, AUD_ERR_TIMEDOUT);
    ASSERT_EQ(lib.cancelled_client.size(), 1u);
    const conmon_client_request_id_t abandoned = lib.cancelled_client[0];
    lib.answer_controls = true;
    lib.before_control_answer = [&] { link.on_request_response(abandoned, AUD_ERR_NOTFOUND); };
    p = link.probe_device("Amp-3");
    EXPECT_EQ(p.answer, AUD_SUCCESS);
}

TEST_F(conmon_link_recovery_test, requests_cut_off_by_a_lost_server_complete_with_its_error) {
    connected_and_subscribed();
    lib.control_answer = AUD_ERR_NOTCONN;
    EXPECT_EQ(link.probe_device("Amp-1").answer, AUD_ERR_NOTCONN);
    // Without a client nothing is sent at all.
    host.dante_stop();
    const device_probe p = link.probe_device("Amp-1");
    EXPECT_EQ(p.sent.error, AUD_ERR_NOTINITIALISED);
    EXPECT_EQ(p.answer, AUD_ERR_NOTINITIALISED);
}

}  // namespace
}  // namespace tavrin::testing
