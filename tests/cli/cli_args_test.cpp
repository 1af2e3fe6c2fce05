// The command line of tavrin-cli and what it prints.
#include <gtest/gtest.h>

#include "cli/cli_args.h"
#include "cli/cli_output.h"

namespace tavrin::cli {
namespace {

bool only_1_to_4(uint32_t index) {
    return index >= 1 && index <= 4;
}

cli_args parse(std::vector<std::string> words) {
    return parse_args(words, only_1_to_4);
}

TEST(cli_args, commands_and_their_options) {
    cli_args a = parse({"discover"});
    EXPECT_EQ(a.what, command::discover);
    EXPECT_EQ(a.brand, brand_rule::model);
    EXPECT_TRUE(a.error.empty());
    EXPECT_EQ(parse({"discover", "--brand", "maker"}).brand, brand_rule::maker);
    EXPECT_EQ(parse({"--iface", "2,3", "discover", "--brand", "all"}).brand, brand_rule::all);

    a = parse({"--iface", "2,3", "show", "Amp-1", "--json"});
    EXPECT_EQ(a.what, command::show);
    EXPECT_EQ(a.name, "Amp-1");
    EXPECT_TRUE(a.json);
    EXPECT_EQ(a.primary, 2u);
    EXPECT_EQ(a.secondary, 3u);

    a = parse({"watch", "Amp-1", "--seconds", "30"});
    EXPECT_EQ(a.seconds, 30u);
    a = parse({"--iface", "4", "watch", "Amp-1"});
    EXPECT_EQ(a.primary, 4u);
    EXPECT_EQ(a.secondary, 0u);
    EXPECT_EQ(a.seconds, 0u);

    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_TRUE(parse({"--version"}).version);
    a = parse({"show", "--help"});
    EXPECT_TRUE(a.help);
    EXPECT_TRUE(a.error.empty());
    EXPECT_NE(usage_text(command::show).find("show NAME [--json]"), std::string::npos);
    EXPECT_EQ(version_text().rfind("tavrin-cli ", 0), 0u);
}

TEST(cli_args, clear_errors) {
    const auto error_of = [](std::vector<std::string> words) { return parse(words).error; };
    EXPECT_EQ(error_of({}), "no command given (discover, show or watch)");
    EXPECT_EQ(error_of({"connect", "Amp-1"}),
              "unknown command 'connect' (discover, show or watch)");
    EXPECT_EQ(error_of({"--iface", "x", "discover"}),
              "bad interface number in 'x': give P or P,S as whole numbers");
    EXPECT_NE(error_of({"--iface", "-1", "discover"}), "");
    EXPECT_NE(error_of({"--iface", "1,", "discover"}), "");
    EXPECT_EQ(error_of({"--iface", "9", "discover"}), "no network interface with index 9");
    EXPECT_EQ(error_of({"--iface", "1,9", "discover"}), "no network interface with index 9");
    EXPECT_NE(error_of({"--iface"}), "");
    EXPECT_EQ(error_of({"show"}), "show needs a device NAME");
    EXPECT_EQ(error_of({"show", std::string(32, 'a')}),
              "device name '" + std::string(32, 'a') + "' is longer than 31 characters");
    EXPECT_EQ(error_of({"show", std::string(31, 'a')}), "");
    EXPECT_EQ(error_of({"show", "A", "B"}), "unexpected argument 'B'");
    EXPECT_EQ(error_of({"discover", "--json"}), "unknown option '--json' for discover");
    EXPECT_EQ(error_of({"discover", "--brand", "Varnoll"}),
              "unknown brand 'Varnoll' (model, maker or all)");
    EXPECT_EQ(error_of({"watch", "A", "--seconds", "ten"}), "--seconds needs a whole number");
    EXPECT_EQ(error_of({"--frobnicate", "discover"}), "unknown option '--frobnicate'");
}

TEST(cli_output, settings_as_lines_and_json) {
    std::vector<field_value> fields;
    fields.push_back({"master_volume", 0, {30}, {}, false});
    fields.push_back({"peq_ch1_gain", 27, {40, 41, 42}, {}, false});
    fields.push_back({"location", 149, {}, "Stage \"L\"\\\xe9", true});
    EXPECT_EQ(settings_lines(fields),
              "master_volume: 30\npeq_ch1_gain: 40, 41, 42\nlocation: Stage \"L\"\\\xe9\n");
    EXPECT_EQ(settings_json(fields),
              "{\"master_volume\": 30, \"peq_ch1_gain\": [40, 41, 42], "
              "\"location\": \"Stage \\\"L\\\"\\\\\\u00e9\"}\n");

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
