// The Audinate decoders on bytes: what each status body says, which bodies each
// refuses, and what a cut body still yields.
#include "qxapi/audinate_facts.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <vector>

#include "dante/conmon/audinate_interface_status.h"
#include "dante/conmon/audinate_manf_versions.h"
#include "dante/conmon/audinate_srate_status.h"
#include "qxapi/audinate_lines.h"

namespace tavrin::testing {
namespace {

std::vector<uint8_t> manf_body() {
    audinate_manf_versions_info info{};
    info.version = 0x0724;
    for (uint8_t i = 0; i < 8; ++i) {
        info.manufacturer_id[i] = static_cast<uint8_t>(0x10 + i);
        info.model_id[i] = static_cast<uint8_t>(0x20 + i);
        info.serial_id[i] = static_cast<uint8_t>(0x30 + i);
    }
    info.manufacturer_name = "Varnoll AB";
    info.model_name = "TAVRIN-PA22";
    info.model_version_string = "1.2.3";
    info.model_version = audinate_version_pack(1, 2, 3);
    info.software_version = audinate_version_pack(4, 2, 1);
    info.software_build = 7;
    info.firmware_version = audinate_version_pack(3, 0, 9);
    info.firmware_build = 11;
    info.capabilities = 0x00010002;
    std::vector<uint8_t> body(1024);
    size_t size = 0;
    EXPECT_EQ(audinate_build_manf_versions_status(body.data(), body.size(), &info, &size),
              AUD_SUCCESS);
    body.resize(size);
    return body;
}

std::vector<uint8_t> srate_body(uint16_t type, uint16_t count) {
    audinate_srate_status_info info{};
    info.version = 0x0724;
    info.type = type;
    info.mode = 2;
    info.current = 48000;
    info.reboot = 96000;
    info.available_count = count;
    for (uint16_t i = 0; i < count; ++i)
        info.available[i] = 44100u + i;
    std::vector<uint8_t> body(512);
    size_t size = 0;
    EXPECT_EQ(audinate_build_srate_status(body.data(), body.size(), &info, &size), AUD_SUCCESS);
    body.resize(size);
    return body;
}

std::vector<uint8_t> interface_body(bool reboot_records) {
    audinate_interface_status_info info{};
    info.version = 0x0724;
    info.mode = 1;
    info.redundancy_flags = AUDINATE_SWITCH_REDUNDANCY;
    info.port_count = 2;
    info.with_reboot_records = reboot_records ? 1 : 0;
    audinate_port_info& a = info.ports[0];
    a.link_speed = 1000;
    a.flags = AUDINATE_PORT_UP;
    for (uint8_t i = 0; i < 6; ++i)
        a.mac[i] = static_cast<uint8_t>(0xA0 + i);
    a.ip = htonl(0xA9FE4D01);
    a.netmask = htonl(0xFFFF0000);
    a.gateway = htonl(0xA9FE0001);
    a.domain_name = "stage.local";
    a.reboot_flags = AUDINATE_PORT_STATIC | AUDINATE_PORT_REBOOT_CONFIG;
    a.reboot_ip = htonl(0x0A000005);
    a.reboot_domain_name = "next.local";
    info.ports[1].link_speed = 0;
    std::vector<uint8_t> body(1024);
    size_t size = 0;
    EXPECT_EQ(audinate_build_interface_status(body.data(), body.size(), &info, &size), AUD_SUCCESS);
    body.resize(size);
    return body;
}

TEST(audinate_facts, head_names_only_the_known_types) {
    const std::vector<uint8_t> manf = manf_body();
    const auto head = read_audinate_head(manf.data(), manf.size());
    ASSERT_TRUE(head);
    EXPECT_EQ(head->type, AUDINATE_TYPE_MANF_VERSIONS_STATUS);
    EXPECT_STREQ(head->name, "MANF_VERSIONS_STATUS");
    EXPECT_EQ(audinate_head_line(*head), "> Audinate message: MANF_VERSIONS_STATUS (0x00c0)");

    const std::vector<uint8_t> unknown = {0x07, 0x24, 0x12, 0x34, 0, 0, 0, 0};
    EXPECT_FALSE(read_audinate_head(unknown.data(), unknown.size()));
    EXPECT_FALSE(read_audinate_head(manf.data(), 7));
    EXPECT_FALSE(read_audinate_head(nullptr, 0));
}

TEST(audinate_facts, each_decoder_refuses_the_other_types_and_short_bodies) {
    const std::vector<uint8_t> manf = manf_body();
    const std::vector<uint8_t> srate = srate_body(AUDINATE_TYPE_SRATE_STATUS, 2);
    const std::vector<uint8_t> iface = interface_body(false);
    EXPECT_FALSE(decode_manf_versions(srate.data(), srate.size()));
    EXPECT_FALSE(decode_srate_status(manf.data(), manf.size()));
    EXPECT_FALSE(decode_interface_status(manf.data(), manf.size()));
    EXPECT_FALSE(decode_manf_versions(iface.data(), iface.size()));
    for (size_t n = 0; n < 8; ++n) {
        EXPECT_FALSE(decode_manf_versions(manf.data(), n)) << n;
        EXPECT_FALSE(decode_srate_status(srate.data(), n)) << n;
        EXPECT_FALSE(decode_interface_status(iface.data(), n)) << n;
    }
}

TEST(audinate_facts, manufacturer_and_versions) {
    const std::vector<uint8_t> body = manf_body();
    const auto facts = decode_manf_versions(body.data(), body.size());
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->manufacturer_name, "Varnoll AB");
    EXPECT_EQ(facts->model_name, "TAVRIN-PA22");
    EXPECT_EQ(facts->model_version_string, "1.2.3");
    EXPECT_EQ(facts->manufacturer_id[0], 0x10);
    EXPECT_EQ(facts->model_id[7], 0x27);
    EXPECT_EQ(facts->serial_id[3], 0x33);
    EXPECT_EQ(facts->model_version, audinate_version_pack(1, 2, 3));
    EXPECT_EQ(facts->software_version, audinate_version_pack(4, 2, 1));
    EXPECT_EQ(facts->software_build, 7u);
    EXPECT_EQ(facts->firmware_version, audinate_version_pack(3, 0, 9));
    EXPECT_EQ(facts->firmware_build, 11u);
    EXPECT_EQ(facts->capabilities, 0x00010002u);

