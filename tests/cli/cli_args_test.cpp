// The command line of tavrin-cli and what it prints.
#include <gtest/gtest.h>

#include "app/startup_args.h"
#include "cli/cli_args.h"
#include "cli/cli_output.h"
#include "cli/exit_codes.h"
#include "resources/version_record.h"

namespace tavrin::cli {
namespace {

bool only_1_to_4(uint32_t index) {
    return index >= 1 && index <= 4;
}

command_line parse(std::vector<std::string> words) {
    return parse_command_line(words, only_1_to_4);
}

// Runs a command with words that must be refused before anything is sent.
int refused(const char* command, std::vector<std::string> words) {
    return find_command(command)->run(global_options{}, words);
}

TEST(cli_args, options_before_the_command) {
    command_line a = parse({"--iface", "2,3", "show", "Amp-1", "--json"});
    EXPECT_EQ(a.command, "show");
    EXPECT_EQ(a.words, (std::vector<std::string>{"Amp-1", "--json"}));
    EXPECT_EQ(a.options.primary, 2u);
    EXPECT_EQ(a.options.secondary, 3u);
    a = parse({"--iface", "4", "-v", "watch", "Amp-1"});
    EXPECT_EQ(a.options.primary, 4u);
    EXPECT_EQ(a.options.secondary, 0u);
    EXPECT_TRUE(a.options.verbose);

    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_TRUE(parse({"--version"}).version);
    a = parse({"show", "--help"});
    EXPECT_TRUE(wants_help(a.words));
    EXPECT_TRUE(a.error.empty());
    EXPECT_NE(command_usage(*find_command("show")).find("show NAME [--raw] [--json]"),
              std::string::npos);
    EXPECT_EQ(version_text().rfind("tavrin-cli ", 0), 0u);
    // The overall usage lists every command and every exit status.
    const std::string usage = usage_text();
    for (const cli_command& c : cli_commands())
        EXPECT_NE(usage.find("  " + std::string(c.name) + " "), std::string::npos) << c.name;
    EXPECT_NE(usage.find("65 bad input file"), std::string::npos);
}

// Both programs say the version record (the package and its AppStream metadata
// carry the same product version: tests/package/package_test.sh).
TEST(cli_args, both_programs_say_the_version_record) {
    EXPECT_STREQ(version_record::file_version, "21.11.17.1");
    EXPECT_STREQ(version_record::product_version, "3.0.0.1");
    EXPECT_STREQ(version_record::file_description, "TAVRIN-PA22 Config Tool");
    EXPECT_STREQ(version_record::product_name, "TAVRIN-PA22");
    const std::string record =
        "TAVRIN-PA22 Config Tool, file version 21.11.17.1, product TAVRIN-PA22 3.0.0.1";
    EXPECT_EQ(version_text(), "tavrin-cli 3.0.0.1\n" + record + "\n");
    EXPECT_EQ(tavrin::version_text(), "tavrin-config 3.0.0.1 (V3.0R1)\n" + record);
}

TEST(cli_args, clear_errors) {
    const auto error_of = [](std::vector<std::string> words) { return parse(words).error; };
    EXPECT_EQ(error_of({}).rfind("no command given (discover, set, show", 0), 0u);
    EXPECT_EQ(error_of({"connect", "Amp-1"}).rfind("unknown command 'connect' (discover", 0), 0u);
    EXPECT_EQ(error_of({"--iface", "x", "discover"}),
              "bad interface number in 'x': give P or P,S as whole numbers");
    EXPECT_NE(error_of({"--iface", "-1", "discover"}), "");
    EXPECT_NE(error_of({"--iface", "1,", "discover"}), "");
    EXPECT_EQ(error_of({"--iface", "9", "discover"}), "no network interface with index 9");
    EXPECT_EQ(error_of({"--iface", "1,9", "discover"}), "no network interface with index 9");
    EXPECT_NE(error_of({"--iface"}), "");
    EXPECT_EQ(error_of({"--frobnicate", "discover"}), "unknown option '--frobnicate'");

    EXPECT_EQ(check_device_name(std::string(32, 'a')),
              "device name '" + std::string(32, 'a') + "' is longer than 31 characters");
    EXPECT_EQ(check_device_name(std::string(31, 'a')), "");
}

TEST(cli_args, commands_refuse_bad_words_before_sending_anything) {
    EXPECT_EQ(refused("show", {}), exit_bad_arguments);
    EXPECT_EQ(refused("show", {std::string(32, 'a')}), exit_bad_arguments);
    EXPECT_EQ(refused("show", {"A", "B"}), exit_bad_arguments);
    EXPECT_EQ(refused("discover", {"--json"}), exit_bad_arguments);
    EXPECT_EQ(refused("discover", {"--brand", "Varnoll"}), exit_bad_arguments);
    EXPECT_EQ(refused("discover", {"--brand"}), exit_bad_arguments);
    EXPECT_EQ(refused("watch", {"A", "--seconds", "ten"}), exit_bad_arguments);
    EXPECT_EQ(refused("watch", {}), exit_bad_arguments);
}

// One rule for every command: a word that starts with "-" is an option (unknown ones
// refused), "--" ends the options and every word after it is an argument.
TEST(cli_args, words_starting_with_a_dash_are_options_until_a_double_dash) {
    std::vector<std::string> args;
    EXPECT_EQ(read_words("location", {"Amp-1", "-x"}, args), "unknown option '-x' for location");
    EXPECT_EQ(read_words("location", {"-"}, args), "unknown option '-' for location");
    EXPECT_EQ(read_words("location", {"Amp-1", "--", "-x"}, args), "");
    EXPECT_EQ(args, (std::vector<std::string>{"Amp-1", "-x"}));
    bool yes = false;
    EXPECT_EQ(read_words("preset", {"--", "--yes", "--"}, args, switches({{"--yes", &yes}})), "");
    EXPECT_EQ(args, (std::vector<std::string>{"--yes", "--"}));
    EXPECT_FALSE(yes);
    EXPECT_TRUE(wants_help({"Amp-1", "-h"}));
    EXPECT_FALSE(wants_help({"Amp-1", "--", "-h"}));

    // Every command refuses an option it does not know, by that name.
    for (const cli_command& c : cli_commands()) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(c.run(global_options{}, {"-x"}), exit_bad_arguments) << c.name;
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("unknown option '-x'"), std::string::npos) << c.name << ": " << err;
    }
}

