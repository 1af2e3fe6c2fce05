// Audinate bodies: the bytes the builders produce, every reader on valid, short and
// version-gated bodies, and the rule that nothing is read beyond the body.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dante/conmon/audinate_body.h"
#include "dante/conmon/audinate_interface_status.h"
#include "dante/conmon/audinate_manf_versions.h"
#include "dante/conmon/audinate_srate_status.h"

namespace {

using bytes = std::vector<uint8_t>;

audinate_body view(const bytes& b) {
    audinate_body body{};
    EXPECT_EQ(audinate_body_init(&body, b.data(), b.size()), AUD_SUCCESS);
    return body;
}

// A copy of b cut to n bytes on the heap, so ASan sees any read past its end.
struct cut_body {
    cut_body(const bytes& b, size_t n) : storage(b.begin(), b.begin() + n) {
        body.bytes = storage.data();
        body.size = storage.size();
    }
    bytes storage;
    audinate_body body{};
};

void put16(bytes& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v >> 8);
    b[at + 1] = static_cast<uint8_t>(v);
}

uint32_t ip(const char* text) {
    return inet_addr(text);
}

// ---------------------------------------------------------------- head and queries

TEST(AudinateQuery, ShortQueryHasTheManufacturerRequestBytes) {
    uint8_t buf[8];
    size_t n = 0;
    ASSERT_EQ(
        audinate_build_short_query(buf, sizeof buf, AUDINATE_TYPE_MANF_VERSIONS_QUERY, 1000000, &n),
        AUD_SUCCESS);
    EXPECT_EQ(bytes(buf, buf + n), (bytes{0x07, 0x24, 0x00, 0xC1, 0x00, 0x0F, 0x42, 0x40}));
    EXPECT_EQ(audinate_build_short_query(buf, 7, 0x00C1, 1, &n), AUD_ERR_NOBUFS);
}

TEST(AudinateQuery, InterfaceQueryIsSixteenBytesWithTwelveZeros) {
    uint8_t buf[32];
    memset(buf, 0xEE, sizeof buf);
    size_t n = 0;
    ASSERT_EQ(audinate_build_interface_query(buf, sizeof buf, 0, &n), AUD_SUCCESS);
    bytes expected{0x07, 0x24, 0x00, 0x13};
    expected.resize(16, 0);
    EXPECT_EQ(bytes(buf, buf + n), expected);
    EXPECT_EQ(audinate_build_interface_query(buf, 15, 0, &n), AUD_ERR_NOBUFS);

    size_t size = 0;
    EXPECT_EQ(audinate_interface_query_body_size(buf, 16, &size), AUD_SUCCESS);
    EXPECT_EQ(size, 16u);
    buf[11] = 3;
    EXPECT_EQ(audinate_interface_query_body_size(buf, 16, &size), AUD_ERR_INVALIDDATA);
    EXPECT_EQ(audinate_interface_query_body_size(buf, 11, &size), AUD_ERR_TRUNCATED);
}

TEST(AudinateBody, HeadNeedsEightBytes) {
    bytes b{0x07, 0x01, 0x00, 0xC0, 0, 0, 0, 7};
    audinate_body body{};
    EXPECT_EQ(audinate_body_init(&body, b.data(), 7), AUD_ERR_TRUNCATED);
    EXPECT_EQ(audinate_body_get_type(&body), 0);
    ASSERT_EQ(audinate_body_init(&body, b.data(), 8), AUD_SUCCESS);
    EXPECT_EQ(audinate_body_get_version(&body), 0x0701);
    EXPECT_EQ(audinate_body_get_type(&body), AUDINATE_TYPE_MANF_VERSIONS_STATUS);
    EXPECT_EQ(audinate_body_get_request_value(&body), 7u);
    EXPECT_STREQ(audinate_message_type_name(0x0082), "ENC_STATUS");
    EXPECT_EQ(audinate_message_type_name(0x0013), nullptr);
}

// ---------------------------------------------------------------- MANF_VERSIONS_STATUS

