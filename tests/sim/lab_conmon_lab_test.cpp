// End to end through the lab: the library's ConMon client talks to conmon-server,
// which reaches the virtual devices of device-sim.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "dante/conmon/audinate_body.h"
#include "dante/conmon/audinate_manf_versions.h"
#include "dante/conmon/conmon_client.h"
#include "dante/runtime/dapi.h"
#include "lab_session.h"

namespace {

using tavrin::sim::testing::lab;

class lab_environment : public ::testing::Environment {
  public:
    void SetUp() override {
        why_ = tavrin::sim::testing::lab_session::is_root() ? lab().open() : "the lab needs root";
    }
    void TearDown() override { lab().close(); }
    static std::string why_;
};
std::string lab_environment::why_;

const auto* registered = ::testing::AddGlobalTestEnvironment(new lab_environment);

struct received {
    std::string sender;
    conmon_vendor_id_t vendor{};
    std::vector<uint8_t> body;
};

// One ConMon client driven by the runtime's loop on the test thread.
class lab_client {
  public:
    lab_client() {
        EXPECT_EQ(dapi_new(&api_), AUD_SUCCESS);
        conmon_client_config_t* config = conmon_client_config_new("lab-test");
        EXPECT_EQ(conmon_client_new(api_, config, &client_), AUD_SUCCESS);
        conmon_client_config_delete(config);
        conmon_client_set_context(client_, this);
    }
    ~lab_client() {
        if (client_) {
            conmon_client_delete(client_);
        }
        dapi_delete(api_);
    }

    bool run_until(const std::function<bool()>& done, int ms = 3000) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            dante_runtime_run_once(dapi_get_runtime(api_), 20);
        }
        return true;
    }
    void run_for(int ms) {
        run_until([] { return false; }, ms);
    }

    // Connects, registers for incoming STATUS messages and subscribes to all devices.
    void connect_and_subscribe() {
        ASSERT_EQ(conmon_client_connect(client_, on_response, &pending_), AUD_SUCCESS);
        ASSERT_TRUE(run_until([&] { return done_; })) << "no connect response";
        ASSERT_EQ(result_, AUD_SUCCESS);
        ASSERT_TRUE(conmon_client_is_connected(client_));
        ASSERT_EQ(request(conmon_client_register_monitoring_messages(
                      client_, on_response, &pending_, CONMON_CHANNEL_TYPE_STATUS,
                      CONMON_CHANNEL_DIRECTION_RX, on_message)),
                  AUD_SUCCESS);
        ASSERT_EQ(request(conmon_client_subscribe_global(client_, on_response, &pending_,
                                                         CONMON_CHANNEL_TYPE_STATUS)),
                  AUD_SUCCESS);
    }

    // Sends a control message and returns the server's answer to it.
    aud_error_t send(const std::string& device, const char* vendor,
                     const std::vector<uint8_t>& body) {
        conmon_vendor_id_t id;
        conmon_vendor_id_from_string(&id, vendor);
        return request(conmon_client_send_control_message(client_, on_response, &pending_,
                                                          device.c_str(), 0xFFFF, &id, body.data(),
                                                          body.size(), nullptr));
    }

    std::vector<received> from(const std::string& device, const char* vendor) const {
        conmon_vendor_id_t id;
        conmon_vendor_id_from_string(&id, vendor);
        std::vector<received> out;
        for (const received& r : messages_) {
            if (r.sender == device && conmon_vendor_id_equal(&r.vendor, &id)) {
                out.push_back(r);
            }
        }
        return out;
    }
    void clear() { messages_.clear(); }

  private:
    aud_error_t request(aud_error_t sent) {
        if (sent != AUD_SUCCESS) {
            return sent;
        }
        done_ = false;
        if (!run_until([&] { return done_; })) {
            return AUD_ERR_TIMEDOUT;
        }
        return result_;
    }

    static lab_client* self(conmon_client_t* c) {
        return static_cast<lab_client*>(conmon_client_get_context(c));
    }
    static void on_response(conmon_client_t* c, conmon_client_request_id_t, aud_error_t result) {
        self(c)->done_ = true;
        self(c)->result_ = result;
    }
    static void on_message(conmon_client_t* c, conmon_channel_type_t, conmon_channel_direction_t,
                           const conmon_message_head_t* head, const uint8_t* body) {
        received r;
        conmon_instance_id_t source;
        conmon_message_head_get_instance_id(head, &source);
        const char* name = conmon_client_get_source_name(c, &source);
        r.sender = name ? name : "";
        r.vendor = *conmon_message_head_get_vendor_id(head);
        r.body.assign(body, body + conmon_message_head_get_body_size(head));
        self(c)->messages_.push_back(r);
    }

    dapi_t* api_ = nullptr;
    conmon_client_t* client_ = nullptr;
    conmon_client_request_id_t pending_ = nullptr;
    bool done_ = false;
    aud_error_t result_ = AUD_SUCCESS;
    std::vector<received> messages_;
};

const std::vector<uint8_t> poll = {0x55, 0x11, 0xaa, 0xd5, 0xe3, 0x00, 0x02, 0x01, 0xcb};

// Joins the segments of one answer; empty until every byte arrived.
std::vector<uint8_t> reassemble(const std::vector<received>& segments) {
    std::vector<uint8_t> frame;
    size_t got = 0;
    for (const received& r : segments) {
        const auto& b = r.body;
        if (b.size() < 14 || b[4] != 0xD1) {
            continue;
        }
        size_t length = b[5] << 8 | b[6], total = b[9] << 8 | b[10], offset = b[11] << 8 | b[12];
        if (length < 7 || b.size() != length + 7 || offset + (length - 7) > total) {
            continue;
        }
        frame.resize(total);
        std::memcpy(frame.data() + offset, b.data() + 13, length - 7);
        got += length - 7;
    }
    return got == frame.size() ? frame : std::vector<uint8_t>{};
}

