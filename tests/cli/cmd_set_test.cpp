// tavrin-cli set and show: the words set refuses before anything is sent, and the
// setting lines and JSON that show prints.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "cli/cli_args.h"
#include "cli/cli_command.h"
#include "cli/cli_output.h"
#include "cli/exit_codes.h"
#include "pages/settings.h"
#include "tests/support/lab_exec.h"

namespace tavrin::cli {
namespace {

int run_set(std::vector<std::string> words) {
    return find_command("set")->run(global_options{}, words);
}

TEST(cli_set, unusable_words_are_refused_before_anything_is_sent) {
    const std::vector<std::vector<std::string>> refused = {
        {},
        {"Amp-1"},
        {"master=50"},
        {"Amp-1", "bogus=1"},
        {"Amp-1", "master=loud"},
        {"Amp-1", "route=ch3"},
        {"Amp-1", "master=50", "master=60"},
        {"Amp-1", "master"},
        {"Amp-1,,Amp-2", "mute=on"},
        {"Amp-1,", "mute=on"},
        {"--all", "Amp-1", "mute=on"},
        {"Amp-1", "--all", "mute=on"},
        {"Amp-1", "Amp-2", "mute=on"},
        {"Amp-1", "--fast", "mute=on"},
        {"An-amplifier-name-of-32-letters!", "mute=on"},
    };
    for (const auto& words : refused) {
        std::string joined;
        for (const std::string& w : words)
            joined += w + " ";
        EXPECT_EQ(run_set(words), exit_bad_arguments) << joined;
    }
}

// --names lists the settings and takes nothing else.
TEST(cli_set, names_alone_lists_every_setting_in_aligned_columns) {
    for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
             {"Amp-1", "master=5", "--names"}, {"--names", "extra"}, {"--names", "--all"}})
        EXPECT_EQ(run_set(words), exit_bad_arguments) << words[0] << " " << words[1];

    ::testing::internal::CaptureStdout();
    EXPECT_EQ(run_set({"--names"}), exit_done);
    std::istringstream out(::testing::internal::GetCapturedStdout());
    // Every column starts where it starts on the first line, whatever the unit ("dB/oct").
    size_t unit_at = 0, step_at = 0, range_at = 0, lines = 0;
    for (std::string line; std::getline(out, line); ++lines) {
        const setting_def* def = find_setting(line.substr(0, line.find(' ')));
        ASSERT_NE(def, nullptr) << line;
        if (lines == 0) {
            unit_at = line.find(def->unit, def->name.size());
            step_at = line.find(def->step, unit_at + def->unit.size());
            range_at = line.size() - def->range.size();
        }
        EXPECT_EQ(line.substr(unit_at, def->unit.size()), def->unit) << line;
        EXPECT_EQ(line.substr(step_at, def->step.size()), def->step) << line;
        EXPECT_EQ(line.substr(range_at), def->range) << line;
    }
    EXPECT_EQ(lines, all_settings().size());
}

// Characters count, not bytes, as in the window: 16 accented letters are 32 bytes.
TEST(cli_set, device_names_are_counted_in_characters) {
    std::string name;
    for (int i = 0; i < 16; ++i)
        name += "\xc3\xa9";
    EXPECT_EQ(check_device_name(name), "");
    EXPECT_NE(check_device_name(name + name), "");
}

param_block sample_block() {
    amp_params p;
    p.set_master_volume(36);
    p.set_gain(amp_channel::ch1, 213);
    p.set_route(4);
    p.set_speaker_impedance(8);
    p.set_limiter_value(limiter_set::ohm8, amp_channel::ch1, limiter_item::ratio, 250);
    p.set_power_source(0x87);  // a class this tool does not know
    return p.snapshot();
}

TEST(cli_show, json_carries_the_settings_and_the_fields) {
    amp_params p;
    p.replace(sample_block());
    const std::string json = show_json(" Model: RQ417\n", {"Amp-1", "TAVRIN-PA22", "21.11.17.01"},
                                       p.snapshot(), p.list_fields());
    EXPECT_EQ(json.rfind("{\"info\": \" Model: RQ417\\n\", \"device\": \"Amp-1\", "
                         "\"model\": \"TAVRIN-PA22\", \"firmware\": \"21.11.17.01\", "
                         "\"settings\": {\"master\": 72, ",
                         0),
              0u)
        << json;
    for (const char* part :
         {"\"route\": \"swap\"", "\"ch1.limiter.ratio\": 2.5,", "\"ch1.level\": -3.7,",
          "\"speaker\": 8,", "\"ch1.hpf.slope\": 12,", "\"power.class\": null,",
          "}, \"fields\": {\"master_volume\": 36, ", "\"peq_ch1_gain\": [0, 0, 0, 0, 0], "})
        EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
    EXPECT_EQ(json.substr(json.size() - 3), "}}\n");
}