audinate_manf_versions_info tavrin_info(uint16_t version) {
    audinate_manf_versions_info info{};
    info.version = version;
    memcpy(info.manufacturer_id, "VARNOLL\0", 8);
    memcpy(info.model_id, "PA22\0\0\0\1", 8);
    memcpy(info.serial_id, "\1\2\3\4\5\6\7\x08", 8);
    info.software_version = audinate_version_pack(4, 2, 300);
    info.firmware_version = audinate_version_pack(1, 9, 7);
    info.capabilities = 0x00010203;
    info.software_build = 512;
    info.firmware_build = 77;
    info.manufacturer_name = "Varnoll AB";
    info.model_name = "TAVRIN-PA22";
    info.model_version = audinate_version_pack(2, 1, 5);
    info.model_version_string = "2.1.5-rc1";
    return info;
}

bytes build_manf(const audinate_manf_versions_info& info) {
    bytes b(1448);
    size_t n = 0;
    EXPECT_EQ(audinate_build_manf_versions_status(b.data(), b.size(), &info, &n), AUD_SUCCESS);
    b.resize(n);
    return b;
}

TEST(AudinateManfVersions, Version0701HasNamesAndBuildsButNoModelVersion) {
    bytes b = build_manf(tavrin_info(0x0701));
    EXPECT_EQ(b.size(), 308u);
    audinate_body body = view(b);
    uint8_t id[8];
    ASSERT_EQ(audinate_manf_versions_get_manufacturer_id(&body, id), AUD_SUCCESS);
    EXPECT_EQ(memcmp(id, "VARNOLL\0", 8), 0);
    ASSERT_EQ(audinate_manf_versions_get_serial_id(&body, id), AUD_SUCCESS);
    EXPECT_EQ(id[7], 8);
    uint32_t v = 0;
    ASSERT_EQ(audinate_manf_versions_get_software_version(&body, &v), AUD_SUCCESS);
    EXPECT_EQ(audinate_version_major(v), 4u);
    EXPECT_EQ(audinate_version_minor(v), 2u);
    EXPECT_EQ(audinate_version_patch(v), 300u);
    EXPECT_EQ(audinate_manf_versions_get_capabilities(&body, &v), AUD_SUCCESS);
    EXPECT_EQ(v, 0x00010203u);
    EXPECT_EQ(audinate_manf_versions_get_software_build(&body, &v), AUD_SUCCESS);
    EXPECT_EQ(v, 512u);
    EXPECT_EQ(audinate_manf_versions_get_firmware_build(&body, &v), AUD_SUCCESS);
    EXPECT_EQ(v, 77u);
    const char* s = nullptr;
    ASSERT_EQ(audinate_manf_versions_get_manufacturer_name(&body, &s), AUD_SUCCESS);
    EXPECT_STREQ(s, "Varnoll AB");
    ASSERT_EQ(audinate_manf_versions_get_model_name(&body, &s), AUD_SUCCESS);
    EXPECT_STREQ(s, "TAVRIN-PA22");
    EXPECT_EQ(audinate_manf_versions_get_model_version(&body, &v), AUD_SUCCESS);
    EXPECT_EQ(v, 0u);
    EXPECT_EQ(audinate_manf_versions_get_model_version_string(&body, &s), AUD_SUCCESS);
    EXPECT_EQ(s, nullptr);
}

TEST(AudinateManfVersions, OlderVersionsHideNewerFieldsEvenWhenBytesArePresent) {
    // A 0x0700 body padded with the bytes of a newer one must not expose them.
    bytes b = build_manf(tavrin_info(0x0712));
    put16(b, 0, 0x0700);
    audinate_body body = view(b);
    uint32_t v = 1;
    const char* s = "x";
    EXPECT_EQ(audinate_manf_versions_get_software_build(&body, &v), AUD_SUCCESS);
    EXPECT_EQ(v, 0u);
    EXPECT_EQ(audinate_manf_versions_get_manufacturer_name(&body, &s), AUD_SUCCESS);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(audinate_manf_versions_get_model_version(&body, &v), AUD_SUCCESS);
    EXPECT_EQ(v, 0u);
    EXPECT_EQ(audinate_manf_versions_get_capabilities(&body, &v), AUD_SUCCESS);
    EXPECT_EQ(v, 0x00010203u);
    put16(b, 0, 0x0605);
    EXPECT_EQ(audinate_manf_versions_get_capabilities(&body, &v), AUD_SUCCESS);
    EXPECT_EQ(v, 0u);

    bytes old = build_manf(tavrin_info(0x0700));
    EXPECT_EQ(old.size(), 44u);
}

