// The wrapper's threads together: the socket thread running library callbacks (browse
// events, ping answers, received messages, a server lost and restored, avahi-daemon
// gone), an amplifier's session sending through the wrapper and fed by the sessions'
// directory, and device searches and probes restarting the runtime and waiting
// underneath both.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/discovery_flow.h"
#include "app/service_report.h"
#include "fake_library.h"
#include "link/session_directory.h"
#include "link/session_thread.h"
#include "qxapi/dante_wrapper.h"

namespace tavrin::testing {
namespace {

TEST(wrapper_threads, searches_worker_and_callbacks_run_together) {
    fake_library lib;
    lib.runtime_timeout = timeval{0, 2000};
    wrapper_options options;
    options.component_pause_ms = 0;
    options.ping_group_pause_ms = 1;
    options.ping_settle_ms = 5;
    dante_wrapper wrapper(lib, options);
    lib.events = wrapper.host().events();
    std::atomic<int> log_lines{0};
    wrapper.set_log_trace([&](int, const std::string&) { log_lines.fetch_add(1); });

    session_events ui;
    amp_session session(
        {system_time(), wrapper.link(), [&](const std::string& l) { wrapper.wrapper_log(2, l); }});
    session_directory sessions;
    sessions.add(session);
    wrapper.set_amp_target(&sessions);
    session_thread worker(session, system_time());
    service_report services(sessions, ui);
    wrapper.set_service_watch(&services);

    // Browse events and amplifier answers, run by whichever socket thread is current.
    std::atomic<bool> stop{false};
    std::thread feeder([&] {
        const std::vector<uint8_t> answer = {0x55, 0x11, 0xaa, 0xd5, 0xe3, 0x00, 0x02, 0x01, 0xcb};
        for (int i = 0; !stop.load(); ++i) {
            lib.deliver([&lib, answer, i] {
                fake_library::browse_node* n = lib.add_browse_node("D" + std::to_string(i % 6));
                db_node_ref_t ref{DB_NODE_KIND_DEVICE, fake_library::as_db(n)};
                lib.events->nodes->on_browse_node(
                    nullptr, &ref, i % 3 == 2 ? DB_NODE_CHANGE_REMOVED : DB_NODE_CHANGE_ADDED);
                conmon_message_head_t head = lib.head_from("Amp-1", "Varnoll", answer.size());
                lib.events->client->on_monitor_message(nullptr, CONMON_CHANNEL_TYPE_STATUS,
                                                       CONMON_CHANNEL_DIRECTION_RX, &head,
                                                       answer.data());
                if (i % 10 == 5) {
                    lib.events->client->on_server_lost(nullptr);
                    lib.events->client->on_client_event(nullptr,
                                                        CONMON_CLIENT_EVENT_FLAG_CONNECTED |
                                                            CONMON_CLIENT_EVENT_FLAG_REMOTE_READY |
                                                            CONMON_CLIENT_EVENT_FLAG_RECONNECTED);
                    lib.events->nodes->on_browse_event(DB_BROWSE_EVENT_SERVICE_LOST);
                }
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });

    session.start();
    session.choose("Amp-1");
    ASSERT_TRUE(worker.start());
    for (int round = 0; round < 4; ++round) {
        const std::vector<std::string> names =
            discover_devices(wrapper, system_time(), brand_rule::all, ui, 30);
        for (const std::string& name : names)
            EXPECT_EQ(name[0], 'D');
        session.outbox().ring_push(amp_command{0xE3, 0x11, {0x01}});
        wrapper.ping_all();
        EXPECT_EQ(wrapper.probe_device("Amp-1").answer, AUD_SUCCESS);
        // A lost server may have closed the link meanwhile; choosing opens it again.
        session.choose("Amp-1");
    }
    stop.store(true);
    feeder.join();
    worker.stop();
    wrapper.dante_stop();
    wrapper.set_amp_target(nullptr);
    EXPECT_GT(log_lines.load(), 0);
    EXPECT_FALSE(lib.sent().empty());
}

}  // namespace
}  // namespace tavrin::testing
