// A virtual device of the lab without sockets: subscriptions, acks, faults,
// Audinate answers and the amplifier path with its wire log.
#include "sim/lab_device.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "dante/conmon/audinate_manf_versions.h"
#include "sim/lab_config.h"

namespace tavrin::sim {
namespace {

sockaddr_in endpoint(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

const std::vector<uint8_t> poll = {0x55, 0x11, 0xaa, 0xd5, 0xe3, 0x00, 0x02, 0x01, 0xcb};

class lab_device_fixture : public ::testing::Test {
  protected:
    lab_device_fixture()
        : wire_path(::testing::TempDir() + "lab_device_test_" + std::to_string(::getpid()) +
                    ".wire"),
          amp(config("Amp-1", true, "Varnoll AB", "TAVRIN-PA22"), clock, wire_path,
              htonl(0xA9FE4D01)),
          stagebox(config("Stagebox-1", false, "Other Audio", "SB-8"), clock, "", 0) {
        std::remove(wire_path.c_str());
        subscribe(amp);
        subscribe(stagebox);
    }
    ~lab_device_fixture() override { std::remove(wire_path.c_str()); }

    static lab_device_config config(const char* name, bool amplifier, const char* mf,
                                    const char* model) {
        lab_device_config c;
        c.name = name;
        c.amplifier = amplifier;
        c.manufacturer = mf;
        c.model = model;
        return c;
    }
    void subscribe(lab_device& d) {
        lab_bytes m =
            build_lab_message(lab_class_subscribe, 1, server_id, lab_vendor_id(), nullptr, 0);
        EXPECT_TRUE(d.on_conmon_datagram(m.data(), m.size(), server).empty());
    }
    std::vector<lab_output> control(lab_device& d, const char* vendor,
                                    const std::vector<uint8_t>& body, uint16_t seq = 7) {
        conmon_vendor_id_t v;
        conmon_vendor_id_from_string(&v, vendor);
        lab_bytes m = build_lab_message(0xFFFF, seq, server_id, v, body.data(), body.size());
        return d.on_conmon_datagram(m.data(), m.size(), server);
    }

    fake_time clock;
    conmon_instance_id_t server_id{};
    sockaddr_in server = endpoint(8901);
    std::string wire_path;
    lab_device amp;
    lab_device stagebox;
};

TEST_F(lab_device_fixture, poll_is_acked_and_answered_in_two_segments_with_a_wire_log_line) {
    auto out = control(amp, "Varnoll", poll, 42);
    ASSERT_EQ(out.size(), 3u);  // ack, then two segments
    lab_message ack;
    ASSERT_TRUE(parse_lab_message(out[0].bytes.data(), out[0].bytes.size(), ack));
    uint16_t acked = 0;
    ASSERT_TRUE(parse_lab_ack(ack, acked));
    EXPECT_EQ(acked, 42);
    size_t pieces = 0;
    for (size_t i = 1; i < out.size(); ++i) {
        lab_message m;
        ASSERT_TRUE(parse_lab_message(out[i].bytes.data(), out[i].bytes.size(), m));
        EXPECT_FALSE(m.lab);
        EXPECT_TRUE(conmon_instance_id_equal(&m.source, &amp.instance_id()));
        ASSERT_GE(m.body_size, 14u);
        EXPECT_EQ(m.body[4], 0xD1);
        pieces += m.body_size - 14;
    }
    EXPECT_EQ(pieces, 520u);
    std::ifstream log(wire_path);
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_EQ(text.str(), "55 11 aa d5 e3 00 02 01 cb\n");
}

TEST_F(lab_device_fixture, faults_silence_drop_delay_and_offline) {
    EXPECT_EQ(amp.ctl({"silence", "on"}), "ok");
    EXPECT_TRUE(control(amp, "Varnoll", poll).empty());
    EXPECT_EQ(amp.ctl({"silence", "off"}), "ok");

    EXPECT_EQ(amp.ctl({"delay", "250"}), "ok");
    for (const lab_output& o : control(amp, "Varnoll", poll)) {
        EXPECT_EQ(o.delay_ms, 250u);
    }
    EXPECT_EQ(amp.ctl({"delay", "0"}), "ok");

    EXPECT_EQ(amp.ctl({"drop", "100"}), "ok");
    EXPECT_TRUE(control(amp, "Varnoll", poll).empty());
    EXPECT_EQ(amp.ctl({"drop", "50"}), "ok");
    int answered = 0;
    for (int i = 0; i < 200; ++i) {
        answered += control(amp, "Varnoll", poll).empty() ? 0 : 1;
    }
    EXPECT_GT(answered, 50);
    EXPECT_LT(answered, 150);
    EXPECT_EQ(amp.ctl({"drop", "0"}), "ok");

    EXPECT_EQ(amp.ctl({"offline"}), "ok");
    EXPECT_TRUE(control(amp, "Varnoll", poll).empty());
    EXPECT_EQ(amp.ctl({"online"}), "ok");
    EXPECT_EQ(control(amp, "Varnoll", poll).size(), 3u);
}

TEST_F(lab_device_fixture, ctl_rejects_bad_actions_and_amplifier_actions_on_other_devices) {
    EXPECT_NE(amp.ctl({"drop", "101"}).rfind("error", 0), std::string::npos);
    EXPECT_NE(amp.ctl({"silence", "maybe"}).rfind("error", 0), std::string::npos);
    EXPECT_NE(amp.ctl({"launch"}).rfind("error", 0), std::string::npos);
    EXPECT_NE(amp.ctl({"firmware", "21", "11"}).rfind("error", 0), std::string::npos);
    EXPECT_NE(stagebox.ctl({"corrupt", "on"}).rfind("error", 0), std::string::npos);
    EXPECT_EQ(amp.ctl({"firmware", "22", "1", "2", "3"}), "ok");
    EXPECT_NE(amp.ctl({"status"}).find("firmware=22.1.2.3"), std::string::npos);
}

TEST_F(lab_device_fixture, manufacturer_query_names_the_maker_and_model) {
    const std::vector<uint8_t> query = {0x07, 0x24, 0x00, 0xC1, 0x00, 0x0F, 0x42, 0x40};
    auto out = control(stagebox, "Audinate", query);
    ASSERT_EQ(out.size(), 2u);
    lab_message m;
    ASSERT_TRUE(parse_lab_message(out[1].bytes.data(), out[1].bytes.size(), m));
    audinate_body body;
    ASSERT_EQ(audinate_body_init(&body, m.body, m.body_size), AUD_SUCCESS);
    EXPECT_EQ(audinate_body_get_type(&body), AUDINATE_TYPE_MANF_VERSIONS_STATUS);
    const char* mf = nullptr;
    const char* model = nullptr;
    ASSERT_EQ(audinate_manf_versions_get_manufacturer_name(&body, &mf), AUD_SUCCESS);
    ASSERT_EQ(audinate_manf_versions_get_model_name(&body, &model), AUD_SUCCESS);
    EXPECT_STREQ(mf, "Other Audio");
    EXPECT_STREQ(model, "SB-8");

    // A Varnoll body to a device that is no amplifier is acked and otherwise ignored;
    // an Audinate body shorter than its head gets only the ack.
    EXPECT_EQ(control(stagebox, "Varnoll", poll).size(), 1u);
    EXPECT_EQ(control(amp, "Audinate", {0x07, 0x24}).size(), 1u);
}

TEST_F(lab_device_fixture, unsubscribed_servers_get_acks_only_and_junk_is_dropped) {
    lab_bytes m =
        build_lab_message(lab_class_unsubscribe, 2, server_id, lab_vendor_id(), nullptr, 0);
    amp.on_conmon_datagram(m.data(), m.size(), server);
    EXPECT_TRUE(amp.subscribers().empty());
    EXPECT_EQ(control(amp, "Varnoll", poll).size(), 1u);

    const uint8_t junk[] = {0, 1, 0, 200, 0, 0};
    EXPECT_TRUE(amp.on_conmon_datagram(junk, sizeof junk, server).empty());
}

TEST(lab_device_identity, txt_records_carry_stable_distinct_ids) {
    fake_time clock;
    lab_device_config a{"Amp-1", true, "Varnoll AB", "TAVRIN-PA22", {}};
    lab_device_config b{"Amp-2", true, "Varnoll AB", "TAVRIN-PA42", {}};
    lab_device da(a, clock, "", 0), da2(a, clock, "", 0), db(b, clock, "", 0);
    auto value = [](const txt_entries& t, const std::string& key) {
        for (const auto& [k, v] : t) {
            if (k == key) {
                return v;
            }
        }
        return std::string();
    };
    EXPECT_EQ(value(da.conmon_txt(), "id").size(), 16u);
    EXPECT_EQ(value(da.conmon_txt(), "id"), value(da2.conmon_txt(), "id"));
    EXPECT_NE(value(da.conmon_txt(), "id"), value(db.conmon_txt(), "id"));
    EXPECT_EQ(value(da.conmon_txt(), "mf"), value(db.conmon_txt(), "mf"));
    EXPECT_NE(value(da.conmon_txt(), "model"), value(db.conmon_txt(), "model"));
    EXPECT_EQ(value(da.arcp_txt(), "model"), value(da.conmon_txt(), "model"));
}

}  // namespace
}  // namespace tavrin::sim
