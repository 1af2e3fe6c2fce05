#include "app/fleet_runner.h"

#include <algorithm>
#include <system_error>
#include <thread>

namespace tavrin {

void job_report::step(const std::string& what) {
    std::lock_guard lock(mutex_);
    step_ = what;
    if (time_ != nullptr)
        step_since_ = time_->now_ms();
}

void job_report::fraction(uint32_t done, uint32_t total) {
    std::lock_guard lock(mutex_);
    done_ = done;
    total_ = total;
}

// One amplifier of the fleet: its result once done, and its report while it runs.
struct fleet_runner::slot {
    amp_result result;
    job_report report;
    bool running = false;
    bool done = false;
};

fleet_runner::fleet_runner(tool_core& core, options opts)
    : core_(core), options_(opts), pool_(core.time, std::max(opts.drivers, 1u)) {
    options_.jobs = std::max(options_.jobs, 1u);
}

fleet_runner::~fleet_runner() {
    pool_.stop();
}

void fleet_runner::interrupt() {
    interrupted_.store(true);
    std::lock_guard lock(mutex_);
    for (auto& s : slots_)
        s->report.interrupted_.store(true);
    changed_.notify_all();
}

std::vector<amp_result> fleet_runner::run(const std::vector<std::string>& names, const job_fn& job,
                                          const std::function<void(const amp_result&)>& on_result,
                                          const std::function<void(const progress&)>& on_progress) {
    {
        std::lock_guard lock(mutex_);
        names_ = names;
        slots_.clear();
        for (size_t i = 0; i < names.size(); ++i) {
            slots_.push_back(std::make_unique<slot>());
            slots_.back()->result.name = names[i];
            slots_.back()->report.time_ = &core_.time;
            slots_.back()->report.interrupted_.store(interrupted_.load());
        }
        next_ = 0;
        done_ = 0;
        failed_ = 0;
    }
    std::vector<std::thread> workers;
    const size_t count = std::min<size_t>(options_.jobs, names.size());
    for (size_t i = 0; i < count; ++i) {
        try {
            workers.emplace_back([this, &job] { work(job); });
        } catch (const std::system_error&) {
            break;  // fewer at once, then
        }
    }
    if (workers.empty() && !names.empty())
        work(job);

    // Results are told in the order of `names`, each as soon as it and every one
    // before it ended: the output reads the same however the amplifiers raced.
    size_t told = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait_for(lock, std::chrono::milliseconds(options_.progress_ms), [&] {
            return (told < slots_.size() && slots_[told]->done) || done_ == names.size();
        });
        const size_t from = told;
        while (told < slots_.size() && slots_[told]->done)
            ++told;
        const progress now = snapshot_locked();
        const bool all_done = done_ == names.size();
        lock.unlock();
        for (size_t i = from; i < told; ++i) {
            if (on_result)
                on_result(slots_[i]->result);
        }
        if (on_progress && !all_done)
            on_progress(now);
        lock.lock();
        if (told == slots_.size())
            break;
    }
    lock.unlock();
    for (std::thread& t : workers)
        t.join();

    std::vector<amp_result> results;
    for (auto& s : slots_)
        results.push_back(s->result);
    return results;
}

void fleet_runner::work(const job_fn& job) {
    for (;;) {
        size_t index = 0;
        slot* s = nullptr;
        {
            std::lock_guard lock(mutex_);
            if (next_ == names_.size())
                return;
            index = next_++;
            s = slots_[index].get();
            if (interrupted_.load()) {
                // Never started: nothing was sent to it.
                s->result.code = 130;
                s->result.lines = {names_[index] + ": not started (interrupted)"};
                s->done = true;
                ++done_;
                ++failed_;
                changed_.notify_all();
                continue;
            }
            s->running = true;
            s->report.started_ = core_.time.now_ms();
            s->report.step_since_ = s->report.started_;
            s->report.step_ = "starting";
        }
        amp_result result;
        {
            amp_connection amp(core_);
            pool_.add(amp.session());
            result = job(amp, names_[index], s->report);
            pool_.remove(amp.session());
        }
        result.name = names_[index];
        std::lock_guard lock(mutex_);
        s->result = std::move(result);
        s->running = false;
        s->done = true;
        ++done_;
        if (s->result.code != 0)
            ++failed_;
        changed_.notify_all();
    }
}

fleet_runner::progress fleet_runner::snapshot_locked() const {
    progress p;
    p.total = names_.size();
    p.done = done_;
    p.failed = failed_;
    const uint32_t now = core_.time.now_ms();
    for (const auto& s : slots_) {
        if (!s->running)
            continue;
        ++p.running;
        std::lock_guard lock(s->report.mutex_);
        const uint32_t ms = now - s->report.started_;
        if (p.slowest.empty() || ms > p.slowest_ms) {
            p.slowest = s->result.name;
            p.slowest_step = s->report.step_;
            p.slowest_ms = ms;
        }
    }
    return p;
}

std::vector<job_state> fleet_runner::states() const {
    std::lock_guard lock(mutex_);
    std::vector<job_state> out;
    out.reserve(slots_.size());
    for (size_t i = 0; i < slots_.size(); ++i) {
        const slot& s = *slots_[i];
        job_state st;
        st.name = names_[i];
        st.now = s.done      ? job_state::phase::done
                 : s.running ? job_state::phase::running
                             : job_state::phase::waiting;
        if (s.done)
            st.code = s.result.code;
        std::lock_guard report_lock(s.report.mutex_);
        st.step = s.report.step_;
        st.done = s.report.done_;
        st.total = s.report.total_;
        out.push_back(std::move(st));
    }
    return out;
}

int worst_code(const std::vector<amp_result>& results) {
    int worst = 0;
    for (const amp_result& r : results)
        worst = std::max(worst, r.code);
    return worst;
}

}  // namespace tavrin