TEST(AudinateManfVersions, NewestVersionCarriesModelVersionAndItsString) {
    bytes b = build_manf(tavrin_info(0x0712));
    audinate_body body = view(b);
    uint32_t v = 0;
    const char* s = nullptr;
    EXPECT_EQ(audinate_manf_versions_get_model_version(&body, &v), AUD_SUCCESS);
    EXPECT_EQ(v, audinate_version_pack(2, 1, 5));
    EXPECT_EQ(audinate_manf_versions_get_model_version_string(&body, &s), AUD_SUCCESS);
    EXPECT_STREQ(s, "2.1.5-rc1");
}

TEST(AudinateManfVersions, NamesAreAbsentWhenEmptyOrUnterminated) {
    audinate_manf_versions_info info = tavrin_info(0x0701);
    info.manufacturer_name = "";
    std::string long_model(200, 'M');
    info.model_name = long_model.c_str();
    bytes b = build_manf(info);
    audinate_body body = view(b);
    const char* s = "x";
    EXPECT_EQ(audinate_manf_versions_get_manufacturer_name(&body, &s), AUD_SUCCESS);
    EXPECT_EQ(s, nullptr);
    // The builder cuts the name to leave its NUL inside the field.
    ASSERT_EQ(audinate_manf_versions_get_model_name(&body, &s), AUD_SUCCESS);
    EXPECT_EQ(strlen(s), 127u);
    // A field filled to its last byte has no terminator.
    memset(b.data() + 180, 'M', 128);
    EXPECT_EQ(audinate_manf_versions_get_model_name(&body, &s), AUD_ERR_INVALIDDATA);
    EXPECT_EQ(s, nullptr);
}

TEST(AudinateManfVersions, ShortBodiesReportTruncationAndNeverOverRead) {
    bytes full = build_manf(tavrin_info(0x0712));
    for (size_t n = 8; n < full.size(); ++n) {
        cut_body c(full, n);
        uint8_t id[8];
        uint32_t v = 0;
        const char* s = nullptr;
        aud_error_t e = audinate_manf_versions_get_model_id(&c.body, id);
        EXPECT_EQ(e, n >= 24 ? AUD_SUCCESS : AUD_ERR_TRUNCATED) << n;
        e = audinate_manf_versions_get_firmware_build(&c.body, &v);
        EXPECT_EQ(e, n >= 52 ? AUD_SUCCESS : AUD_ERR_TRUNCATED) << n;
        e = audinate_manf_versions_get_model_version(&c.body, &v);
        EXPECT_EQ(e, n >= 312 ? AUD_SUCCESS : AUD_ERR_TRUNCATED) << n;
        // A name whose NUL made it into the body is still readable.
        e = audinate_manf_versions_get_manufacturer_name(&c.body, &s);
        if (n > 52 + strlen("Varnoll AB")) {
            EXPECT_EQ(e, AUD_SUCCESS) << n;
            EXPECT_STREQ(s, "Varnoll AB");
        } else {
            EXPECT_NE(e, AUD_SUCCESS) << n;
            EXPECT_EQ(s, nullptr);
        }
        audinate_manf_versions_get_model_version_string(&c.body, &s);
    }
}

TEST(AudinateManfVersions, OtherTypesAndMissingArgumentsAreRefused) {
    bytes b = build_manf(tavrin_info(0x0701));
    put16(b, 2, AUDINATE_TYPE_SRATE_STATUS);
    audinate_body body = view(b);
    uint32_t v = 0;
    EXPECT_EQ(audinate_manf_versions_get_software_version(&body, &v), AUD_ERR_INVALIDDATA);
    EXPECT_EQ(audinate_manf_versions_get_software_version(nullptr, &v), AUD_ERR_INVALIDPARAMETER);
    EXPECT_EQ(audinate_manf_versions_get_software_version(&body, nullptr),
              AUD_ERR_INVALIDPARAMETER);
    bytes small(100);
    size_t n = 0;
    audinate_manf_versions_info info = tavrin_info(0x0701);
    EXPECT_EQ(audinate_build_manf_versions_status(small.data(), small.size(), &info, &n),
              AUD_ERR_NOBUFS);
}

// ---------------------------------------------------------------- SRATE / ENC

bytes build_srate(uint16_t version, uint16_t type, uint16_t count) {
    audinate_srate_status_info info{};
    info.version = version;
    info.type = type;
    info.mode = AUDINATE_SRATE_MODE_IMMEDIATE;
    info.current = 48000;
    info.reboot = 96000;
    info.available_count = count;
    for (uint16_t i = 0; i < count; ++i) {
        info.available[i] = 44100 + i;
    }
    bytes b(256);
    size_t n = 0;
    EXPECT_EQ(audinate_build_srate_status(b.data(), b.size(), &info, &n), AUD_SUCCESS);
    b.resize(n);
    return b;
}

