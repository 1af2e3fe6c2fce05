#include "cli/cli_args.h"

#include <net/if.h>

#include <cstdlib>

#include "platform/utf8.h"
#include "resources/version_record.h"

namespace tavrin::cli {
namespace {

bool interface_exists(uint32_t index) {
    char name[IF_NAMESIZE];
    return if_indextoname(index, name) != nullptr;
}

std::string check_interface(uint32_t index, bool (*exists)(uint32_t)) {
    if (index != 0 && !exists(index))
        return "no network interface with index " + std::to_string(index);
    return {};
}

std::string command_names() {
    std::string out;
    const auto all = cli_commands();
    for (size_t i = 0; i < all.size(); ++i) {
        if (i > 0)
            out += i + 1 == all.size() ? " or " : ", ";
        out += all[i].name;
    }
    return out;
}

command_line fail(command_line line, const std::string& message) {
    line.error = message;
    return line;
}

}  // namespace

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

option_reader switches(std::vector<std::pair<std::string, bool*>> flags) {
    return [flags = std::move(flags)](const std::vector<std::string>& words,
                                      size_t& i) -> std::optional<std::string> {
        for (const auto& [word, flag] : flags) {
            if (words[i] == word) {
                *flag = true;
                return "";
            }
        }
        return std::nullopt;
    };
}

std::string read_words(const std::string& command, const std::vector<std::string>& words,
                       std::vector<std::string>& args, const option_reader& option) {
    args.clear();
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "--") {
            args.insert(args.end(), words.begin() + static_cast<long>(i) + 1, words.end());
            return {};
        }
        if (w.empty() || w[0] != '-') {
            args.push_back(w);
            continue;
        }
        const std::optional<std::string> taken = option ? option(words, i) : std::nullopt;
        if (!taken)
            return "unknown option '" + w + "' for " + command;
        if (!taken->empty())
            return *taken;
    }
    return {};
}

std::string read_name_and_options(const std::string& command, const std::vector<std::string>& words,
                                  std::string& name, const option_reader& option) {
    std::vector<std::string> args;
    if (std::string wrong = read_words(command, words, args, option); !wrong.empty())
        return wrong;
    if (args.size() > 1)
        return "unexpected argument '" + args[1] + "'";
    if (args.empty())
        return command + " needs a device NAME";
    name = args[0];
    return check_device_name(name);
}

std::string check_device_name(const std::string& name) {
    if (name.empty())
        return "the device NAME is empty";
    // Characters, not bytes, as the window counts them.
    if (first_chars(name, max_name_length) != name) {
        return "device name '" + name + "' is longer than " + std::to_string(max_name_length) +
               " characters";
    }
    return {};
}

bool wants_help(const std::vector<std::string>& words) {
    for (const std::string& w : words) {
        if (w == "--")
            return false;
        if (w == "--help" || w == "-h")
            return true;
    }
    return false;
}

command_line parse_command_line(const std::vector<std::string>& words, bool (*exists)(uint32_t)) {
    if (exists == nullptr)
        exists = interface_exists;
    command_line line;
    size_t i = 0;
    // Options before the command.
    for (; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "--help" || w == "-h") {
            line.help = true;
        } else if (w == "--version") {
            line.version = true;
        } else if (w == "--bash-completion") {
            line.bash_completion = true;
        } else if (w == "--verbose" || w == "-v") {
            line.options.verbose = true;
        } else if (w == "--iface") {
            if (i + 1 >= words.size())
                return fail(line, "--iface needs P or P,S (network interface indexes)");
            const std::string value = words[++i];
            const size_t comma = value.find(',');
            const std::string p = value.substr(0, comma);
            const std::string s = comma == std::string::npos ? "" : value.substr(comma + 1);
            if (!parse_number(p, line.options.primary) ||
                (comma != std::string::npos && !parse_number(s, line.options.secondary))) {
                return fail(line, "bad interface number in '" + value +
                                      "': give P or P,S as whole numbers");
            }
            for (uint32_t index : {line.options.primary, line.options.secondary}) {
                const std::string why = check_interface(index, exists);
                if (!why.empty())
                    return fail(line, why);
            }
        } else if (!w.empty() && w[0] == '-') {
            return fail(line, "unknown option '" + w + "'");
        } else {
            break;
        }
    }
    if (i == words.size()) {
        if (!line.help && !line.version && !line.bash_completion)
            return fail(line, "no command given (" + command_names() + ")");
        return line;
    }
    line.command = words[i++];
    if (find_command(line.command) == nullptr)
        return fail(line, "unknown command '" + line.command + "' (" + command_names() + ")");
    line.words.assign(words.begin() + static_cast<long>(i), words.end());
    return line;
}

std::string usage_text() {
    std::string out = "usage: tavrin-cli [--iface P[,S]] [--verbose] COMMAND [ARGS]\n";
    for (const cli_command& c : cli_commands()) {
        std::string left = "  " + std::string(c.name) + " " + std::string(c.synopsis);
        // A long synopsis takes its own line; the summary starts below it.
        if (left.size() < 40)
            left.resize(40, ' ');
        else
            left += "\n" + std::string(40, ' ');
        out += left + std::string(c.summary) + "\n";
    }
    out +=
        "Options:\n"
        "  --iface P[,S]   primary and secondary network interface index\n"
        "  --verbose       print the Dante wrapper's log on standard error\n"
        "  --help          this text (COMMAND --help: the command's own)\n"
        "  --version       print the version\n"
        "  --              after the command: ends its options (the words after it\n"
        "                  are arguments, even those that start with -)\n"
        "Exit status (every command):\n"
        "  0 done, 1 diff found differences, 2 no answer, 3 firmware version error, 4 the\n"
        "  amplifier disagrees with what was set (or drifted from its site), 5 update failed, 6 "
        "update timed out, 7 no such device, 8 not a\n"
        "  TAVRIN-PA22, 9 ConMon server or DNS-SD daemon (avahi-daemon) unreachable,\n"
        "  64 bad arguments (nothing sent), 65 bad input file (nothing sent), 74 standard\n"
        "  output could not be written.\n"
        "In the lab, run the commands inside it: scripts/lab exec tavrin-cli ...\n";
    return out;
}

std::string version_text() {
    return std::string("tavrin-cli ") + version_record::product_version + "\n" +
           version_record::record_line + "\n";
}

}  // namespace tavrin::cli