TEST(cli_show, json_keeps_utf8_names_whole_and_refusals_are_objects_too) {
    // The information text is UTF-8 (a device name, a Latin-1 location made UTF-8);
    // a byte that starts no character cannot pass into JSON as it is.
    amp_params p;
    const char location[] = "St\xe9";
    p.set_location(reinterpret_cast<const uint8_t*>(location), 3);
    const std::string json = show_json(" Device Name: Zo\xc3\xab Amp\n Location: \xff\xe9!",
                                       {"Zo\xc3\xab Amp", "", ""}, p.snapshot(), p.list_fields());
    EXPECT_EQ(
        json.rfind("{\"info\": \" Device Name: Zo\xc3\xab Amp\\n Location: "
                   "\xef\xbf\xbd\xef\xbf\xbd!\", \"device\": \"Zo\xc3\xab Amp\", \"model\": null, "
                   "\"firmware\": null, ",
                   0),
        0u)
        << json;
    EXPECT_NE(json.find("\"location\": \"St\xc3\xa9\""), std::string::npos) << json;

    EXPECT_EQ(show_error_json({"Nobody", "", ""}, "Nobody: no such device on the network", 7),
              "{\"device\": \"Nobody\", \"model\": null, \"error\": \"Nobody: no such device on "
              "the network\", \"exit\": 7}\n");
    // A refused firmware names the date that caused it.
    amp_params old;
    old.set_fw_date(21, 11, 17, 0);
    EXPECT_EQ(firmware_date_text(old.snapshot()), "21.11.17.00");
    EXPECT_EQ(show_error_json({"Amp-Old", "TAVRIN-PA22", "21.11.17.00"}, "Firmware Version Error",
                              3, "Firmware Version Error"),
              "{\"device\": \"Amp-Old\", \"model\": \"TAVRIN-PA22\", \"error\": \"Firmware "
              "Version Error\", \"exit\": 3, \"info\": \"Firmware Version Error\", "
              "\"firmware\": \"21.11.17.00\"}\n");
}

// The source tree: TAVRIN_SOURCE_DIR, or two folders above the build folder
// (build/<preset>/tests/<exe>).
std::string source_dir() {
    char exe[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    const std::string build =
        testing::lab_parent(testing::lab_parent(std::string(exe, n > 0 ? n : 0)));
    return testing::lab_env_or("TAVRIN_SOURCE_DIR",
                               testing::lab_parent(testing::lab_parent(build)));
}

// docs/cli.md lists every setting name and the step of each.
TEST(cli_docs, every_setting_is_documented) {
    const std::string docs = source_dir() + "/docs/cli.md";
    std::ifstream in(docs);
    ASSERT_TRUE(in) << docs;
    std::stringstream text;
    text << in.rdbuf();
    // What the Parametric EQ and Filter pages show for an amplifier already in PBTL.
    std::string flowing = text.str();
    std::replace(flowing.begin(), flowing.end(), '\n', ' ');
    EXPECT_NE(flowing.find("changes to CH 2 only when \"PBTL Mode\" is switched on there"),
              std::string::npos);
    for (const setting_def& def : all_settings()) {
        EXPECT_NE(text.str().find("`" + def.name + "`"), std::string::npos) << def.name;
        if (!def.step.empty()) {
            EXPECT_NE(text.str().find("| " + def.step + " |"), std::string::npos) << def.name;
        }
    }
}

// --help and docs/cli.md list every exit code.
TEST(cli_docs, every_exit_code_is_documented) {
    std::ifstream in(source_dir() + "/docs/cli.md");
    ASSERT_TRUE(in);
    std::stringstream docs;
    docs << in.rdbuf();
    const std::string usage = usage_text();
    for (int code :
         {exit_done, exit_differs, exit_no_answer, exit_firmware_gate, exit_disagrees,
          exit_update_failed, exit_update_timeout, exit_no_such_device, exit_not_an_amplifier,
          exit_unreachable, exit_bad_arguments, exit_bad_input_file, exit_output_failed}) {
        const std::string n = std::to_string(code);
        EXPECT_NE(docs.str().find("\n| " + n + " | "), std::string::npos) << code;
        EXPECT_TRUE(usage.find("  " + n + " ") != std::string::npos ||
                    usage.find(", " + n + " ") != std::string::npos)
            << code;
    }
}

}  // namespace
}  // namespace tavrin::cli
