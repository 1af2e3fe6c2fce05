// tavrin-cli rename NAME NEW
#include <cstdio>

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

// Waits until `name` has the state `wanted` (or better); false after `ms`.
bool wait_for_node(cli_session& session, const std::string& name, node_state wanted, uint32_t ms) {
    const uint32_t start = system_time().now_ms();
    while (state_of(session.wrapper(), name) < wanted) {
        if (system_time().now_ms() - start >= ms)
            return false;
        system_time().sleep_ms(50);
    }
    return true;
}

int run(const global_options& options, const std::vector<std::string>& words) {
    std::vector<std::string> names;
    for (const std::string& w : words) {
        // Only "--" starts an option here, so that a bad name gets its own message.
        if (w.rfind("--", 0) == 0)
            return bad_arguments(rename_command, "unknown option '" + w + "' for rename");
        names.push_back(w);
    }
    if (names.size() != 2)
        return bad_arguments(rename_command, "rename needs the device NAME and its NEW name");
    const std::string& name = names[0];
    const std::string& new_name = names[1];
    if (const std::string why = check_device_name(name); !why.empty())
        return bad_arguments(rename_command, why);
    if (const std::string why = device_name_problem(new_name); !why.empty())
        return bad_arguments(rename_command, "cannot rename to '" + new_name + "': " + why);
    if (new_name == name) {
        std::printf("%s already has that name; nothing sent\n", name.c_str());
        return exit_done;
    }

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
    if (!wait_for_node(session, name, node_state::active, find_wait_ms)) {
        session.stop();
        std::fprintf(stderr, "tavrin-cli: no device %s on the network\n", name.c_str());
        return exit_no_such_device;
    }
    if (state_of(session.wrapper(), new_name) != node_state::absent) {
        session.stop();
        std::fprintf(stderr,
                     "tavrin-cli: a device named %s is already on the network; nothing sent\n",
                     new_name.c_str());
        return exit_bad_arguments;
    }
    if (!session.wrapper().rename_device(name, new_name)) {
        session.stop();
        std::fprintf(stderr, "tavrin-cli: the routing layer could not rename %s\n", name.c_str());
        return exit_disagrees;
    }
    // The device announces itself under the new name once it has taken it.
    const bool taken = wait_for_node(session, new_name, node_state::present, rename_wait_ms);
    session.stop();
    if (!taken) {
        std::fprintf(stderr, "tavrin-cli: %s did not come back as %s\n", name.c_str(),
                     new_name.c_str());
        return exit_disagrees;
    }
    std::printf("%s renamed to %s\n", name.c_str(), new_name.c_str());
    return exit_done;
}

}  // namespace

const cli_command rename_command{
    "rename", "NAME NEW", "give an amplifier another Dante name",
    "  Finds the device NAME and renames it to NEW through the routing layer,\n"
    "  then waits up to 10 seconds for the device to announce itself as NEW.\n"
    "  NEW has 1 to 16 characters of A-Z, a-z, 0-9 and hyphens and does not\n"
    "  start or end with a hyphen; a NEW another device already has is refused.\n"
    "  Exit status: 0 renamed (or NEW is NAME: nothing sent), 4 the rename was\n"
    "  refused or NEW never appeared, 7 no such device, 8 not a TAVRIN-PA22, 9\n"
    "  ConMon server or avahi-daemon unreachable, 64 a bad name (nothing sent).\n",
    run};

}  // namespace tavrin::cli