TEST(AudinateSrateStatus, ReadsValuesModeAndList) {
    bytes b = build_srate(0x0724, AUDINATE_TYPE_SRATE_STATUS, 3);
    audinate_body body = view(b);
    uint32_t v = 0;
    uint16_t m = 0;
    EXPECT_EQ(audinate_srate_status_get_current(&body, &v), AUD_SUCCESS);
    EXPECT_EQ(v, 48000u);
    EXPECT_EQ(audinate_srate_status_get_reboot(&body, &v), AUD_SUCCESS);
    EXPECT_EQ(v, 96000u);
    EXPECT_EQ(audinate_srate_status_get_mode(&body, &m), AUD_SUCCESS);
    EXPECT_EQ(m, AUDINATE_SRATE_MODE_IMMEDIATE);
    EXPECT_EQ(audinate_srate_status_get_available_count(&body, &m), AUD_SUCCESS);
    ASSERT_EQ(m, 3);
    EXPECT_EQ(audinate_srate_status_get_available(&body, 2, &v), AUD_SUCCESS);
    EXPECT_EQ(v, 44102u);
    EXPECT_EQ(audinate_srate_status_get_available(&body, 3, &v), AUD_ERR_RANGE);
}

TEST(AudinateSrateStatus, EncodingStatusSharesTheReaders) {
    bytes b = build_srate(0x0724, AUDINATE_TYPE_ENC_STATUS, 0);
    audinate_body body = view(b);
    uint32_t v = 0;
    uint16_t count = 9;
    EXPECT_EQ(audinate_enc_status_get_current(&body, &v), AUD_SUCCESS);
    EXPECT_EQ(v, 48000u);
    EXPECT_EQ(audinate_enc_status_get_available_count(&body, &count), AUD_SUCCESS);
    EXPECT_EQ(count, 0);
    put16(b, 2, AUDINATE_TYPE_INTERFACE_STATUS);
    EXPECT_EQ(audinate_enc_status_get_current(&body, &v), AUD_ERR_INVALIDDATA);
}

TEST(AudinateSrateStatus, ModeBeforeVersion0501IsOnReboot) {
    bytes b = build_srate(0x0500, AUDINATE_TYPE_SRATE_STATUS, 1);
    put16(b, 20, AUDINATE_SRATE_MODE_FIXED);
    audinate_body body = view(b);
    uint16_t m = 9;
    EXPECT_EQ(audinate_srate_status_get_mode(&body, &m), AUD_SUCCESS);
    EXPECT_EQ(m, AUDINATE_SRATE_MODE_REBOOT);
    put16(b, 0, 0x0501);
    EXPECT_EQ(audinate_srate_status_get_mode(&body, &m), AUD_SUCCESS);
    EXPECT_EQ(m, AUDINATE_SRATE_MODE_FIXED);
}

TEST(AudinateSrateStatus, MisalignedOrMissingListOffsetMeansNoValues) {
    bytes b = build_srate(0x0724, AUDINATE_TYPE_SRATE_STATUS, 4);
    audinate_body body = view(b);
    uint16_t count = 9;
    uint32_t v = 0;
    put16(b, 8, 6);
    EXPECT_EQ(audinate_srate_status_get_available_count(&body, &count), AUD_SUCCESS);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(audinate_srate_status_get_available(&body, 0, &v), AUD_ERR_RANGE);
    put16(b, 8, 0);
    EXPECT_EQ(audinate_srate_status_get_available_count(&body, &count), AUD_SUCCESS);
    EXPECT_EQ(count, 0);
}

TEST(AudinateSrateStatus, ListRunningPastTheBodyIsTruncated) {
    bytes b = build_srate(0x0724, AUDINATE_TYPE_SRATE_STATUS, 2);
    put16(b, 10, 500);  // claims far more values than the body holds
    cut_body c(b, b.size());
    uint32_t v = 0;
    EXPECT_EQ(audinate_srate_status_get_available(&c.body, 1, &v), AUD_SUCCESS);
    EXPECT_EQ(audinate_srate_status_get_available(&c.body, 2, &v), AUD_ERR_TRUNCATED);
    EXPECT_EQ(v, 0u);
    EXPECT_EQ(audinate_srate_status_get_available(&c.body, 499, &v), AUD_ERR_TRUNCATED);
    cut_body head_only(b, 15);
    EXPECT_EQ(audinate_srate_status_get_current(&head_only.body, &v), AUD_ERR_TRUNCATED);
    uint16_t m = 0;
    EXPECT_EQ(audinate_srate_status_get_mode(&head_only.body, &m), AUD_ERR_TRUNCATED);
}

