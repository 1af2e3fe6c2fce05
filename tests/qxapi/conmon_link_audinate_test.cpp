// The ConMon link's Audinate side: what a received status message logs, what lands in
// the sender's node, and the two requests of the device search.
#include <gtest/gtest.h>

#include <cstring>

#include "dante/conmon/audinate_interface_status.h"
#include "dante/conmon/audinate_manf_versions.h"
#include "dante/conmon/audinate_srate_status.h"
#include "wrapper_fixture.h"

namespace tavrin::testing {
namespace {

class link_audinate : public wrapper_test {
  protected:
    // Delivers a body from `sender` with the given vendor id.
    void receive(const std::string& sender, const std::vector<uint8_t>& body,
                 const char* vendor = "Audinate") {
        conmon_message_head_t head = lib.head_from(sender, vendor, body.size());
        link.on_monitor_message(nullptr, CONMON_CHANNEL_TYPE_STATUS, CONMON_CHANNEL_DIRECTION_RX,
                                &head, body.data());
    }

    static std::vector<uint8_t> manf_versions(const char* manufacturer, const char* model) {
        audinate_manf_versions_info info{};
        info.version = 0x0724;
        info.manufacturer_name = manufacturer;
        info.model_name = model;
        info.software_version = audinate_version_pack(4, 2, 1);
        info.software_build = 3;
        info.model_version = audinate_version_pack(1, 0, 0);
        info.model_version_string = "1.0.0";
        std::vector<uint8_t> body(1024);
        size_t size = 0;
        EXPECT_EQ(audinate_build_manf_versions_status(body.data(), body.size(), &info, &size),
                  AUD_SUCCESS);
        body.resize(size);
        return body;
    }