    const std::vector<std::string> lines = audinate_lines(*facts);
    EXPECT_EQ(lines.front(), ">> manufacturer=1011121314151617");
    EXPECT_EQ(lines[4], ">> model version=1.2.3");
    EXPECT_EQ(lines[7], ">> software version=4.2.1.7");
    EXPECT_EQ(lines[8], ">> firmware version=3.0.9.11");
    EXPECT_EQ(lines.back(), ">> capabilities=0x00010002");

    // Cut anywhere past the head, the body still decodes: what it lacks reads empty.
    for (size_t n = 8; n < body.size(); ++n) {
        const std::vector<uint8_t> cut(body.begin(), body.begin() + static_cast<long>(n));
        const auto part = decode_manf_versions(cut.data(), cut.size());
        ASSERT_TRUE(part) << n;
        EXPECT_LE(part->manufacturer_name.size(), 10u);
    }
    const std::vector<uint8_t> head_only(body.begin(), body.begin() + 8);
    const auto empty = decode_manf_versions(head_only.data(), head_only.size());
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->manufacturer_name, "");
    EXPECT_EQ(empty->software_version, 0u);
}

TEST(audinate_facts, sample_rate_and_encoding_share_a_layout) {
    const std::vector<uint8_t> srate = srate_body(AUDINATE_TYPE_SRATE_STATUS, 3);
    const auto facts = decode_srate_status(srate.data(), srate.size());
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->type, AUDINATE_TYPE_SRATE_STATUS);
    EXPECT_EQ(facts->mode, 2);
    EXPECT_EQ(facts->current, 48000u);
    EXPECT_EQ(facts->reboot, 96000u);
    EXPECT_EQ(facts->available, (std::vector<uint32_t>{44100, 44101, 44102}));

    const std::vector<uint8_t> enc = srate_body(AUDINATE_TYPE_ENC_STATUS, 0);
    const auto encoding = decode_srate_status(enc.data(), enc.size());
    ASSERT_TRUE(encoding);
    EXPECT_EQ(encoding->type, AUDINATE_TYPE_ENC_STATUS);
    EXPECT_TRUE(encoding->available.empty());
    EXPECT_EQ(audinate_lines(*encoding).back(), ">> no options available");

    // A count that promises more values than the body holds keeps the count and the
    // values that are there.
    const std::vector<uint8_t> cut(srate.begin(), srate.end() - 4);
    const auto part = decode_srate_status(cut.data(), cut.size());
    ASSERT_TRUE(part);
    EXPECT_EQ(part->available_count, 3);
    EXPECT_EQ(part->available, (std::vector<uint32_t>{44100, 44101}));
    EXPECT_EQ(audinate_lines(*part).back(), ">> available values [3]: 44100, 44101,");
}