// ---------------------------------------------------------------- INTERFACE_STATUS

audinate_interface_status_info two_ports(uint16_t version, bool reboot) {
    audinate_interface_status_info info{};
    info.version = version;
    info.mode = 1;
    info.redundancy_flags = AUDINATE_SWITCH_REDUNDANCY | AUDINATE_SWITCH_REDUNDANCY_REBOOT;
    info.port_count = 2;
    info.with_reboot_records = reboot;
    for (int i = 0; i < 2; ++i) {
        audinate_port_info& p = info.ports[i];
        p.link_speed = i ? 0 : 1000;
        p.flags = i ? AUDINATE_PORT_STATIC : AUDINATE_PORT_UP | AUDINATE_PORT_DHCP_DISABLED;
        for (int k = 0; k < 6; ++k) {
            p.mac[k] = static_cast<uint8_t>(0x10 * i + k);
        }
        p.ip = ip(i ? "169.254.2.2" : "169.254.1.1");
        p.netmask = ip("255.255.0.0");
        p.dns_server = ip("169.254.0.53");
        p.gateway = ip("169.254.0.1");
        p.reboot_flags = i ? 0 : AUDINATE_PORT_REBOOT_CONFIG | AUDINATE_PORT_STATIC;
        p.reboot_ip = ip("10.0.0.5");
        p.reboot_netmask = ip("255.0.0.0");
        p.reboot_dns_server = ip("10.0.0.53");
        p.reboot_gateway = ip("10.0.0.1");
        p.domain_name = i ? nullptr : "stage.local";
        p.reboot_domain_name = i ? nullptr : "hall.example";
    }
    return info;
}

bytes build_interfaces(const audinate_interface_status_info& info) {
    bytes b(1448);
    size_t n = 0;
    EXPECT_EQ(audinate_build_interface_status(b.data(), b.size(), &info, &n), AUD_SUCCESS);
    b.resize(n);
    return b;
}

TEST(AudinateInterfaceStatus, ReadsPortsAndTheirAddresses) {
    bytes b = build_interfaces(two_ports(0x0724, false));
    audinate_body body = view(b);
    uint16_t u = 0;
    EXPECT_EQ(audinate_interface_status_get_port_count(&body, &u), AUD_SUCCESS);
    EXPECT_EQ(u, 2);
    EXPECT_EQ(audinate_interface_status_get_mode(&body, &u), AUD_SUCCESS);
    EXPECT_EQ(u, 1);
    audinate_port port{};
    ASSERT_EQ(audinate_interface_status_get_port(&body, 1, &port), AUD_SUCCESS);
    uint32_t v = 0;
    uint8_t mac[6];
    EXPECT_EQ(audinate_port_get_flags(&body, &port, &u), AUD_SUCCESS);
    EXPECT_EQ(u, AUDINATE_PORT_STATIC);
    EXPECT_EQ(audinate_port_get_link_speed(&body, &port, &v), AUD_SUCCESS);
    EXPECT_EQ(v, 0u);
    EXPECT_EQ(audinate_port_get_mac(&body, &port, mac), AUD_SUCCESS);
    EXPECT_EQ(mac[0], 0x10);
    EXPECT_EQ(mac[5], 0x15);
    EXPECT_EQ(audinate_port_get_ip(&body, &port, &v), AUD_SUCCESS);
    EXPECT_EQ(v, ip("169.254.2.2"));
    EXPECT_EQ(audinate_port_get_netmask(&body, &port, &v), AUD_SUCCESS);
    EXPECT_EQ(v, ip("255.255.0.0"));
    EXPECT_EQ(audinate_port_get_dns_server(&body, &port, &v), AUD_SUCCESS);
    EXPECT_EQ(v, ip("169.254.0.53"));
    EXPECT_EQ(audinate_port_get_gateway(&body, &port, &v), AUD_SUCCESS);
    EXPECT_EQ(v, ip("169.254.0.1"));
    ASSERT_EQ(audinate_interface_status_get_port(&body, 0, &port), AUD_SUCCESS);
    EXPECT_EQ(audinate_port_get_link_speed(&body, &port, &v), AUD_SUCCESS);
    EXPECT_EQ(v, 1000u);
    EXPECT_EQ(audinate_interface_status_get_port(&body, 2, &port), AUD_ERR_RANGE);
}

