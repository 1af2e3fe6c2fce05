#pragma once
// Many amplifiers at once over one core: one connection per amplifier, their sessions
// driven by a small pool of threads (each session by one of them at a time), at most
// `jobs` amplifiers worked on at once. A job is the work of one amplifier, written as
// plain steps that wait on its connection's events; its result is one exit code and
// the lines to print. A job's failure is its own: the others go on at full speed.
//
// Ctrl-C (interrupt()) starts no new job; running jobs see it at their next safe point
// and end there (a firmware transfer where it can be resumed).
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/amp_connection.h"
#include "app/tool_core.h"
#include "link/session_pool.h"

namespace tavrin {

// How one amplifier ended.
struct amp_result {
    std::string name;
    int code = 0;
    // What to print for it (its result line last).
    std::vector<std::string> lines;
    // Fields for --json besides name, code and lines (already JSON text: "key": value).
    std::vector<std::pair<std::string, std::string>> fields;
};

// What a job tells while it works, and what it asks.
class job_report {
  public:
    // The step under way, for the progress line ("waiting for the first answer").
    void step(const std::string& what);
    // How far the job got (blocks of a transfer), for a per-amplifier progress bar.
    void fraction(uint32_t done, uint32_t total);
    bool interrupted() const { return interrupted_.load(); }

  private:
    friend class fleet_runner;
    mutable std::mutex mutex_;
    std::string step_;
    uint32_t done_ = 0;
    uint32_t total_ = 0;
    uint32_t step_since_ = 0;
    uint32_t started_ = 0;
    time_source* time_ = nullptr;
    std::atomic<bool> interrupted_{false};
};

// One job as a window draws it: a row with its step and progress bar.
struct job_state {
    enum class phase { waiting, running, done };
    std::string name;
    phase now = phase::waiting;
    std::string step;
    uint32_t done = 0;  // of total (both 0: no fraction told)
    uint32_t total = 0;
    int code = 0;  // once done
};

class fleet_runner {
  public:
    struct options {
        // Amplifiers worked on at once (at least 1).
        unsigned jobs = 32;
        // Threads that drive the sessions.
        unsigned drivers = 2;
        // How often the progress callback runs while the fleet works.
        uint32_t progress_ms = 200;
    };
    struct progress {
        size_t total = 0;
        size_t done = 0;
        size_t failed = 0;  // done with a code other than 0
        size_t running = 0;
        // The job running longest, and its step.
        std::string slowest;
        std::string slowest_step;
        uint32_t slowest_ms = 0;
    };

    using job_fn =
        std::function<amp_result(amp_connection& amp, const std::string& name, job_report& report)>;

    fleet_runner(tool_core& core, options opts);
    ~fleet_runner();

    fleet_runner(const fleet_runner&) = delete;
    fleet_runner& operator=(const fleet_runner&) = delete;

    // Runs `job` for every name; returns the results in the order of `names`.
    // `on_result` hears the results in that order, each once it and those before it
    // ended, and `on_progress` the state every progress_ms; both on the calling thread.
    std::vector<amp_result> run(const std::vector<std::string>& names, const job_fn& job,
                                const std::function<void(const amp_result&)>& on_result = {},
                                const std::function<void(const progress&)>& on_progress = {});

    // Any thread (a signal watcher): no job starts from now on, and the running ones
    // see job_report::interrupted().
    void interrupt();
    bool interrupted() const { return interrupted_.load(); }

    // Any thread, while run() works or after: every job's state, in the order of the
    // names (empty before the first run).
    std::vector<job_state> states() const;

  private:
    struct slot;

    void work(const job_fn& job);
    progress snapshot_locked() const;

    tool_core& core_;
    options options_;
    session_pool pool_;
    std::atomic<bool> interrupted_{false};

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> names_;
    std::vector<std::unique_ptr<slot>> slots_;
    size_t next_ = 0;
    size_t done_ = 0;
    size_t failed_ = 0;
};

// The highest code of all results: what a command over many amplifiers exits with.
int worst_code(const std::vector<amp_result>& results);

}  // namespace tavrin
