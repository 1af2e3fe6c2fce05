// tavrin-cli firmware NAME FILE [--yes]
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>

#include "cli/cli_args.h"
#include "cli/cli_output.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/fleet_cli.h"
#include "firmware/browse_flow.h"
#include "firmware/firmware_load.h"
#include "firmware/firmware_update.h"
#include "firmware/transfer_meter.h"
#include "sites/fleet_jobs.h"

namespace tavrin::cli {
namespace {

// Blocks between two progress lines when the output is no terminal: one resume page.
constexpr uint32_t line_every_blocks = 16;
// How long to wait for the amplifier's first answer after it installed the image.
constexpr uint32_t restart_wait_ms = 20000;

// Everything the command prints. Reports come from the worker thread and are drawn
// by the main thread, on one line that a terminal rewrites, or as plain lines.
class transfer_display : public amp_connection::update_sink {
  public:
    explicit transfer_display(bool terminal) : terminal_(terminal) {}

    void running(bool on) override {
        std::lock_guard lock(mutex_);
        // A transfer begins: what came before it (the file's loading) is no progress.
        if (on) {
            decided_ = false;
            meter_ = transfer_meter();
            changed_ = false;
        }
    }
    void progress(uint32_t position, uint32_t total) override {
        std::lock_guard lock(mutex_);
        position_ = position;
        total_ = total;
        if (decided_) {
            meter_.report(position, total, system_time().now_ms());
            changed_ = true;
        }
    }
    void status(const std::string& text) override {
        std::lock_guard lock(mutex_);
        // Progress is shown from where this run begins: block 0, or the block a
        // resume goes on from, once the amplifier has answered the resume question.
        if (!decided_ && !text.empty() && text != update_check_resume_text) {
            decided_ = true;
            meter_.report(position_, total_, system_time().now_ms());
            changed_ = true;
        }
        // "Update Pre-Amplifier..." comes with every block.
        if (text != last_status_ && !text.empty())
            pending_.push_back(text);
        last_status_ = text;
    }

    // The last block was confirmed: the bar reaches its end, with the pace it kept.
    void finish() {
        std::lock_guard out(output_mutex());
        std::lock_guard lock(mutex_);
        if (!meter_.started())
            return;
        meter_.complete();
        if (terminal_)
            std::fprintf(stdout, "\r\033[K%s\n", progress_bar_text(meter_).c_str());
        else
            std::fprintf(stdout, "progress %s\n", progress_line_text(meter_).c_str());
        bar_shown_ = false;
        if (meter_.rate() > 0) {
            const uint32_t start = meter_.start();
            const std::string resumed =
                start > 0 ? ", resumed at block " + std::to_string(start) : "";
            std::fprintf(stdout, "Sent %u blocks%s, %.1f ms a block.\n", meter_.total() - start,
                         resumed.c_str(), 1000.0 / meter_.rate());
        }
        std::fflush(stdout);
    }

    // A line of its own, above the progress bar.
    void line(const std::string& text, bool error = false) {
        std::lock_guard out(output_mutex());
        std::lock_guard lock(mutex_);
        put_line_locked(text, error);
    }

    // Prints what came since the last call.
    void draw() {
        std::lock_guard out(output_mutex());
        std::lock_guard lock(mutex_);
        for (const std::string& s : pending_)
            put_line_locked(s, false);
        pending_.clear();
        if (!changed_ || !meter_.started())
            return;
        changed_ = false;
        if (terminal_) {
            std::fprintf(stdout, "\r\033[K%s", progress_bar_text(meter_).c_str());
            bar_shown_ = true;
        } else if (meter_.position() >= next_line_ || meter_.position() == meter_.total()) {
            std::fprintf(stdout, "progress %s\n", progress_line_text(meter_).c_str());
            next_line_ = (meter_.position() / line_every_blocks + 1) * line_every_blocks;
        }
        std::fflush(stdout);
    }

  private:
    void put_line_locked(const std::string& text, bool error) {
        if (bar_shown_) {
            std::fprintf(stdout, "\r\033[K");
            bar_shown_ = false;
            changed_ = true;  // drawn again below the line
        }
        std::fprintf(error ? stderr : stdout, "%s\n", text.c_str());
        std::fflush(error ? stderr : stdout);
    }