TEST(AudinateInterfaceStatus, VersionGatesModeAndRedundancy) {
    bytes b = build_interfaces(two_ports(0x0602, false));
    audinate_body body = view(b);
    uint16_t u = 0;
    EXPECT_EQ(audinate_interface_status_get_redundancy_flags(&body, &u), AUD_SUCCESS);
    EXPECT_EQ(u, 3);
    put16(b, 0, 0x0601);
    EXPECT_EQ(audinate_interface_status_get_redundancy_flags(&body, &u), AUD_SUCCESS);
    EXPECT_EQ(u, 0);
    EXPECT_EQ(audinate_interface_status_get_mode(&body, &u), AUD_SUCCESS);
    EXPECT_EQ(u, 1);
    put16(b, 0, 0x0200);
    EXPECT_EQ(audinate_interface_status_get_mode(&body, &u), AUD_SUCCESS);
    EXPECT_EQ(u, 0);
}

TEST(AudinateInterfaceStatus, RebootRecordsWithDomainNames) {
    bytes b = build_interfaces(two_ports(0x070B, true));
    audinate_body body = view(b);
    audinate_port port{};
    audinate_reboot_record rec{};
    ASSERT_EQ(audinate_interface_status_get_port(&body, 0, &port), AUD_SUCCESS);
    ASSERT_EQ(audinate_interface_status_get_reboot_record(&body, &port, &rec), AUD_SUCCESS);
    ASSERT_TRUE(rec.present);
    int yes = 0;
    uint32_t v = 0;
    const char* s = nullptr;
    EXPECT_EQ(audinate_reboot_has_config(&body, &rec, &yes), AUD_SUCCESS);
    EXPECT_TRUE(yes);
    EXPECT_EQ(audinate_reboot_get_ip(&body, &rec, &v), AUD_SUCCESS);
    EXPECT_EQ(v, ip("10.0.0.5"));
    EXPECT_EQ(audinate_reboot_get_netmask(&body, &rec, &v), AUD_SUCCESS);
    EXPECT_EQ(v, ip("255.0.0.0"));
    EXPECT_EQ(audinate_reboot_get_dns_server(&body, &rec, &v), AUD_SUCCESS);
    EXPECT_EQ(v, ip("10.0.0.53"));
    EXPECT_EQ(audinate_reboot_get_gateway(&body, &rec, &v), AUD_SUCCESS);
    EXPECT_EQ(v, ip("10.0.0.1"));
    EXPECT_EQ(audinate_reboot_get_port_domain_name(&body, &rec, &s), AUD_SUCCESS);
    EXPECT_STREQ(s, "stage.local");
    EXPECT_EQ(audinate_reboot_get_reboot_domain_name(&body, &rec, &s), AUD_SUCCESS);
    EXPECT_STREQ(s, "hall.example");

    ASSERT_EQ(audinate_interface_status_get_port(&body, 1, &port), AUD_SUCCESS);
    ASSERT_EQ(audinate_interface_status_get_reboot_record(&body, &port, &rec), AUD_SUCCESS);
    ASSERT_TRUE(rec.present);
    EXPECT_EQ(audinate_reboot_has_config(&body, &rec, &yes), AUD_SUCCESS);
    EXPECT_FALSE(yes);
    EXPECT_EQ(audinate_reboot_get_port_domain_name(&body, &rec, &s), AUD_SUCCESS);
    EXPECT_EQ(s, nullptr);

    // Before 0x070B there are no domain names; before 0x0600 no reboot-config bit.
    put16(b, 0, 0x070A);
    ASSERT_EQ(audinate_interface_status_get_port(&body, 0, &port), AUD_SUCCESS);
    ASSERT_EQ(audinate_interface_status_get_reboot_record(&body, &port, &rec), AUD_SUCCESS);
    EXPECT_EQ(audinate_reboot_get_port_domain_name(&body, &rec, &s), AUD_SUCCESS);
    EXPECT_EQ(s, nullptr);
    put16(b, 0, 0x05FF);
    EXPECT_EQ(audinate_reboot_has_config(&body, &rec, &yes), AUD_SUCCESS);
    EXPECT_FALSE(yes);
}

