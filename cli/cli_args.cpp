#include "cli/cli_args.h"

#include <net/if.h>

#include <cerrno>
#include <cstdlib>

#ifndef TAVRIN_VERSION
#define TAVRIN_VERSION "0"
#endif

namespace tavrin::cli {
namespace {

bool interface_exists(uint32_t index) {
    char name[IF_NAMESIZE];
    return if_indextoname(index, name) != nullptr;
}

bool parse_number(const std::string& text, uint32_t& out) {
    if (text.empty() || text.size() > 9)
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    out = static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
    return true;
}

std::string check_interface(uint32_t index, bool (*exists)(uint32_t)) {
    if (index != 0 && !exists(index))
        return "no network interface with index " + std::to_string(index);
    return {};
}

cli_args fail(cli_args a, const std::string& message) {
    a.error = message;
    return a;
}

}  // namespace

cli_args parse_args(const std::vector<std::string>& words, bool (*exists)(uint32_t)) {
    if (exists == nullptr)
        exists = interface_exists;
    cli_args a;
    size_t i = 0;
    // Options before the command.
    for (; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "--help" || w == "-h") {
            a.help = true;
        } else if (w == "--version") {
            a.version = true;
        } else if (w == "--verbose" || w == "-v") {
            a.verbose = true;
        } else if (w == "--iface") {
            if (i + 1 >= words.size())
                return fail(a, "--iface needs P or P,S (network interface indexes)");
            const std::string value = words[++i];
            const size_t comma = value.find(',');
            const std::string p = value.substr(0, comma);
            const std::string s = comma == std::string::npos ? "" : value.substr(comma + 1);
            if (!parse_number(p, a.primary) ||
                (comma != std::string::npos && !parse_number(s, a.secondary))) {
                return fail(
                    a, "bad interface number in '" + value + "': give P or P,S as whole numbers");
            }
            for (uint32_t index : {a.primary, a.secondary}) {
                const std::string why = check_interface(index, exists);
                if (!why.empty())
                    return fail(a, why);
            }
        } else if (!w.empty() && w[0] == '-') {
            return fail(a, "unknown option '" + w + "'");
        } else {
            break;
        }
    }
    if (i == words.size()) {
        if (!a.help && !a.version)
            return fail(a, "no command given (discover, show or watch)");
        return a;
    }
    const std::string& cmd = words[i++];
    if (cmd == "discover") {
        a.what = command::discover;
    } else if (cmd == "show") {
        a.what = command::show;
    } else if (cmd == "watch") {
        a.what = command::watch;
    } else {
        return fail(a, "unknown command '" + cmd + "' (discover, show or watch)");
    }

    for (; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "--help" || w == "-h") {
            a.help = true;
        } else if (a.what == command::discover && w == "--brand") {
            if (i + 1 >= words.size())
                return fail(a, "--brand needs model, maker or all");
            const std::string& b = words[++i];
            if (b == "model") {
                a.brand = brand_rule::model;
            } else if (b == "maker") {
                a.brand = brand_rule::maker;
            } else if (b == "all") {
                a.brand = brand_rule::all;
            } else {
                return fail(a, "unknown brand '" + b + "' (model, maker or all)");
            }
        } else if (a.what == command::show && w == "--json") {
            a.json = true;
        } else if (a.what == command::watch && w == "--seconds") {
            if (i + 1 >= words.size() || !parse_number(words[i + 1], a.seconds))
                return fail(a, "--seconds needs a whole number");
            ++i;
        } else if (!w.empty() && w[0] == '-') {
            return fail(a, "unknown option '" + w + "' for " + cmd);
        } else if (a.what != command::discover && a.name.empty()) {
            a.name = w;
        } else {
            return fail(a, "unexpected argument '" + w + "'");
        }
    }
    if (a.help)
        return a;
    if (a.what != command::discover) {
        if (a.name.empty())
            return fail(a, cmd + " needs a device NAME");
        if (a.name.size() > max_name_length) {
            return fail(a, "device name '" + a.name + "' is longer than " +
                               std::to_string(max_name_length) + " characters");
        }
    }
    return a;
}

std::string usage_text(command what) {
    switch (what) {
        case command::discover:
            return "usage: tavrin-cli [--iface P[,S]] discover [--brand model|maker|all]\n"
                   "  Restarts the Dante runtime, scans for 6 seconds, pings every device,\n"
                   "  asks each for its manufacturer and model and prints the listed names,\n"
                   "  one per line, sorted. --brand model (default): Varnoll AB TAVRIN-PA22\n"
                   "  only; maker: every Varnoll AB device; all: every device.\n";
        case command::show:
            return "usage: tavrin-cli [--iface P[,S]] show NAME [--json]\n"
                   "  Connects to the amplifier NAME, waits up to 10 seconds for its full\n"
                   "  parameter answer and prints the device information and every setting\n"
                   "  (one JSON object with --json).\n"
                   "  Exit status: 0 connected, 3 firmware version error, 2 no answer.\n";
        case command::watch:
            return "usage: tavrin-cli [--iface P[,S]] watch NAME [--seconds S]\n"
                   "  Connects to the amplifier NAME and prints every message-list line\n"
                   "  (HH:MM:SS, three blanks, text) until interrupted or S seconds passed.\n";
        case command::none:
            break;
    }
    return "usage: tavrin-cli [--iface P[,S]] [--verbose] COMMAND [ARGS]\n"
           "  discover [--brand model|maker|all]   list the amplifiers on the network\n"
           "  show NAME [--json]                   print an amplifier's settings\n"
           "  watch NAME [--seconds S]             follow the connection's messages\n"
           "Options:\n"
           "  --iface P[,S]   primary and secondary network interface index\n"
           "  --verbose       print the Dante wrapper's log on standard error\n"
           "  --help          this text (COMMAND --help: the command's own)\n"
           "  --version       print the version\n";
}

std::string version_text() {
    return std::string("tavrin-cli ") + TAVRIN_VERSION + "\n";
}

}  // namespace tavrin::cli
