// tavrin-cli rename NAME NEW
#include <cstdio>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "utilities/name_rules.h"

namespace tavrin::cli {
namespace {

// How long the browse may take to find the device, and to report it under its new
// name after the rename.
constexpr uint32_t find_wait_ms = 10000;
constexpr uint32_t rename_wait_ms = 10000;

enum class node_state { absent, present, active };

node_state state_of(const dante_wrapper& wrapper, const std::string& name) {
    for (const node_summary& n : wrapper.nodes()) {
        if (n.name == name)
            return n.active ? node_state::active : node_state::present;
    }
    return node_state::absent;
}

// Waits until `name` has the state `wanted` (or better); false after `ms`. A device
// that reports a name conflict never becomes active by itself (its status flags are
// not clear), but one that answers a ping does: it is pinged once a second.
bool wait_for_node(cli_session& session, const std::string& name, node_state wanted, uint32_t ms) {
    constexpr uint32_t ping_every_ms = 1000;
    const uint32_t start = system_time().now_ms();
    uint32_t pinged = start;
    node_state now = node_state::absent;
    while ((now = state_of(session.wrapper(), name)) < wanted) {
        const uint32_t at = system_time().now_ms();
        if (at - start >= ms)
            return false;
        if (wanted == node_state::active && now == node_state::present &&
            at - pinged >= ping_every_ms) {
            session.wrapper().node_list().ping_device(name);
            pinged = at;
        }
        system_time().sleep_ms(50);
    }
    return true;
}

// The name of another device that NEW collides with in any letter case (DNS-SD names
// are case-blind: the renamed device would lose its registration), as the browse or
// the ConMon server knows it; empty when it is free.
std::string taken_by(cli_session& session, const std::string& new_name, const std::string& own) {
    std::vector<std::string> names;
    for (const node_summary& n : session.wrapper().nodes())
        names.push_back(n.name);
    if (std::string other = name_conflict(new_name, own, names); !other.empty())
        return other;
    if (same_device_name(new_name, own))
        return {};
    // Not browsed (yet): the server delivers by name whatever the case.
    const device_probe probe = session.wrapper().probe_device(new_name);
    const bool there =
        probe.sent.sent() && (probe.answer == AUD_SUCCESS || probe.answer == AUD_ERR_TIMEDOUT);
    if (!there)
        return {};
    return probe.own_name.empty() ? new_name : probe.own_name;
}

int run(const global_options& options, const std::vector<std::string>& words) {
    std::vector<std::string> names;
    if (const std::string wrong = read_words("rename", words, names); !wrong.empty())
        return bad_arguments(rename_command, wrong);
    if (names.size() != 2)
        return bad_arguments(rename_command, "rename needs the device NAME and its NEW name");
    const std::string& name = names[0];
    const std::string& new_name = names[1];
    if (const std::string why = check_device_name(name); !why.empty())
        return bad_arguments(rename_command, why);
    if (const std::string why = device_name_problem(new_name); !why.empty())
        return bad_arguments(rename_command, "cannot rename to '" + new_name + "': " + why);
    cli_session session;
    session.log_to_stderr(options);
    session.start_runtime(options.primary, options.secondary);
    reach_outcome reached = session.check_services();
    // The server tells at once whether it knows the name, and the model it has.
    if (reached.ok())
        reached = session.reach(name);
    if (!reached.ok()) {
        session.stop();
        return report_refusal(reached);
    }
    // From here on the device's own spelling, whatever case NAME was typed in.
    const std::string own = reached.device;
    if (new_name == own) {
        session.stop();
        std::printf("%s already has that name; nothing sent\n", own.c_str());
        return exit_done;
    }
    if (!wait_for_node(session, own, node_state::active, find_wait_ms)) {
        session.stop();
        std::fprintf(stderr, "tavrin-cli: no device %s on the network\n", name.c_str());
        return exit_no_such_device;
    }
    if (const std::string other = taken_by(session, new_name, own); !other.empty()) {
        session.stop();
        std::fprintf(stderr, "tavrin-cli: %s; nothing sent\n", name_taken_text(other).c_str());
        return exit_bad_arguments;
    }
    if (!session.wrapper().rename_device(own, new_name)) {
        session.stop();
        std::fprintf(stderr, "tavrin-cli: the routing layer could not rename %s\n", own.c_str());
        return exit_disagrees;
    }
    // The device announces itself under the new name once it has taken it.
    // A new spelling of its own name is the same DNS-SD name: browsers may keep the
    // spelling they have until their records expire.
    const bool taken = same_device_name(new_name, own) ||
                       wait_for_node(session, new_name, node_state::present, rename_wait_ms);
    session.stop();
    if (!taken) {
        std::fprintf(stderr, "tavrin-cli: %s did not come back as %s\n", own.c_str(),
                     new_name.c_str());
        return exit_disagrees;
    }
    std::printf("%s renamed to %s\n", own.c_str(), new_name.c_str());
    return exit_done;
}

}  // namespace

const cli_command rename_command{
    "rename", "NAME NEW", "give an amplifier another Dante name",
    "  Finds the device NAME and renames it to NEW through the routing layer,\n"
    "  then waits up to 10 seconds for the device to announce itself as NEW.\n"
    "  NEW has 1 to 16 characters of A-Z, a-z, 0-9 and hyphens and does not\n"
    "  start or end with a hyphen; a NEW another device already has, in any\n"
    "  letter case, is refused (DNS-SD names are case-blind).\n"
    "  Exit status: 0 renamed (or NEW is NAME: nothing sent), 4 the rename was\n"
    "  refused or NEW never appeared, 7 no such device, 8 not a TAVRIN-PA22, 9\n"
    "  ConMon server or avahi-daemon unreachable, 64 a bad name (nothing sent).\n",
    run};

}  // namespace tavrin::cli