TEST(AudinateInterfaceStatus, NoRebootRecordWhenOffsetOrSizeIsZero) {
    bytes b = build_interfaces(two_ports(0x070B, true));
    audinate_body body = view(b);
    const size_t t = 12 + 28 * 2;
    audinate_port port{};
    audinate_reboot_record rec{};
    ASSERT_EQ(audinate_interface_status_get_port(&body, 0, &port), AUD_SUCCESS);
    put16(b, t + 2, 0);
    EXPECT_EQ(audinate_interface_status_get_reboot_record(&body, &port, &rec), AUD_SUCCESS);
    EXPECT_FALSE(rec.present);
    uint32_t v = 5;
    EXPECT_EQ(audinate_reboot_get_ip(&body, &rec, &v), AUD_ERR_INVALIDPARAMETER);
    EXPECT_EQ(v, 0u);

    bytes plain = build_interfaces(two_ports(0x070B, false));
    audinate_body pb = view(plain);
    ASSERT_EQ(audinate_interface_status_get_port(&pb, 1, &port), AUD_SUCCESS);
    EXPECT_EQ(audinate_interface_status_get_reboot_record(&pb, &port, &rec), AUD_SUCCESS);
    EXPECT_FALSE(rec.present);
}

TEST(AudinateInterfaceStatus, BadDomainNameOffsetsGiveNoName) {
    bytes b = build_interfaces(two_ports(0x070B, true));
    audinate_body body = view(b);
    audinate_port port{};
    audinate_reboot_record rec{};
    ASSERT_EQ(audinate_interface_status_get_port(&body, 0, &port), AUD_SUCCESS);
    ASSERT_EQ(audinate_interface_status_get_reboot_record(&body, &port, &rec), AUD_SUCCESS);
    const char* s = "x";
    put16(b, rec.offset + 20, static_cast<uint16_t>(b.size()));  // just outside
    EXPECT_EQ(audinate_reboot_get_port_domain_name(&body, &rec, &s), AUD_SUCCESS);
    EXPECT_EQ(s, nullptr);
    // The last byte of the body is not a NUL: a string starting there never ends.
    b.back() = 'z';
    put16(b, rec.offset + 22, static_cast<uint16_t>(b.size() - 1));
    cut_body c(b, b.size());
    EXPECT_EQ(audinate_reboot_get_reboot_domain_name(&c.body, &rec, &s), AUD_SUCCESS);
    EXPECT_EQ(s, nullptr);
}

TEST(AudinateInterfaceStatus, ShortBodiesReportTruncationAndNeverOverRead) {
    bytes full = build_interfaces(two_ports(0x0724, true));
    for (size_t n = 8; n < full.size(); ++n) {
        cut_body c(full, n);
        uint16_t u = 0;
        uint32_t v = 0;
        const char* s = nullptr;
        audinate_port port{};
        audinate_reboot_record rec{};
        audinate_interface_status_get_port_count(&c.body, &u);
        audinate_interface_status_get_mode(&c.body, &u);
        aud_error_t e = audinate_interface_status_get_redundancy_flags(&c.body, &u);
        EXPECT_EQ(e, n >= 12 + 56 + 6 ? AUD_SUCCESS : AUD_ERR_TRUNCATED) << n;
        e = audinate_interface_status_get_port(&c.body, 1, &port);
        EXPECT_EQ(e, n >= 12 + 56 ? AUD_SUCCESS : (n >= 10 ? AUD_ERR_TRUNCATED : e)) << n;
        if (e != AUD_SUCCESS) {
            continue;
        }
        audinate_port_get_gateway(&c.body, &port, &v);
        e = audinate_interface_status_get_reboot_record(&c.body, &port, &rec);
        if (e == AUD_SUCCESS && rec.present) {
            audinate_reboot_get_gateway(&c.body, &rec, &v);
            audinate_reboot_get_port_domain_name(&c.body, &rec, &s);
            audinate_reboot_get_reboot_domain_name(&c.body, &rec, &s);
        } else {
            EXPECT_FALSE(rec.present);
        }
    }
}

