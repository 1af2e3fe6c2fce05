// tavrin-cli's exit codes against the lab: each failure says what it is, with its own
// code, and show --json is one object whatever happened.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "lab_cli.h"

namespace tavrin::testing {
namespace {

class exit_codes : public lab_case {
  protected:
    static std::string dir() { return std::filesystem::temp_directory_path().string(); }
    static cli_run cli(const std::string& args) { return lab_cli(dir(), args); }
};

TEST_F(exit_codes, a_name_the_server_does_not_know_is_7) {
    const cli_run text = cli("show Nobody-Here");
    EXPECT_EQ(text.code, 7) << text.out;
    EXPECT_TRUE(has(text.out, "tavrin-cli: Nobody-Here: no such device on the network\n"))
        << text.out;
    // The server said so: no ten-second wait for an answer that cannot come.
    EXPECT_FALSE(has(text.out, "no answer")) << text.out;

    const cli_run json = cli("show Nobody-Here --json");
    EXPECT_EQ(json.code, 7);
    // The object on standard output, the error on standard error as well.
    EXPECT_TRUE(has(json.out,
                    "{\"device\": \"Nobody-Here\", \"model\": null, \"error\": "
                    "\"Nobody-Here: no such device on the network\", \"exit\": 7}\n"))
        << json.out;
    EXPECT_EQ(cli("response Nobody-Here").code, 7);
    EXPECT_EQ(cli("summary Nobody-Here").code, 7);
    EXPECT_EQ(cli("watch Nobody-Here --seconds 1").code, 7);
}

TEST_F(exit_codes, a_device_of_another_model_is_8_and_gets_nothing) {
    const cli_run other = cli("show Stagebox-1");
    EXPECT_EQ(other.code, 8) << other.out;
    EXPECT_TRUE(has(other.out, "Stagebox-1: not a TAVRIN-PA22 (Other Audio SB-8)")) << other.out;

    const cli_run json = cli("show Varnoll-PA42 --json");
    EXPECT_EQ(json.code, 8);
    EXPECT_TRUE(has(json.out,
                    "{\"device\": \"Varnoll-PA42\", \"model\": \"TAVRIN-PA42\", "
                    "\"error\": \"Varnoll-PA42: not a TAVRIN-PA22 (Varnoll AB "
                    "TAVRIN-PA42)\", \"exit\": 8}\n"))
        << json.out;
    // Nothing reaches it, the settings least of all.
    const cli_run set = cli("set Varnoll-PA42 master=10");
    EXPECT_EQ(set.code, 8);
    EXPECT_EQ(set.out, "Varnoll-PA42: not a TAVRIN-PA22 (Varnoll AB TAVRIN-PA42)\n");
}

TEST_F(exit_codes, a_silent_amplifier_is_2_and_broken_answers_are_named) {
    ASSERT_EQ(lab_run("ctl Amp-1 silence on"), 0);
    const cli_run silent = cli("show Amp-1 --json");
    lab_run("ctl Amp-1 silence off");
    EXPECT_EQ(silent.code, 2) << silent.out;
    EXPECT_TRUE(has(silent.out,
                    "{\"device\": \"Amp-1\", \"model\": null, \"error\": \"no "
                    "answer from Amp-1\", \"exit\": 2}\n"))
        << silent.out;

    ASSERT_EQ(lab_run("ctl Amp-3 corrupt on"), 0);
    const cli_run broken = cli("show Amp-3");
    lab_run("ctl Amp-3 corrupt off");
    EXPECT_EQ(broken.code, 2) << broken.out;
    EXPECT_TRUE(has(broken.out, "tavrin-cli: no answer from Amp-3 (")) << broken.out;
    EXPECT_TRUE(has(broken.out, "came corrupted: a bad checksum or length)\n")) << broken.out;
}

TEST_F(exit_codes, a_refused_firmware_is_3_with_the_date_that_caused_it) {
    const cli_run json = cli("show Amp-Old --json");
    EXPECT_EQ(json.code, 3) << json.out;
    EXPECT_TRUE(has(json.out,
                    "{\"device\": \"Amp-Old\", \"model\": \"TAVRIN-PA22\", \"error\": "
                    "\"Firmware Version Error\", \"exit\": 3, \"info\": \"Firmware "
                    "Version Error\", \"firmware\": \"21.11.17.00\"}\n"))
        << json.out;
    EXPECT_TRUE(has(json.out, "tavrin-cli: Firmware Version Error\n")) << json.out;

    const cli_run ok = cli("show Amp-1 --json");
    EXPECT_EQ(ok.code, 0);
    EXPECT_TRUE(has(ok.out,
                    "\"device\": \"Amp-1\", \"model\": \"TAVRIN-PA22\", \"firmware\": "
                    "\"21.11.17.01\", \"settings\": {"))
        << ok.out;
}

// `tavrin-cli ARGS` in the lab with its standard output to `sink` (a shell redirection
// or a pipe); its exit status and standard error.
cli_run with_output(const std::string& args, const std::string& sink) {
    const std::string base = std::filesystem::temp_directory_path().string() + "/tavrin-out-" +
                             std::to_string(::getpid());
    {
        std::ofstream script(base + ".sh");
        script << "set -o pipefail\n"
               << lab_script("exec '" + lab_paths().build + "/cli/tavrin-cli' " + args) << " 2>'"
               << base << ".err' </dev/null " << sink << "\n";
    }
    cli_run r;
    const int status = std::system(("bash '" + base + ".sh'").c_str());
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(base + ".err");
    std::stringstream text;
    text << err.rdbuf();
    r.out = text.str();
    std::filesystem::remove(base + ".sh");
    std::filesystem::remove(base + ".err");
    return r;
}

TEST_F(exit_codes, output_that_cannot_be_written_is_no_success) {
    const cli_run full = with_output("show Amp-1", ">/dev/full");
    EXPECT_EQ(full.code, 74) << full.out;
    EXPECT_TRUE(has(full.out, "tavrin-cli: cannot write to standard output")) << full.out;
    // A reader that has gone before the settings come: no silent success.
    const cli_run closed = with_output("show Amp-1", "| head -c0");
    EXPECT_EQ(closed.code, 74) << closed.out;
    EXPECT_TRUE(has(closed.out, "Broken pipe")) << closed.out;
    EXPECT_EQ(with_output("show Amp-1", ">/dev/null").code, 0);
    // A quiet watch notices a reader that went after the first line, whether or not
    // it writes again (without --seconds it would run for nobody).
    const auto started = std::chrono::steady_clock::now();
    const cli_run watched = with_output("watch Amp-1 --seconds 30", "| head -1 >/dev/null");
    EXPECT_EQ(watched.code, 74) << watched.out;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

}  // namespace
}  // namespace tavrin::testing
