// tavrin-cli location NAME TEXT
#include <cstdio>

#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/utility_wait.h"
#include "link/answer_texts.h"
#include "utilities/name_rules.h"
#include "utilities/utility_page.h"

namespace tavrin::cli {
namespace {

// The amplifier answers the location command with what it has stored.
constexpr uint32_t location_answer_wait_ms = 10000;

int run(const global_options& options, const std::vector<std::string>& words) {
    // A TEXT that starts with "-" comes after "--".
    std::vector<std::string> args;
    if (const std::string wrong = read_words("location", words, args); !wrong.empty())
        return bad_arguments(location_command,
                             wrong + " (a TEXT that starts with - goes after --)");
    if (args.size() < 2)
        return bad_arguments(location_command, "location needs the device NAME and the TEXT");
    if (args.size() > 2)
        return bad_arguments(location_command,
                             "unexpected argument '" + args[2] + "' (quote a TEXT with blanks)");
    const std::string& name = args[0];
    const std::string& text = args[1];
    if (const std::string why = check_device_name(name); !why.empty())
        return bad_arguments(location_command, why);
    if (const std::string why = location_problem(text); !why.empty())
        return bad_arguments(location_command, why);
    const std::string bytes = *location_bytes_of(text);
    location_field field{};
    std::copy(bytes.begin(), bytes.end(), field.begin());
    const std::string expected = device_info_text(name, field);

    cli_session session;
    session.log_to_stderr(options);
    if (const int status = open_and_wait_answer(session, options, name); status != exit_done) {
        session.stop();
        return status;
    }
    page_context ctx = session.pages();
    push_location(ctx.ring, text);
    session.amp().wait_info(expected, location_answer_wait_ms);
    const std::string shown = session.events().info_text().value_or("");
    session.stop();
    if (shown != expected) {
        std::fprintf(stderr, "tavrin-cli: %s shows another location:\n%s\n", name.c_str(),
                     shown.c_str());
        return exit_disagrees;
    }
    std::printf("%s\n", shown.c_str());
    return exit_done;
}

}  // namespace

const cli_command location_command{
    "location", "NAME TEXT", "set an amplifier's location text",
    "  Connects to the amplifier NAME, sends TEXT as its location (at most 16\n"
    "  printable Latin-1 characters, padded with zero bytes to 16; \"\" clears\n"
    "  it; a TEXT that starts with - goes after --) and waits up to 10 seconds\n"
    "  for the amplifier to answer with it. On success prints the device\n"
    "  information.\n"
    "  Exit status: 0 stored, 4 the amplifier shows another location, 2 no\n"
    "  answer, 3 firmware version error, 7 no such device, 8 not a TAVRIN-PA22,\n"
    "  9 ConMon server or avahi-daemon unreachable, 64 TEXT does not fit\n"
    "  (nothing sent).\n",
    run};

}  // namespace tavrin::cli
