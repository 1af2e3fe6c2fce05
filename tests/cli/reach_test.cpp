// What tavrin-cli tells before it sends anything: the services (9), the named device
// (7, 8), the lab hint, and a silent device left for the answer wait (2).
#include "cli/reach.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/service_report.h"
#include "cli/exit_codes.h"
#include "cli/lab_hint.h"

namespace tavrin::cli {
namespace {

TEST(reach, services_say_which_one_is_missing) {
    EXPECT_TRUE(services_outcome(AUD_SUCCESS, server_state::connected, AUD_SUCCESS, true).ok());

    // Without avahi-daemon nothing else comes up: told first, as the window logs it.
    reach_outcome r =
        services_outcome(AUD_ERR_NOTRUNNING, server_state::refused, AUD_ERR_CONNREFUSED, false);
    EXPECT_EQ(r.code, exit_unreachable);
    EXPECT_EQ(r.message, dnssd_not_running_text);
    EXPECT_EQ(services_outcome(AUD_ERR_DNSSDFAIL, server_state::connected, AUD_SUCCESS, true).code,
              exit_unreachable);

    r = services_outcome(AUD_SUCCESS, server_state::refused, AUD_ERR_CONNREFUSED, false);
    EXPECT_EQ(r.code, exit_unreachable);
    EXPECT_EQ(r.message, "ConMon server not reachable (127.0.0.1:8900: connection refused)");
    r = services_outcome(AUD_SUCCESS, server_state::lost, AUD_SUCCESS, false);
    EXPECT_EQ(r.message, server_lost_text);
    // Connected, but the subscription never answered: nothing would reach the tool.
    EXPECT_EQ(services_outcome(AUD_SUCCESS, server_state::connected, AUD_SUCCESS, false).code,
              exit_unreachable);
}

TEST(reach, a_device_is_unknown_another_model_or_left_to_answer) {
    device_probe p;
    p.answer = AUD_ERR_NOTFOUND;
    reach_outcome r = device_outcome("Nobody-Here", p);
    EXPECT_EQ(r.code, exit_no_such_device);
    EXPECT_EQ(r.message, "Nobody-Here: no such device on the network");

    p.answer = AUD_SUCCESS;
    p.facts = manf_facts{};
    p.facts->manufacturer_name = "Other Audio";
    p.facts->model_name = "SB-8";
    r = device_outcome("Stagebox-1", p);
    EXPECT_EQ(r.code, exit_not_an_amplifier);
    EXPECT_EQ(r.message, "Stagebox-1: not a TAVRIN-PA22 (Other Audio SB-8)");

    p.facts->manufacturer_name = "Varnoll AB";
    p.facts->model_name = "TAVRIN-PA22";
    r = device_outcome("Amp-1", p);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.model, "TAVRIN-PA22");

    // Silent, or a model it did not tell: the answer wait decides (2 or 0).
    p.facts.reset();
    p.answer = AUD_ERR_TIMEDOUT;
    EXPECT_TRUE(device_outcome("Amp-1", p).ok());
    p.answer = AUD_SUCCESS;
    p.facts = manf_facts{};
    EXPECT_TRUE(device_outcome("Amp-1", p).ok());

    // The server went away under the probe.
    p.answer = AUD_ERR_INVALIDSTATE;
    r = device_outcome("Amp-1", p);
    EXPECT_EQ(r.code, exit_unreachable);
    EXPECT_EQ(r.message, std::string("Amp-1: ") + server_lost_text);

    // A probe the send refused tells nothing either way.
    p.sent = {hex_send_check::gateway_name, 0};
    p.answer = AUD_ERR_NOTFOUND;
    EXPECT_TRUE(device_outcome("none", p).ok());

    EXPECT_EQ(no_answer_text("Amp-1", 0), "no answer from Amp-1");
    EXPECT_EQ(no_answer_text("Amp-1", 3),
              "no answer from Amp-1 (3 answers came corrupted: a bad checksum or length)");
}

TEST(lab_hint, finds_whether_this_process_runs_in_a_lab) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("tavrin-netns-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const auto file = [&](const std::string& name) {
        std::ofstream(dir / name) << name;
        return (dir / name).string();
    };
    const std::string other = file("other-ns");
    EXPECT_EQ(find_lab_place(dir.string(), other), lab_place::no_lab);
    EXPECT_EQ(find_lab_place((dir / "missing").string(), other), lab_place::no_lab);

    const std::string lab = file("tavrin-lab-1a2b");
    file("tavrin-lab-1a2b-p");
    EXPECT_EQ(find_lab_place(dir.string(), other), lab_place::outside);
    EXPECT_EQ(find_lab_place(dir.string(), lab), lab_place::inside);
    fs::remove_all(dir);

    EXPECT_NE(lab_hint(lab_place::outside).find("scripts/lab exec"), std::string::npos);
    EXPECT_NE(lab_hint(lab_place::no_lab).find("is the lab up?"), std::string::npos);
}

}  // namespace
}  // namespace tavrin::cli