TEST(audinate_facts, interface_ports_with_and_without_reboot_records) {
    const std::vector<uint8_t> plain = interface_body(false);
    const auto facts = decode_interface_status(plain.data(), plain.size());
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->mode, 1);
    EXPECT_EQ(facts->port_count, 2);
    ASSERT_EQ(facts->ports.size(), 2u);
    const port_record& a = facts->ports[0].record;
    EXPECT_EQ(a.index, 0);
    EXPECT_TRUE(a.link_up);
    EXPECT_EQ(a.speed, 1000u);
    EXPECT_EQ(a.mac[5], 0xA5);
    EXPECT_EQ(a.ip, htonl(0xA9FE4D01));
    EXPECT_EQ(a.gateway, htonl(0xA9FE0001));
    EXPECT_FALSE(facts->ports[1].record.link_up);
    EXPECT_FALSE(facts->ports[0].reboot);
    EXPECT_FALSE(facts->ports[0].domain_name);

    const std::vector<uint8_t> with = interface_body(true);
    const auto rebooting = decode_interface_status(with.data(), with.size());
    ASSERT_TRUE(rebooting);
    ASSERT_EQ(rebooting->ports.size(), 2u);
    const port_facts& p = rebooting->ports[0];
    ASSERT_TRUE(p.domain_name);
    EXPECT_EQ(*p.domain_name, "stage.local");
    ASSERT_TRUE(p.reboot);
    EXPECT_EQ(p.reboot->flags, AUDINATE_PORT_STATIC | AUDINATE_PORT_REBOOT_CONFIG);
    // The second port's record says it has no reboot configuration.
    EXPECT_FALSE(rebooting->ports[1].reboot);
    EXPECT_EQ(p.reboot->ip, htonl(0x0A000005));
    ASSERT_TRUE(p.reboot->domain_name);
    EXPECT_EQ(*p.reboot->domain_name, "next.local");

    const std::vector<std::string> lines = audinate_lines(*rebooting);
    EXPECT_EQ(lines[0], ">> mode=SWITCHED");
    EXPECT_EQ(lines[1],
              ">> flags=0x00000001  SWITCH_REDUNDANCY is on / SWITCH_REDUNDANCY_REBOOT is off");
    const std::vector<std::string> port_lines(lines.begin() + 3, lines.begin() + 18);
    EXPECT_EQ(
        port_lines,
        (std::vector<std::string>{
            ">>  flags=0x00000001 UP", ">>  link speed=1000", ">>  mac=a0:a1:a2:a3:a4:a5",
            ">>  ip=169.254.77.1", ">>  netmask=255.255.0.0", ">>  dns=0.0.0.0",
            ">>  gateway=169.254.0.1", ">>  domain name =stage.local", ">>  reboot_config=yes",
            ">>    flags=0x00000006 STATIC", ">>    ip=10.0.0.5", ">>    netmask=0.0.0.0",
            ">>    dns=0.0.0.0", ">>    gateway=0.0.0.0", ">>  domain_name=next.local"}));
    EXPECT_EQ(lines.back(), ">>  reboot_config=no");

    // A port count larger than the body ends the list at the last whole port.
    const std::vector<uint8_t> cut(plain.begin(), plain.end() - 10);
    const auto part = decode_interface_status(cut.data(), cut.size());
    ASSERT_TRUE(part);
    EXPECT_EQ(part->port_count, 2);
    EXPECT_EQ(part->ports.size(), 1u);
}

}  // namespace
}  // namespace tavrin::testing