TEST(AudinateInterfaceStatus, BuilderRefusesTooManyPortsAndSmallBuffers) {
    audinate_interface_status_info info = two_ports(0x0724, true);
    bytes b(40);
    size_t n = 0;
    EXPECT_EQ(audinate_build_interface_status(b.data(), b.size(), &info, &n), AUD_ERR_NOBUFS);
    info.port_count = AUDINATE_INTERFACE_MAX_BUILD_PORTS + 1;
    b.resize(1448);
    EXPECT_EQ(audinate_build_interface_status(b.data(), b.size(), &info, &n),
              AUD_ERR_INVALIDPARAMETER);
}

}  // namespace

// ---------------------------------------------------------------- whole-body reads

namespace {

TEST(AudinateRoundTrip, ManufacturerStatusReadsBackWhatWasBuilt) {
    audinate_manf_versions_info in = tavrin_info(0x0712);
    bytes b = build_manf(in);
    audinate_body body = view(b);
    audinate_manf_versions_info out{};
    ASSERT_EQ(audinate_read_manf_versions_status(&body, &out), AUD_SUCCESS);
    EXPECT_EQ(out.version, 0x0712);
    EXPECT_EQ(memcmp(out.model_id, in.model_id, 8), 0);
    EXPECT_EQ(out.firmware_version, in.firmware_version);
    EXPECT_EQ(out.firmware_build, in.firmware_build);
    EXPECT_STREQ(out.manufacturer_name, "Varnoll AB");
    EXPECT_STREQ(out.model_name, "TAVRIN-PA22");
    EXPECT_EQ(out.model_version, in.model_version);
    EXPECT_STREQ(out.model_version_string, "2.1.5-rc1");

    cut_body c(b, 58);  // inside the manufacturer name: it is not terminated
    EXPECT_EQ(audinate_read_manf_versions_status(&c.body, &out), AUD_ERR_INVALIDDATA);
    EXPECT_STREQ(out.manufacturer_name, nullptr);
    EXPECT_EQ(out.software_build, 512u);  // what the body holds is still read
}

TEST(AudinateRoundTrip, RateStatusReadsBackWhatWasBuilt) {
    bytes b = build_srate(0x0724, AUDINATE_TYPE_ENC_STATUS, 3);
    audinate_body body = view(b);
    audinate_srate_status_info out{};
    ASSERT_EQ(audinate_read_srate_status(&body, &out), AUD_SUCCESS);
    EXPECT_EQ(out.type, AUDINATE_TYPE_ENC_STATUS);
    EXPECT_EQ(out.mode, AUDINATE_SRATE_MODE_IMMEDIATE);
    EXPECT_EQ(out.current, 48000u);
    ASSERT_EQ(out.available_count, 3);
    EXPECT_EQ(out.available[2], 44102u);
    cut_body c(b, b.size() - 2);
    EXPECT_EQ(audinate_read_srate_status(&c.body, &out), AUD_ERR_TRUNCATED);
    EXPECT_EQ(out.available_count, 2);
}

TEST(AudinateRoundTrip, InterfaceStatusReadsBackWhatWasBuilt) {
    audinate_interface_status_info in = two_ports(0x070B, true);
    bytes b = build_interfaces(in);
    audinate_body body = view(b);
    audinate_interface_status_info out{};
    ASSERT_EQ(audinate_read_interface_status(&body, &out), AUD_SUCCESS);
    EXPECT_EQ(out.port_count, 2);
    EXPECT_EQ(out.mode, 1);
    EXPECT_EQ(out.redundancy_flags, 3);
    EXPECT_TRUE(out.with_reboot_records);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(out.ports[i].link_speed, in.ports[i].link_speed);
        EXPECT_EQ(out.ports[i].flags, in.ports[i].flags);
        EXPECT_EQ(memcmp(out.ports[i].mac, in.ports[i].mac, 6), 0);
        EXPECT_EQ(out.ports[i].ip, in.ports[i].ip);
        EXPECT_EQ(out.ports[i].gateway, in.ports[i].gateway);
        EXPECT_EQ(out.ports[i].reboot_flags, in.ports[i].reboot_flags);
        EXPECT_EQ(out.ports[i].reboot_gateway, in.ports[i].reboot_gateway);
    }
    EXPECT_STREQ(out.ports[0].domain_name, "stage.local");
    EXPECT_STREQ(out.ports[0].reboot_domain_name, "hall.example");
    EXPECT_EQ(out.ports[1].domain_name, nullptr);
}

}  // namespace