#define REQUIRE_LAB()                                            \
    do {                                                         \
        if (!lab().joined()) {                                   \
            GTEST_SKIP() << "no lab: " << lab_environment::why_; \
        }                                                        \
    } while (0)

TEST(lab_conmon, poll_is_answered_with_the_segmented_parameter_block) {
    REQUIRE_LAB();
    lab_client client;
    client.connect_and_subscribe();
    ASSERT_EQ(client.send("Amp-1", "Varnoll", poll), AUD_SUCCESS);
    ASSERT_TRUE(client.run_until([&] { return client.from("Amp-1", "Varnoll").size() >= 2; }));

    std::vector<uint8_t> frame = reassemble(client.from("Amp-1", "Varnoll"));
    ASSERT_EQ(frame.size(), 520u);
    EXPECT_EQ(frame[0], 0x55);
    EXPECT_EQ(frame[4], 0xE3);
    EXPECT_EQ(frame[5] << 8 | frame[6], 513);
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < frame.size(); ++i) {
        sum = static_cast<uint8_t>(sum + frame[i]);
    }
    EXPECT_EQ(sum, frame.back());

    // The amplifier logged the poll it received.
    EXPECT_NE(lab().wire_log("Amp-1").find("55 11 aa d5 e3 00 02 01 cb\n"), std::string::npos);
}

TEST(lab_conmon, devices_answer_the_manufacturer_query_with_their_names) {
    REQUIRE_LAB();
    lab_client client;
    client.connect_and_subscribe();
    const std::vector<uint8_t> query = {0x07, 0x24, 0x00, 0xC1, 0x00, 0x0F, 0x42, 0x40};
    for (const char* device : {"Stagebox-1", "Amp-3"}) {
        ASSERT_EQ(client.send(device, "Audinate", query), AUD_SUCCESS) << device;
    }
    ASSERT_TRUE(client.run_until([&] {
        return !client.from("Stagebox-1", "Audinate").empty() &&
               !client.from("Amp-3", "Audinate").empty();
    }));
    auto names = [&](const std::string& device) {
        received r = client.from(device, "Audinate").front();
        audinate_body body;
        EXPECT_EQ(audinate_body_init(&body, r.body.data(), r.body.size()), AUD_SUCCESS);
        EXPECT_EQ(audinate_body_get_type(&body), AUDINATE_TYPE_MANF_VERSIONS_STATUS);
        EXPECT_GE(audinate_body_get_version(&body), 0x0701);
        const char* mf = nullptr;
        const char* model = nullptr;
        audinate_manf_versions_get_manufacturer_name(&body, &mf);
        audinate_manf_versions_get_model_name(&body, &model);
        return std::string(mf ? mf : "") + "/" + (model ? model : "");
    };
    EXPECT_EQ(names("Stagebox-1"), "Other Audio/SB-8");
    EXPECT_EQ(names("Amp-3"), "Varnoll AB/TAVRIN-PA22");
}

TEST(lab_conmon, a_silenced_device_times_out_and_answers_again_when_released) {
    REQUIRE_LAB();
    lab_client client;
    client.connect_and_subscribe();
    ASSERT_EQ(lab().ctl({"Amp-2", "silence", "on"}), 0);
    EXPECT_EQ(client.send("Amp-2", "Varnoll", poll), AUD_ERR_TIMEDOUT);
    client.run_for(300);
    EXPECT_TRUE(client.from("Amp-2", "Varnoll").empty());

    ASSERT_EQ(lab().ctl({"Amp-2", "silence", "off"}), 0);
    EXPECT_EQ(client.send("Amp-2", "Varnoll", poll), AUD_SUCCESS);
    EXPECT_TRUE(client.run_until([&] { return client.from("Amp-2", "Varnoll").size() >= 2; }));
}

TEST(lab_conmon, unknown_device_is_not_found) {
    REQUIRE_LAB();
    lab_client client;
    client.connect_and_subscribe();
    EXPECT_EQ(client.send("No-Such-Amp", "Varnoll", poll), AUD_ERR_NOTFOUND);
}

TEST(lab_conmon, an_offline_device_is_withdrawn_and_comes_back) {
    REQUIRE_LAB();
    lab_client client;
    client.connect_and_subscribe();
    ASSERT_EQ(lab().ctl({"Amp-3", "offline"}), 0);
    // The server forgets the device once its DNS-SD records are withdrawn.
    EXPECT_TRUE(client.run_until(
        [&] { return client.send("Amp-3", "Varnoll", poll) == AUD_ERR_NOTFOUND; }, 8000));
    ASSERT_EQ(lab().ctl({"Amp-3", "online"}), 0);
    EXPECT_TRUE(client.run_until(
        [&] { return client.send("Amp-3", "Varnoll", poll) == AUD_SUCCESS; }, 8000));
}

TEST(lab_conmon, several_clients_each_receive_the_answers) {
    REQUIRE_LAB();
    lab_client first, second;
    first.connect_and_subscribe();
    second.connect_and_subscribe();
    ASSERT_EQ(first.send("Amp-Old", "Varnoll", poll), AUD_SUCCESS);
    EXPECT_TRUE(first.run_until([&] { return first.from("Amp-Old", "Varnoll").size() >= 2; }));
    EXPECT_TRUE(second.run_until([&] { return second.from("Amp-Old", "Varnoll").size() >= 2; }));
    EXPECT_EQ(reassemble(second.from("Amp-Old", "Varnoll")).size(), 520u);
}

}  // namespace