// The shared reader of NAME and options: each fault named, an option's value taken
// with it, and a value that looks like an option still read as that value.
TEST(cli_args, one_device_name_and_the_command_options) {
    size_t seconds_at = 0;
    const option_reader seconds = [&](const std::vector<std::string>& ws,
                                      size_t& i) -> std::optional<std::string> {
        if (ws[i] != "--seconds")
            return std::nullopt;
        if (++i >= ws.size())
            return "--seconds needs a value";
        seconds_at = i;
        return "";
    };
    std::string name;
    EXPECT_EQ(read_name_and_options("watch", {"--seconds", "-5", "Amp-1"}, name, seconds), "");
    EXPECT_EQ(name, "Amp-1");
    EXPECT_EQ(seconds_at, 1u);
    name.clear();
    EXPECT_EQ(read_name_and_options("watch", {"Amp-1", "--seconds"}, name, seconds),
              "--seconds needs a value");
    name.clear();
    EXPECT_EQ(read_name_and_options("watch", {"Amp-1", "--json"}, name, seconds),
              "unknown option '--json' for watch");
    name.clear();
    EXPECT_EQ(read_name_and_options("summary", {"Amp-1", "Amp-2"}, name),
              "unexpected argument 'Amp-2'");
    name.clear();
    EXPECT_EQ(read_name_and_options("summary", {}, name), "summary needs a device NAME");
    name.clear();
    EXPECT_EQ(read_name_and_options("summary", {std::string(32, 'a')}, name),
              check_device_name(std::string(32, 'a')));
    // Switches set their own flag only, in any order around the NAME.
    name.clear();
    bool json = false, raw = false;
    EXPECT_EQ(read_name_and_options("show", {"--raw", "Amp-1"}, name,
                                    switches({{"--json", &json}, {"--raw", &raw}})),
              "");
    EXPECT_TRUE(raw);
    EXPECT_FALSE(json);
    name.clear();
    EXPECT_EQ(read_name_and_options("show", {"Amp-1", "--yes"}, name,
                                    switches({{"--json", &json}, {"--raw", &raw}})),
              "unknown option '--yes' for show");
}

TEST(cli_output, settings_as_lines_and_json) {
    std::vector<field_value> fields;
    fields.push_back({"master_volume", 0, {30}, {}, false});
    fields.push_back({"peq_ch1_gain", 27, {40, 41, 42}, {}, false});
    // The location keeps a character a byte (Latin-1), as it is sent; it prints as UTF-8.
    fields.push_back({"location", 149, {}, "Stage \"L\"\\\xe9", true});
    EXPECT_EQ(settings_lines(fields),
              "master_volume: 30\npeq_ch1_gain: 40, 41, 42\nlocation: Stage \"L\"\\\xc3\xa9\n");
    EXPECT_EQ(settings_json(fields),
              "{\"master_volume\": 30, \"peq_ch1_gain\": [40, 41, 42], "
              "\"location\": \"Stage \\\"L\\\"\\\\\xc3\xa9\"}\n");

    amp_params params;
    const std::string all = settings_json(params.list_fields());
    EXPECT_NE(all.find("\"fw_hour\": 0"), std::string::npos);
    EXPECT_NE(all.find("\"limiter_4ohm_ch2.hold\": 0"), std::string::npos);
}

TEST(cli_output, time_stamp) {
    std::tm t{};
    t.tm_hour = 7;
    t.tm_min = 5;
    t.tm_sec = 9;
    EXPECT_EQ(stamped_line(t, "Connected to Amp-1"), "07:05:09   Connected to Amp-1");
}

}  // namespace
}  // namespace tavrin::cli
