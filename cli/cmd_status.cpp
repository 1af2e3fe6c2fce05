// tavrin-cli status [--all | NAME[,NAME...]] [--json] [--watch S] [--jobs N]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>

#include "cli/cli_args.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/fleet_cli.h"
#include "cli/interrupt.h"
#include "sites/amp_status.h"

namespace tavrin::cli {
namespace {

// Reading a block is one poll and its answer: 64 at once keep 200 amplifiers within a
// second or two, and --watch keeps every amplifier's link open (one each).
constexpr unsigned default_jobs = 64;

struct status_words {
    fleet_target target;
    uint32_t watch_s = 0;
};

std::string parse(const std::vector<std::string>& words, status_words& out) {
    std::vector<std::string> args;
    const option_reader watch = [&out](const std::vector<std::string>& w,
                                       size_t& i) -> std::optional<std::string> {
        if (w[i] != "--watch")
            return std::nullopt;
        if (i + 1 >= w.size() || !parse_number(w[i + 1], out.watch_s) || out.watch_s == 0 ||
            out.watch_s > 3600)
            return std::string("--watch needs a number of seconds from 1 to 3600");
        ++i;
        return std::string();
    };
    if (std::string why = read_words("status", words, args, fleet_options(out.target, watch));
        !why.empty())
        return why;
    if (args.size() > 1)
        return "status takes one NAME[,NAME...] (or --all)";
    if (args.size() == 1) {
        if (std::string why = read_targets(args[0], out.target); !why.empty())
            return why;
    }
    if (!out.target.all && out.target.names.empty())
        out.target.all = true;  // status alone: every amplifier
    return check_target("status", out.target);
}

std::string row_json(const amp_status_row& row) {
    nlohmann::ordered_json j;
    const std::vector<std::string>& columns = status_columns();
    j["name"] = row.name;
    j["code"] = row.code;
    if (!row.error.empty()) {
        j["model"] = row.model;
        j["error"] = row.error;
    } else {
        const std::vector<std::string> cells = status_cells(row);
        for (size_t i = 1; i + 1 < columns.size(); ++i) {
            std::string key = columns[i];
            std::transform(key.begin(), key.end(), key.begin(), ::tolower);
            j[key] = cells[i];
        }
        j["answer_ms"] = row.answer_ms;
    }
    return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

// The rows the jobs fill, and what was printed last, for --watch.
class status_board {
  public:
    void put(const amp_status_row& row) {
        std::lock_guard lock(mutex_);
        rows_[row.name] = row;
    }
    std::vector<amp_status_row> rows() const {
        std::lock_guard lock(mutex_);
        std::vector<amp_status_row> out;
        for (const auto& [name, row] : rows_)
            out.push_back(row);
        return out;
    }

  private:
    mutable std::mutex mutex_;
    std::map<std::string, amp_status_row> rows_;
};

void print_table(const std::vector<amp_status_row>& rows, bool json,
                 const std::vector<std::string>& stale, bool in_place) {
    std::lock_guard lock(output_mutex());
    if (in_place)
        std::fprintf(stdout, "\033[H\033[J");
    if (json) {
        for (const amp_status_row& r : rows)
            std::fprintf(stdout, "%s\n", row_json(r).c_str());
    } else {
        for (const std::string& line : status_table(rows, stale))
            std::fprintf(stdout, "%s\n", line.c_str());
    }
    std::fflush(stdout);
}

int run(const global_options& options, const std::vector<std::string>& words) {
    status_words w;
    if (const std::string why = parse(words, w); !why.empty())
        return bad_arguments(status_command, why);

    status_board board;
    // With --watch the table is drawn again every S seconds, in place on a terminal;
    // an amplifier that answered and then stopped is marked.
    const bool terminal = ::isatty(STDOUT_FILENO) != 0;
    std::map<std::string, bool> answered_before;
    auto last_drawn = std::chrono::steady_clock::now();
    const auto draw = [&] {
        std::vector<amp_status_row> rows = board.rows();
        std::vector<std::string> stale;
        for (amp_status_row& r : rows) {
            const bool now = r.error.empty();
            if (!now && answered_before[r.name])
                stale.push_back(r.name);
            answered_before[r.name] = now;
        }
        print_table(rows, w.target.json, stale, terminal);
    };

    fleet_target target = w.target;
    target.json = false;  // the table is the output, not a result line per amplifier
    if (w.watch_s != 0 && target.jobs == 0)
        target.jobs = 1000;  // every link stays open
    const int worst = run_fleet_quiet(
        options, target, default_jobs,
        [&](cli_session& session, amp_connection& amp, const std::string& name, bool found,
            job_report& report) {
            const uint32_t start = system_time().now_ms();
            std::string why;
            int code = open_amplifier(session, amp, name, found, report, why);
            const uint32_t answer_ms = system_time().now_ms() - start;
            const auto put = [&](int c, const std::string& error) {
                amp_status_row row;
                if (c == exit_done || c == exit_firmware_gate) {
                    row = status_row_of(name, "", amp.params().snapshot(), amp.firmware_refused(),
                                        answer_ms);
                } else {
                    row.name = name;
                    row.error = error;
                }
                row.code = c;
                board.put(row);
            };
            put(code, why);
            const auto still_there = [](int c) {
                return c == exit_done || c == exit_firmware_gate || c == exit_no_answer;
            };
            while (w.watch_s != 0 && still_there(code)) {
                // Until the next refresh; Ctrl-C ends the wait.
                report.step("watching");
                amp.wait_until([&] { return report.interrupted(); }, w.watch_s * 1000);
                if (report.interrupted())
                    break;
                report.step("reading");
                code = !amp.wait_next_answer(cli_session::answer_wait_ms) ? exit_no_answer
                       : amp.firmware_refused()                           ? exit_firmware_gate
                                                                          : exit_done;
                put(code, "no answer");
            }
            amp_result out;
            out.code = report.interrupted() && w.watch_s != 0 ? exit_interrupted : code;
            out.lines = {name};
            return out;
        },
        [&](const fleet_runner::progress&) {
            if (w.watch_s == 0)
                return;
            const auto now = std::chrono::steady_clock::now();
            if (now - last_drawn >= std::chrono::seconds(w.watch_s)) {
                last_drawn = now;
                draw();
            }
        });
    if (w.watch_s == 0 || !interrupted())
        draw();
    // --watch ends by Ctrl-C: that is its way of ending, not a failure.
    if (w.watch_s != 0 && worst == exit_interrupted)
        return exit_done;
    return worst;
}

}  // namespace

const cli_command status_command{
    "status", "[--all | NAME[,NAME...]] [--json] [--watch S] [--jobs N]",
    "one row per amplifier: firmware, gate, location, the main settings",
    "  Connects to every amplifier a Discovery finds (--all, the default) or to\n"
    "  the NAMEs, up to --jobs N at once (default 64), and prints one row each,\n"
    "  sorted by name: NAME, MODEL, FIRMWARE (date), GATE (ok or refused),\n"
    "  LOCATION, MASTER, MUTE, ROUTE, CLASS (power class), PBTL, SPEAKER\n"
    "  (impedance) and ANSWER (how long its first answer took), or why there is\n"
    "  none (no answer, not found, not a TAVRIN-PA22). --json prints one object\n"
    "  per amplifier per line. --watch S keeps every link open and draws the\n"
    "  table again every S seconds (in place on a terminal) until Ctrl-C; an\n"
    "  amplifier that stopped answering since the last table is marked with !.\n"
    "  Exit status: the highest over all amplifiers (0 every one answered, 2 no\n"
    "  answer, 3 firmware refused, 7 no such device, 8 not a TAVRIN-PA22, 9\n"
    "  ConMon server or avahi-daemon unreachable).\n",
    run};

}  // namespace tavrin::cli