    static std::vector<uint8_t> srate(uint16_t type, uint16_t mode, uint32_t current) {
        audinate_srate_status_info info{};
        info.version = 0x0724;
        info.type = type;
        info.mode = mode;
        info.current = current;
        info.reboot = current;
        info.available_count = 2;
        info.available[0] = 44100;
        info.available[1] = 48000;
        std::vector<uint8_t> body(256);
        size_t size = 0;
        EXPECT_EQ(audinate_build_srate_status(body.data(), body.size(), &info, &size), AUD_SUCCESS);
        body.resize(size);
        return body;
    }
};

TEST_F(link_audinate, manufacturer_and_model_names_are_cut_to_32_characters) {
    browse_adds("Amp-1");
    const std::string forty = "Varnoll Audio Engineering Laboratories AB";  // 41
    receive("Amp-1", manf_versions(forty.c_str(), "TAVRIN-PA22"));
    const node_summary* s = summary("Amp-1");
    EXPECT_EQ(s->manufacturer_name, forty.substr(0, 32));
    EXPECT_EQ(s->model_name, "TAVRIN-PA22");
    EXPECT_TRUE(logged("> Audinate message: MANF_VERSIONS_STATUS (0x00c0)"));
    EXPECT_TRUE(logged(">> manufacturer name=\"" + forty + "\""));
    EXPECT_TRUE(logged(">> software version=4.2.1.3"));
    EXPECT_TRUE(logged(">> model version=1.0.0"));
}

// DNS-SD names are case-blind: a device the browse found as AMP-2 (it changed the case
// of its name) may still send under the spelling the server first knew.
TEST_F(link_audinate, facts_reach_the_node_whatever_the_case_of_the_sender) {
    browse_adds("AMP-2");
    receive("Amp-2", manf_versions("Varnoll AB", "TAVRIN-PA22"));
    EXPECT_EQ(summary("AMP-2")->model_name, "TAVRIN-PA22");
}

TEST_F(link_audinate, sample_rate_and_encoding_with_an_unknown_mode) {
    browse_adds("Amp-1");
    receive("Amp-1", srate(AUDINATE_TYPE_SRATE_STATUS, 5, 48000));
    receive("Amp-1", srate(AUDINATE_TYPE_ENC_STATUS, 0, 24));
    EXPECT_TRUE(logged(">> mode = 5 (\?\?\?)"));
    EXPECT_TRUE(logged(">> mode = 0 (Fixed)"));
    EXPECT_TRUE(logged(">> current value   = 48000"));
    EXPECT_TRUE(logged(">> available values [2]: 44100, 48000,"));
    EXPECT_EQ(summary("Amp-1")->sample_rate, 48000u);
    EXPECT_EQ(summary("Amp-1")->encoding, 24u);
}

TEST_F(link_audinate, interface_status_ports_are_logged_and_stored) {
    browse_adds("Amp-1");
    audinate_interface_status_info info{};
    info.version = 0x0724;
    info.port_count = 2;
    info.ports[0].link_speed = 1000;
    info.ports[0].flags = AUDINATE_PORT_UP | AUDINATE_PORT_DHCP_DISABLED;
    info.ports[0].ip = htonl(0xA9FE4D01);
    info.ports[1].link_speed = 0;
    std::vector<uint8_t> body(512);
    size_t size = 0;
    ASSERT_EQ(audinate_build_interface_status(body.data(), body.size(), &info, &size), AUD_SUCCESS);
    body.resize(size);
    receive("Amp-1", body);
    EXPECT_TRUE(logged(">> num ports=2"));
    EXPECT_TRUE(logged(">>  flags=0x00000021 UP DHCP DISABLED"));
    EXPECT_TRUE(logged(">>  ip=169.254.77.1"));
    EXPECT_TRUE(logged(">>  reboot_config=no"));
    EXPECT_EQ(summary("Amp-1")->port_count, 2u);

    // A port count larger than the body ends the list without reading past it.
    std::vector<uint8_t> cut(body.begin(), body.end() - 10);
    receive("Amp-1", cut);
    EXPECT_EQ(summary("Amp-1")->port_count, 1u);
}

TEST_F(link_audinate, sender_without_node_and_foreign_vendor) {
    browse_adds("Amp-1");
    receive("Stranger", manf_versions("Varnoll AB", "TAVRIN-PA22"));
    EXPECT_TRUE(logged(">> model name=\"TAVRIN-PA22\""));
    EXPECT_EQ(summary("Amp-1")->manufacturer_name, "");

    log.clear();
    receive("Amp-1", manf_versions("Varnoll AB", "TAVRIN-PA22"), "Varnoll");
    EXPECT_FALSE(logged("> Audinate message: MANF_VERSIONS_STATUS (0x00c0)"));
    EXPECT_EQ(summary("Amp-1")->manufacturer_name, "");

    // Short and unknown bodies are ignored.
    log.clear();
    receive("Amp-1", {0x07, 0x24, 0x00});
    receive("Amp-1", {0x07, 0x24, 0x12, 0x34, 0, 0, 0, 0});
    for (const std::string& line : lines(2))
        EXPECT_EQ(line.rfind("Receive STATUS message", 0), 0u) << line;
}

TEST_F(link_audinate, requests_go_only_to_known_devices_and_wait_for_the_answer) {
    browse_adds("Amp-1");
    lib.answer_connect = true;
    EXPECT_LT(link.request_manf_versions("Nobody").error, 0);
    EXPECT_TRUE(lib.sent().empty());

    // Without a client nothing can be sent.
    EXPECT_NE(link.request_manf_versions("Amp-1").error, 0);

    link.conmon_start();
    ASSERT_TRUE(link.client_connected());
    EXPECT_EQ(link.request_manf_versions("Amp-1").error, 0);
    EXPECT_EQ(link.request_interface("Amp-1").error, 0);
    const auto sent = lib.sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].name, "Amp-1");
    EXPECT_EQ(sent[0].vendor, "Audinate");
    EXPECT_EQ(sent[0].message_class, 0xFFFF);
    EXPECT_TRUE(sent[0].with_request);
    EXPECT_EQ(sent[0].body, (std::vector<uint8_t>{0x07, 0x24, 0x00, 0xC1, 0x00, 0x0F, 0x42, 0x40}));
    std::vector<uint8_t> interface_query(16, 0);
    interface_query[0] = 0x07;
    interface_query[1] = 0x24;
    interface_query[3] = 0x13;
    EXPECT_EQ(sent[1].body, interface_query);
    EXPECT_TRUE(logged("send 8 bytes to Amp-1 device on CONTROL channel"));
    EXPECT_EQ(lib.queued(), 0u);
}

TEST_F(link_audinate, an_unanswered_request_ends_at_the_bound) {
    browse_adds("Amp-1");
    link.conmon_start();
    lib.answer_controls = false;
    // The socket thread is not running here, so the wait gives up at once; with it
    // running the bound ends it (see the thread tests).
    const uint32_t before = time.now_ms();
    EXPECT_EQ(link.request_manf_versions("Amp-1").error, 0);
    EXPECT_LE(time.now_ms() - before, 3000u);
    EXPECT_TRUE(logged("ERR- no answer to the Audinate request"));

    lib.send_result = AUD_ERR_NOBUFS;
    EXPECT_EQ(link.request_manf_versions("Amp-1").error, AUD_ERR_NOBUFS);
    EXPECT_TRUE(logged("ERR- send control message (NOBUFS)"));
}

}  // namespace
}  // namespace tavrin::testing
