// tavrin-cli interfaces
#include <cstdio>

#include "cli/cli_args.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "platform/net/adapters.h"

namespace tavrin::cli {
namespace {

int run(const global_options&, const std::vector<std::string>& words) {
    std::vector<std::string> args;
    if (const std::string wrong = read_words("interfaces", words, args); !wrong.empty())
        return bad_arguments(interfaces_command, wrong);
    if (!args.empty())
        return bad_arguments(interfaces_command, "unexpected argument '" + args[0] + "'");
    for (const adapter_info& a : platform_adapters().adapters()) {
        std::printf("%u\t%s\t%s\t%s\t%s\n", a.index, a.friendly_name.c_str(),
                    a.ip.empty() ? "-" : a.ip.c_str(), a.mac.empty() ? "-" : a.mac.c_str(),
                    adapter_kind_name(a.kind));
    }
    std::fflush(stdout);
    return exit_done;
}

}  // namespace

const cli_command interfaces_command{
    "interfaces", "", "list the network adapters and their indexes",
    "  Prints the adapters as the Network Interface window lists them, in the\n"
    "  system's order, one per line, fields separated by tabs: the index to give\n"
    "  --iface, the name, the first IPv4 address, the MAC address (- when none)\n"
    "  and the kind (wired, wireless, virtual, firewire, bluetooth). The loopback\n"
    "  is no Dante interface and is not listed.\n"
    "  Exit status: 0.\n",
    run};

}  // namespace tavrin::cli
