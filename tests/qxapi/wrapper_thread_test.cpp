// The wrapper's threads together: the socket thread running library callbacks (browse
// events, ping answers, received messages, a server lost and restored, avahi-daemon
// gone), the communication worker sending through the wrapper, and device searches
// and probes restarting the runtime and waiting underneath both.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/core/answer_apply.h"
#include "app/core/comm_worker.h"
#include "app/core/command_ring.h"
#include "app/core/discovery_flow.h"
#include "app/core/service_report.h"
#include "fake_library.h"
#include "protocol/amp_receiver.h"
#include "protocol/amp_sender.h"
#include "protocol/answer_parser.h"
#include "qxapi/dante_wrapper.h"

namespace tavrin::testing {
namespace {

class sender_port : public frame_sender {
  public:
    explicit sender_port(amp_sender& s) : s_(s) {}
    void send_frame(const uint8_t* frame, size_t size) override { s_.send_frame(frame, size); }

  private:
    amp_sender& s_;
};

class parser_port : public answer_handler {
  public:
    parser_port(answer_parser& p, answer_targets t) : p_(p), t_(t) {}
    void parse_answer(const uint8_t* b, size_t n) override {
        if (const auto answer = p_.parse_answer(b, n))
            apply_answer(*answer, t_);
    }
    void clear_params() override { t_.params.clear_params(); }

  private:
    answer_parser& p_;
    answer_targets t_;
};

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

    link_flags flags;
    selected_device device;
    command_ring ring(flags);
    answer_mailbox mailbox;
    amp_params params;
    null_app_events ui;
    answer_parser parser;
    amp_receiver receiver(device, mailbox, system_time());
    amp_sender sender(wrapper.link(), device,
                      [&](const std::string& l) { wrapper.wrapper_log(2, l); });
    sender_port out(sender);
    parser_port in(parser, {params, flags, device, ui});
    worker_parts parts{flags, device, ring, mailbox, ui, system_time(), out, in};
    parts.on_thread_start = [&] { wrapper.set_amp_target(&receiver); };
    comm_worker worker(std::move(parts));
    service_report services(flags, ui);
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

    device.set_name("Amp-1");
    flags.run_flag.store(true);
    flags.connect_flag.store(true);
    ASSERT_TRUE(worker.start());
    for (int round = 0; round < 4; ++round) {
        const std::vector<std::string> names =
            discover_devices(wrapper, system_time(), brand_rule::all, ui, 30);
        for (const std::string& name : names)
            EXPECT_EQ(name[0], 'D');
        ring.ring_push(amp_command{0xE3, 0x11, {0x01}});
        wrapper.ping_all();
        EXPECT_EQ(wrapper.probe_device("Amp-1").answer, AUD_SUCCESS);
        // A lost server may have closed the link meanwhile; the probe's answer opens it.
        flags.connect_flag.store(true);
    }
    stop.store(true);
    feeder.join();
    worker.stop();
    wrapper.dante_stop();
    EXPECT_GT(log_lines.load(), 0);
    EXPECT_FALSE(lib.sent().empty());
}

}  // namespace
}  // namespace tavrin::testing
