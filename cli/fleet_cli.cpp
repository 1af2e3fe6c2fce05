#include "cli/fleet_cli.h"

#include <unistd.h>

#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "app/discovery_flow.h"
#include "app/service_report.h"
#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "sites/fleet_jobs.h"

namespace tavrin::cli {

static_assert(job_code::done == exit_done && job_code::no_answer == exit_no_answer &&
              job_code::firmware_gate == exit_firmware_gate &&
              job_code::disagrees == exit_disagrees &&
              job_code::update_failed == exit_update_failed &&
              job_code::update_timeout == exit_update_timeout &&
              job_code::unreachable == exit_unreachable &&
              job_code::interrupted == exit_interrupted);

option_reader fleet_options(fleet_target& target, option_reader more) {
    return [&target, more = std::move(more)](const std::vector<std::string>& words,
                                             size_t& i) -> std::optional<std::string> {
        const std::string& w = words[i];
        if (w == "--all") {
            target.all = true;
            return std::string();
        }
        if (w == "--json") {
            target.json = true;
            return std::string();
        }
        if (w == "--jobs") {
            uint32_t n = 0;
            if (i + 1 >= words.size() || !parse_number(words[i + 1], n) || n == 0 || n > 1000)
                return std::string("--jobs needs a number of amplifiers from 1 to 1000");
            target.jobs = n;
            ++i;
            return std::string();
        }
        if (more)
            return more(words, i);
        return std::nullopt;
    };
}

std::string read_targets(const std::string& word, fleet_target& target) {
    std::set<std::string> seen;
    size_t from = 0;
    while (true) {
        const size_t comma = word.find(',', from);
        const std::string name =
            word.substr(from, comma == std::string::npos ? comma : comma - from);
        if (name.empty())
            return "empty device name in '" + word + "'";
        if (const std::string bad = check_device_name(name); !bad.empty())
            return bad;
        if (seen.insert(name).second)
            target.names.push_back(name);
        if (comma == std::string::npos)
            return {};
        from = comma + 1;
    }
}

std::string check_target(const std::string& command, const fleet_target& target) {
    if (target.all && !target.names.empty())
        return "--all and a device NAME exclude each other";
    if (!target.all && target.names.empty())
        return command + " needs a device NAME (or several, separated by commas) or --all";
    return {};
}

int open_amplifier(cli_session& session, amp_connection& amp, const std::string& name, bool found,
                   job_report& report, std::string& line, bool gate) {
    if (!found) {
        report.step("asking the server for it");
        // Nothing goes to a device the server does not know or that is another model.
        if (const reach_outcome reached = session.reach(name); !reached.ok()) {
            line = reached.message;
            return reached.code;
        }
    }
    return open_job(amp, found ? name : session.spelled(name), report, gate, line,
                    cli_session::answer_wait_ms);
}

std::string result_word(int code) {
    switch (code) {
        case exit_done:
            return "ok";
        case exit_differs:
            return "differs";
        case exit_no_answer:
            return "no answer";
        case exit_firmware_gate:
            return "firmware refused";
        case exit_disagrees:
            return "disagrees";
        case exit_update_failed:
            return "update failed";
        case exit_update_timeout:
            return "update timed out";
        case exit_no_such_device:
            return "not found";
        case exit_not_an_amplifier:
            return "not a TAVRIN-PA22";
        case exit_unreachable:
            return "server lost";
        case exit_bad_input_file:
            return "bad file";
        case exit_interrupted:
            return "interrupted";
        default:
            return "failed (" + std::to_string(code) + ")";
    }
}

std::string summary_line(const std::vector<amp_result>& results) {
    // By code, lowest first; the names of those that did not end ok.
    std::map<int, std::vector<std::string>> by_code;
    for (const amp_result& r : results)
        by_code[r.code].push_back(r.name);
    std::string line =
        std::to_string(results.size()) + (results.size() == 1 ? " amplifier: " : " amplifiers: ");
    bool first = true;
    for (const auto& [code, names] : by_code) {
        line += (first ? "" : ", ") + std::to_string(names.size()) + " " + result_word(code);
        first = false;
        if (code == exit_done)
            continue;
        constexpr size_t shown = 5;
        line += " (";
        for (size_t i = 0; i < names.size() && i < shown; ++i)
            line += (i ? ", " : "") + names[i];
        if (names.size() > shown)
            line += ", ...";
        line += ")";
    }
    return line;
}

std::string result_json(const amp_result& result) {
    nlohmann::ordered_json j;
    j["name"] = result.name;
    j["code"] = result.code;
    j["result"] = result_word(result.code);
    for (const auto& [key, text] : result.fields)
        j[key] = nlohmann::ordered_json::parse(text, nullptr, false);
    j["lines"] = result.lines;
    return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

namespace {

// Output as the fleet goes: result lines, and on a terminal one progress line that
// each result line pushes down.
class fleet_printer {
  public:
    explicit fleet_printer(bool json) : json_(json), terminal_(::isatty(STDOUT_FILENO) != 0) {}

    void result(const amp_result& r) {
        std::lock_guard lock(output_mutex());
        clear_progress();
        if (json_) {
            std::fprintf(stdout, "%s\n", result_json(r).c_str());
        } else {
            for (const std::string& line : r.lines)
                std::fprintf(stdout, "%s\n", line.c_str());
        }
        std::fflush(stdout);
    }
    void progress(const fleet_runner::progress& p) {
        if (!terminal_ || json_)
            return;
        std::lock_guard lock(output_mutex());
        char line[200];
        std::snprintf(line, sizeof line, "%zu/%zu done, %zu failed, %zu running", p.done, p.total,
                      p.failed, p.running);
        std::string text = line;
        if (!p.slowest.empty()) {
            std::snprintf(line, sizeof line, "; slowest %s: %s (%.1f s)", p.slowest.c_str(),
                          p.slowest_step.c_str(), p.slowest_ms / 1000.0);
            text += line;
        }
        std::fprintf(stdout, "\r\033[K%s", text.c_str());
        std::fflush(stdout);
        shown_ = true;
    }
    void finish() {
        std::lock_guard lock(output_mutex());
        clear_progress();
        std::fflush(stdout);
    }

  private:
    void clear_progress() {
        if (shown_)
            std::fprintf(stdout, "\r\033[K");
        shown_ = false;
    }

    bool json_;
    bool terminal_;
    bool shown_ = false;
};

}  // namespace

namespace {

using job_with_session =
    std::function<amp_result(cli_session& session, amp_connection& amp, const std::string& name,
                             bool found, job_report& report)>;

// The runtime, the names (one Discovery for --all), and the fleet run over them.
int run_over(const global_options& options, const fleet_target& target, unsigned default_jobs,
             const job_with_session& job, const std::function<void(const amp_result&)>& on_result,
             const std::function<void(const fleet_runner::progress&)>& on_progress,
             std::vector<amp_result>& results) {
    cli_session session;
    session.log_to_stderr(options);
    std::vector<std::string> names = target.names;
    if (target.all) {
        const reach_outcome found = session.discover(options, brand_rule::model, names);
        if (!found.ok()) {
            session.stop();
            return report_refusal(found);
        }
        if (names.empty()) {
            std::fprintf(stderr, "tavrin-cli: no amplifiers found\n");
            session.stop();
            return exit_no_answer;
        }
    } else {
        session.start_runtime(options.primary, options.secondary);
        if (const reach_outcome up = session.check_services(); !up.ok()) {
            session.stop();
            return report_refusal(up);
        }
    }

    catch_interrupts();
    fleet_runner::options opts;
    opts.jobs = target.jobs != 0 ? target.jobs : default_jobs;
    fleet_runner runner(session.core(), opts);
    const bool found = target.all;
    results = runner.run(
        names,
        [&](amp_connection& amp, const std::string& name, job_report& report) {
            return job(session, amp, name, found, report);
        },
        on_result,
        [&](const fleet_runner::progress& p) {
            if (interrupted() && !runner.interrupted())
                runner.interrupt();
            if (on_progress)
                on_progress(p);
        });
    session.stop();
    int worst = worst_code(results);
    if (runner.interrupted())
        worst = std::max(worst, exit_interrupted);
    return worst;
}

}  // namespace

int run_fleet(const global_options& options, const fleet_target& target, unsigned default_jobs,
              const job_with_session& job) {
    fleet_printer printer(target.json);
    std::vector<amp_result> results;
    const int code = run_over(
        options, target, default_jobs, job, [&](const amp_result& r) { printer.result(r); },
        [&](const fleet_runner::progress& p) { printer.progress(p); }, results);
    printer.finish();
    if (results.size() > 1) {
        std::lock_guard lock(output_mutex());
        std::fprintf(target.json ? stderr : stdout, "%s\n", summary_line(results).c_str());
        std::fflush(stdout);
    }
    return code;
}

int run_fleet_quiet(const global_options& options, const fleet_target& target,
                    unsigned default_jobs, const job_with_session& job,
                    const std::function<void(const fleet_runner::progress&)>& on_progress) {
    std::vector<amp_result> results;
    return run_over(options, target, default_jobs, job, {}, on_progress, results);
}

}  // namespace tavrin::cli