    const bool terminal_;
    std::mutex mutex_;
    transfer_meter meter_;
    bool changed_ = false;
    bool bar_shown_ = false;
    bool decided_ = false;
    uint32_t position_ = 0;
    uint32_t total_ = 0;
    uint32_t next_line_ = 0;
    std::string last_status_;
    std::vector<std::string> pending_;
};

// Asks the warning on the terminal: Yes only for an answer that starts with y.
box_answer ask_terminal(const question& q) {
    {
        std::lock_guard out(output_mutex());
        std::fprintf(stderr, "%s: %s [y/N] ", q.caption.c_str(), q.text.c_str());
        std::fflush(stderr);
    }
    std::string reply;
    if (!std::getline(std::cin, reply))
        return box_answer::no;
    return !reply.empty() && (reply[0] == 'y' || reply[0] == 'Y') ? box_answer::yes
                                                                  : box_answer::no;
}

// Reports a refused file the way the window would, on standard error.
class file_check_events : public session_events {
  public:
    void log_line(const std::string& text) override {
        std::fprintf(stderr, "tavrin-cli: %s\n", text.c_str());
    }
    box_answer ask(const question& q) override {
        std::fprintf(stderr, "tavrin-cli: %s\n", q.text.c_str());
        return default_answer(q.buttons);
    }
};

// The file loads as the transfer will load it; 0 or the exit status. A refused file
// is named with the line at fault and what is wrong there.
int check_file(const std::string& path, std::optional<firmware_image>* kept = nullptr) {
    file_check_events events;
    file_read read = read_firmware_file(path);
    switch (read.status) {
        case file_status::ok:
            break;
        case file_status::unreadable:
            std::fprintf(stderr, "tavrin-cli: cannot read firmware file '%s' (missing or empty)\n",
                         path.c_str());
            return exit_bad_input_file;
        case file_status::too_large:
            events.ask({firmware_too_large_text, firmware_error_caption});
            return exit_bad_input_file;
        case file_status::no_memory:
            events.ask({firmware_no_memory_text, firmware_error_caption});
            return exit_bad_input_file;
    }
    const size_t line = read.image.line;
    const std::string detail = read.image.detail;
    if (std::optional<firmware_image> image = image_or_refusal(std::move(read.image), events)) {
        if (kept != nullptr)
            *kept = std::move(image);
        return exit_done;
    }
    const std::string where = line > 0 ? " line " + std::to_string(line) : "";
    std::fprintf(stderr, "tavrin-cli: %s%s: %s\n", path.c_str(), where.c_str(), detail.c_str());
    return exit_bad_input_file;
}

void print_new_date(cli_session& session, transfer_display& display) {
    if (!session.wait_next_answer(restart_wait_ms)) {
        display.line("The amplifier has not answered since the update.");
        return;
    }
    char text[64];
    const amp_params& p = session.params();
    std::snprintf(text, sizeof text, "Firmware date now %02u.%02u.%02u.%02u", p.fw_year(),
                  p.fw_month(), p.fw_day(), p.fw_hour());
    display.line(text);
}

// The default of --jobs for a fleet update: a transfer is paced by its amplifier (a
// block waits for its sum), not by the network, so many run side by side; 64 at once
// keep the ConMon server at a few hundred small messages a second, as `status` does.
constexpr unsigned fleet_update_jobs = 64;

// firmware update IMAGE NAME[,NAME...]|--all --yes [--jobs N] [--json]
int run_fleet_update(const global_options& options, const std::vector<std::string>& words) {
    fleet_target target;
    bool yes = false;
    std::vector<std::string> args;
    if (const std::string wrong =
            read_words("firmware", words, args,
                       fleet_options(target, switches({{"--yes", &yes}, {"-y", &yes}})));
        !wrong.empty())
        return bad_arguments(firmware_command, wrong);
    if (args.empty() || args.size() > 2)
        return bad_arguments(firmware_command,
                             "firmware update needs a FILE and NAME[,NAME...] or --all");
    const std::string path = args[0];
    if (args.size() == 2) {
        if (const std::string why = read_targets(args[1], target); !why.empty())
            return bad_arguments(firmware_command, why);
    }
    if (const std::string why = check_target("firmware update", target); !why.empty())
        return bad_arguments(firmware_command, why);
    if (!yes) {
        return bad_arguments(firmware_command,
                             "the update resets all parameters of every amplifier; give --yes");
    }
    std::optional<firmware_image> image;
    if (const int status = check_file(path, &image); status != exit_done)
        return status;
    // Read once; every job sends the same bytes.
    const auto shared = std::make_shared<const firmware_image>(std::move(*image));
    return run_fleet(
        options, target, fleet_update_jobs,
        [&](cli_session& session, amp_connection& amp, const std::string& name, bool found,
            job_report& report) {
            std::string line;
            // Old firmware is what an update is for: no gate here.
            if (const int code = open_amplifier(session, amp, name, found, report, line, false);
                code != exit_done)
                return amp_result{name, code, {line}, {}};
            return firmware_job(amp, name, shared, report);
        });
}

bool fleet_form(const std::vector<std::string>& words) {
    if (words.empty() || words[0] != "update")
        return false;
    size_t positional = 0;
    for (size_t i = 1; i < words.size(); ++i) {
        if (words[i] == "--all")
            return true;
        if (words[i] == "--jobs")
            ++i;
        else if (words[i].empty() || words[i][0] != '-')
            ++positional;
    }
    return positional == 2;
}

int run(const global_options& options, const std::vector<std::string>& words) {
    if (fleet_form(words))
        return run_fleet_update(options, std::vector<std::string>(words.begin() + 1, words.end()));
    std::vector<std::string> args;
    bool yes = false;
    if (const std::string wrong =
            read_words("firmware", words, args, switches({{"--yes", &yes}, {"-y", &yes}}));
        !wrong.empty())
        return bad_arguments(firmware_command, wrong);
    if (args.size() != 2)
        return bad_arguments(firmware_command, "firmware needs a device NAME and a FILE");
    const std::string& name = args[0];
    const std::string& path = args[1];
    if (const std::string why = check_device_name(name); !why.empty())
        return bad_arguments(firmware_command, why);
    const bool terminal = ::isatty(STDIN_FILENO) != 0;
    if (!yes && !terminal) {
        return bad_arguments(firmware_command,
                             "the update resets all parameters and asks first; without a "
                             "terminal to ask on, give --yes");
    }
    if (const int status = check_file(path); status != exit_done)
        return status;

    transfer_display display(::isatty(STDOUT_FILENO) != 0);
    cli_session session;
    session.log_to_stderr(options);
    session.on_line([&display](const std::string& text) {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        display.line(stamped_line(local, text));
    });
    session.events().on_question([&display, yes](const question& q) {
        if (q.buttons == box_buttons::yes_no)
            return yes ? box_answer::yes : ask_terminal(q);
        display.line(q.text, q.caption == firmware_error_caption);
        return default_answer(q.buttons);
    });
    session.events().on_update(&display);
    firmware_update& update = session.firmware();

    // Never an image into a device that says it is another model.
    if (const reach_outcome reached = session.open(options, name); !reached.ok()) {
        session.stop();
        return report_refusal(reached);
    }
    if (!session.wait_first_answer(cli_session::answer_wait_ms)) {
        const std::string silent = session.no_answer(name);
        session.stop();
        std::fprintf(stderr, "tavrin-cli: %s\n", silent.c_str());
        return session.no_answer_code();
    }
    const browse_outcome outcome = browse_firmware(update, path);
    switch (outcome) {
        case browse_outcome::started:
            break;
        case browse_outcome::load_failed:
            session.stop();
            return exit_bad_input_file;
        case browse_outcome::declined:
            session.stop();
            display.line("Not updated.");
            return exit_done;
        case browse_outcome::cancelled:
        case browse_outcome::busy:
        case browse_outcome::not_connected:
            session.stop();
            return exit_no_answer;
    }
    while (update.running()) {
        session.pump(100);
        display.draw();
    }
    display.draw();
    const update_result result = update.result();
    if (result == update_result::finished) {
        display.finish();
        print_new_date(session, display);
    }
    session.events().on_update(nullptr);
    session.stop();
    switch (result) {
        case update_result::finished:
            return exit_done;
        case update_result::failed:
            return exit_update_failed;
        case update_result::timeout:
            return exit_update_timeout;
        case update_result::stopped:
            return exit_interrupted;
        case update_result::none:
            break;
    }
    return exit_no_answer;
}

}  // namespace

const cli_command firmware_command{
    "firmware", "NAME FILE [--yes] | update FILE NAME[,NAME...]|--all --yes [--jobs N] [--json]",
    "update the firmware of one amplifier or many",
    "  Reads the firmware FILE (a header line and Intel HEX records), connects to\n"
    "  the amplifier NAME and, after the question that all parameters will be\n"
    "  reset (answered Yes by --yes; without a terminal --yes is required),\n"
    "  transfers it in 256-byte blocks, resuming an interrupted transfer at its\n"
    "  last whole 4096-byte page. Shows a progress bar on a terminal and a\n"
    "  progress line every 16 blocks otherwise; afterwards waits for the\n"
    "  amplifier to answer and prints its new firmware date.\n"
    "  Exit status: 0 \"Update Finished.\", 5 \"Update Failed.\", 6 \"Update\n"
    "  timeout.\", 2 no answer or not connected, 7 no such device, 8 not a\n"
    "  TAVRIN-PA22, 9 ConMon server or avahi-daemon unreachable, 64 bad arguments\n"
    "  (or no --yes without a terminal), 65 bad or unreadable FILE (nothing sent).\n"
    "  update FILE NAME[,NAME...]|--all --yes: the same on many amplifiers, FILE\n"
    "  read once, up to --jobs N at once (default 64), each resuming where an\n"
    "  earlier run stopped; one result line each (done, failed, timed out) and a\n"
    "  summary; Ctrl-C lets each reach a whole page and exits 130.\n",
    run};

}  // namespace tavrin::cli
