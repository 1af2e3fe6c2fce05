#include "sim/lab_config.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "sim/conmon_server_registry.h"
#include "sim/device_host.h"
#include "sim/device_ports.h"
#include "sim/dnssd_publisher.h"

namespace tavrin::sim {
namespace {

TEST(lab_config, parses_devices_comments_and_firmware) {
    lab_config_result r = parse_lab_config(
        "# the default lab\n"
        "Amp-1 | amp | Varnoll AB | TAVRIN-PA22 | 21.11.17.1\n"
        "\n"
        "Amp-Old|amp|Varnoll AB|TAVRIN-PA22|21.11.17.0   # old firmware\n"
        "Stagebox-1 | device | Other Audio | SB-8 |\n"
        "Plain | device | X | Y\n");
    ASSERT_EQ(r.error, "");
    ASSERT_EQ(r.devices.size(), 4u);
    EXPECT_TRUE(r.devices[0].amplifier);
    EXPECT_EQ(r.devices[1].name, "Amp-Old");
    EXPECT_EQ(r.devices[1].firmware.hour, 0);
    EXPECT_EQ(r.devices[1].firmware.day, 17);
    EXPECT_FALSE(r.devices[2].amplifier);
    EXPECT_EQ(r.devices[2].manufacturer, "Other Audio");
}

TEST(lab_config, device_ports_come_back_as_written_and_bad_lines_are_skipped) {
    char dir[] = "/tmp/tavrin-ports-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/ports";
    EXPECT_TRUE(read_device_ports(path).empty());  // no file yet: new ports

    std::map<std::string, device_ports> ports{{"Amp 1", {40001, 40002}}, {"Amp-2", {65535, 1}}};
    ASSERT_TRUE(write_device_ports(path, ports));
    auto back = read_device_ports(path);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back["Amp 1"].conmon, 40001);
    EXPECT_EQ(back["Amp 1"].arcp, 40002);
    EXPECT_EQ(back["Amp-2"].conmon, 65535);

    std::ofstream(path) << "70000 1 Big\n0 5 Zero\n12 x Word\n12 13\n12 13Glued\n7 8 Kept\n";
    back = read_device_ports(path);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back["Kept"].arcp, 8);

    // The folder gone: nothing written, and no half file left behind.
    std::remove(path.c_str());
    ::rmdir(dir);
    EXPECT_FALSE(write_device_ports(path, ports));
}

TEST(lab_config, rejects_bad_lines_with_their_number) {
    EXPECT_EQ(parse_lab_config("A | amp | M | X | 21.13.01.00\n").error.rfind("line 1", 0), 0u);
    EXPECT_NE(parse_lab_config("ok | amp | M | X\nB | speaker | M | X\n").error.find("line 2"),
              std::string::npos);
    EXPECT_NE(parse_lab_config("A | amp | M | X\nA | amp | M | X\n").error.find("twice"),
              std::string::npos);
    EXPECT_NE(parse_lab_config("Name.With.Dots | amp | M | X\n").error, "");
    EXPECT_NE(parse_lab_config(std::string(32, 'x') + " | amp | M | X\n").error, "");
    EXPECT_NE(parse_lab_config("A | amp\n").error, "");
    EXPECT_EQ(parse_lab_config("# nothing\n").error, "no devices");
    lab_firmware f;
    EXPECT_FALSE(parse_lab_firmware({"21", "11", "17", "24"}, f));
    EXPECT_FALSE(parse_lab_firmware({"256.1.1.1"}, f));
    EXPECT_TRUE(parse_lab_firmware({"22", "1", "2", "3"}, f));
    EXPECT_EQ(f.year, 22);
}

TEST(lab_config, names_may_hold_blanks_and_non_ascii_characters) {
    lab_config_result r = parse_lab_config("  Zoë Amp 2  | amp | Varnoll AB | TAVRIN-PA22\n");
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.devices[0].name, "Zoë Amp 2");
    // The limit is the DNS-SD label's: 31 bytes, whatever the characters.
    EXPECT_NE(
        parse_lab_config(std::string(16, '\xC3') + std::string(16, '\xA9') + " | amp | M | X\n")
            .error,
        "");
}

TEST(lab_ctl, words_carry_blanks_backslashes_and_other_bytes) {
    for (const std::string word : {"Zoë Amp 2", "a\\b", "tab\there", "plain", ""}) {
        const std::string escaped = escape_ctl_word(word);
        EXPECT_EQ(escaped.find(' '), std::string::npos) << word;
        EXPECT_EQ(unescape_ctl_word(escaped), word);
    }
    EXPECT_EQ(escape_ctl_word("A b"), "A\\032b");
    // As avahi-browse prints names: decimal escapes and escaped punctuation.
    EXPECT_EQ(unescape_ctl_word("Zo\\195\\171\\032Amp\\.2"), "Zoë Amp.2");
    EXPECT_EQ(unescape_ctl_word("trailing\\"), "trailing\\");
}

TEST(lab_names, a_name_in_use_gives_way_to_a_dante_name_of_its_own) {
    EXPECT_EQ(alternative_device_name("amp-1", 2), "amp-1-2");
    EXPECT_EQ(alternative_device_name("amp-1", 10), "amp-1-10");
    // Cut to 31 characters, never leaving a hyphen before the suffix's own.
    EXPECT_EQ(alternative_device_name(std::string(31, 'a'), 2), std::string(29, 'a') + "-2");
    EXPECT_EQ(alternative_device_name(std::string(28, 'a') + "-bc", 2),
              std::string(28, 'a') + "-2");
}

TEST(lab_txt, instance_id_round_trips_through_the_txt_record) {
    std::vector<uint8_t> txt =
        build_txt_record({{"id", "001DC1FFFE0a0b0c"}, {"process", "10"}, {"mf", "_00"}});
    conmon_instance_id_t id{};
    ASSERT_TRUE(parse_instance_txt(txt.data(), txt.size(), id));
    EXPECT_EQ(id.device_id[0], 0x00);
    EXPECT_EQ(id.device_id[1], 0x1D);
    EXPECT_EQ(id.device_id[7], 0x0C);
    EXPECT_EQ(id.process_id, 10);

    for (const txt_entries& bad : std::vector<txt_entries>{
             {{"id", "001dc1fffe0a0b0"}, {"process", "10"}},      // 15 digits
             {{"id", "001dc1fffe0a0b0g"}, {"process", "10"}},     // not hex
             {{"id", "001dc1fffe0a0b0c"}, {"process", "70000"}},  // above 16 bits
             {{"id", "001dc1fffe0a0b0c"}},                        // no process
         }) {
        std::vector<uint8_t> t = build_txt_record(bad);
        EXPECT_FALSE(parse_instance_txt(t.data(), t.size(), id));
    }
    // A length byte that runs past the record.
    const uint8_t cut[] = {40, 'i', 'd', '='};
    EXPECT_FALSE(parse_instance_txt(cut, sizeof cut, id));
}

}  // namespace
}  // namespace tavrin::sim
