#include "sites/fleet_jobs.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "app/service_report.h"
#include "firmware/firmware_update.h"
#include "presets/preset_batch.h"
#include "presets/preset_texts.h"
#include "protocol/catalogue.h"

namespace tavrin {

namespace {

// Frames leave at one per wake-up of the session.
constexpr uint32_t frame_pace_ms = 100;
// How often a waiting job looks at the interrupt and at its transfer.
constexpr uint32_t look_ms = 100;

std::string server_gone_line(const std::string& name) {
    return name + ": " + std::string(server_lost_text) + " (not back within " +
           std::to_string(amp_connection::server_return_ms / 1000) + " s)";
}

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& s : items)
        out += (out.empty() ? "" : ", ") + s;
    return out;
}

amp_result ended(const std::string& name, int code, std::string line) {
    amp_result r;
    r.name = name;
    r.code = code;
    r.lines.push_back(std::move(line));
    return r;
}

}  // namespace

int open_job(amp_connection& amp, const std::string& device, job_report& report, bool gate,
             std::string& line, uint32_t wait_ms) {
    report.step("waiting for its first answer");
    amp.open(device);
    if (!amp.wait_first_answer(wait_ms)) {
        if (amp.server_away()) {
            line = server_gone_line(device);
            return job_code::unreachable;
        }
        line = no_answer_text(device, amp.corrupted_answers());
        return job_code::no_answer;
    }
    if (gate && amp.firmware_refused()) {
        line =
            device + ": " + amp.info_text().value_or("firmware version error") + ", nothing sent";
        return job_code::firmware_gate;
    }
    return job_code::done;
}

amp_result load_preset_job(amp_connection& amp, const std::string& name, const param_block& block,
                           job_report& report) {
    if (report.interrupted())
        return ended(name, job_code::interrupted, name + ": nothing sent (interrupted)");
    report.step("loading the preset");
    // As the window's Load: one write past the gate, and the mirror takes the block.
    const frame_bytes frame = frames::parameter_write(block);
    if (amp.ring().ring_put_frame(frame.data(), frame.size()) != push_status::queued)
        return ended(name, job_code::no_answer, name + ": " + std::string(preset_text::queue_full));
    amp.params().replace(block);

    // An answer to a poll sent before the write may still come first; the one after
    // it is the amplifier's word.
    report.step("reading the preset back");
    std::vector<std::string> differences;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const uint32_t wait =
            static_cast<uint32_t>(amp.ring().waiting() + 1) * frame_pace_ms + job_answer_wait_ms;
        if (!amp.wait_next_answer(wait)) {
            if (amp.server_away())
                return ended(name, job_code::unreachable, server_gone_line(name));
            return ended(name, job_code::no_answer, name + ": no answer after the load");
        }
        differences = block_differences(block, amp.params().snapshot());
        if (differences.empty())
            break;
    }
    if (amp.firmware_refused()) {
        return ended(name, job_code::firmware_gate,
                     name + ": " + amp.info_text().value_or("firmware version error"));
    }
    if (!differences.empty()) {
        amp_result r =
            ended(name, job_code::disagrees, name + ": disagrees: " + joined(differences));
        std::string list;
        for (const std::string& d : differences)
            list += (list.empty() ? "\"" : ",\"") + d + "\"";
        r.fields.emplace_back("differences", "[" + list + "]");
        return r;
    }
    return ended(name, job_code::done, name + ": loaded, ok");
}

namespace {

// What the transfer tells, kept for the job (its reports come on the session's thread).
class transfer_watch : public amp_connection::update_sink {
  public:
    explicit transfer_watch(job_report& report) : report_(report) {}

    void running(bool) override {}
    void progress(uint32_t position, uint32_t total) override {
        std::lock_guard lock(mutex_);
        position_ = position;
        total_ = total;
        report_.fraction(position, total);
    }
    void status(const std::string& text) override {
        std::lock_guard lock(mutex_);
        if (text == update_fresh_start_text) {
            fresh_ = true;
            decided_ = true;
            report_.step("sending the image");
        } else if (text == update_sending_text && !decided_) {
            decided_ = true;
            resumed_at_ = position_;
            report_.step("sending the image (resumed)");
        } else if (text == update_check_resume_text && !decided_) {
            report_.step("asking for a resume point");
        }
    }

    // Where stopping leaves a page the next run resumes from: before this run started
    // the amplifier over, or right after a whole page.
    bool at_safe_point() const {
        std::lock_guard lock(mutex_);
        if (!fresh_)
            return position_ % 16 == 0 || !decided_;
        return position_ > 0 && position_ % 16 == 0;
    }
    uint32_t position() const {
        std::lock_guard lock(mutex_);
        return position_;
    }
    uint32_t total() const {
        std::lock_guard lock(mutex_);
        return total_;
    }
    // The block a resume went on from; 0 when this run started afresh.
    uint32_t resumed_at() const {
        std::lock_guard lock(mutex_);
        return resumed_at_;
    }

  private:
    job_report& report_;
    mutable std::mutex mutex_;
    uint32_t position_ = 0;
    uint32_t total_ = 0;
    uint32_t resumed_at_ = 0;
    bool fresh_ = false;
    bool decided_ = false;
};

}  // namespace

amp_result firmware_job(amp_connection& amp, const std::string& name,
                        const std::shared_ptr<const firmware_image>& image, job_report& report,
                        const firmware_job_options& options) {
    if (report.interrupted())
        return ended(name, job_code::interrupted, name + ": nothing sent (interrupted)");
    if (!amp.link().connect_flag())
        return ended(name, job_code::no_answer, name + ": not connected, nothing sent");

    // The transfer's closing boxes ("Update Finished.") become the result line.
    std::mutex said_mutex;
    std::string said;
    amp.on_question([&](const question& q) {
        std::lock_guard lock(said_mutex);
        said = q.text;
        return default_answer(q.buttons);
    });
    transfer_watch watch(report);
    amp.on_update(&watch);
    firmware_update update(update_parts{amp.session(), amp.events(), amp.time()});
    report.step("starting the transfer");
    if (!update.update_start(*image)) {
        amp.on_update(nullptr);
        amp.on_question({});
        return ended(name, job_code::update_failed, name + ": the image cannot be sent");
    }

    bool stopped = false;
    uint32_t waited_for_safe_point = 0;
    while (update.running()) {
        amp.wait_until([&] { return !update.running(); }, look_ms);
        if (!report.interrupted() || !update.running())
            continue;
        waited_for_safe_point += look_ms;
        if (watch.at_safe_point() || waited_for_safe_point >= options.safe_point_ms) {
            update.stop_transfer();
            stopped = true;
        }
    }
    // The session lets go of the transfer at its next wake-up; only then may it end.
    while (amp.link().updating())
        amp.wait_until([&] { return !amp.link().updating(); }, look_ms);
    amp.on_update(nullptr);
    amp.on_question({});

    const uint32_t total = watch.total();
    const uint32_t from = watch.resumed_at();
    const std::string resumed = from > 0 ? ", resumed at block " + std::to_string(from) : "";
    amp_result r;
    r.name = name;
    r.fields.emplace_back("blocks", std::to_string(total));
    r.fields.emplace_back("resumed_at", std::to_string(from));
    switch (update.result()) {
        case update_result::finished: {
            report.step("waiting for it to restart");
            std::string line = name + ": done (" + std::to_string(total) + " blocks" + resumed;
            if (amp.wait_next_answer(options.restart_wait_ms)) {
                char date[48];
                const amp_params& p = amp.params();
                std::snprintf(date, sizeof date, "; firmware date now %02u.%02u.%02u.%02u",
                              p.fw_year(), p.fw_month(), p.fw_day(), p.fw_hour());
                line += date;
            } else {
                line += "; no answer since";
            }
            r.code = job_code::done;
            r.lines.push_back(line + ")");
            return r;
        }
        case update_result::failed:
            r.code = job_code::update_failed;
            r.lines.push_back(name + ": failed (Update Failed." + resumed + ")");
            return r;
        case update_result::timeout:
            r.code = job_code::update_timeout;
            r.lines.push_back(name + ": timed out at block " + std::to_string(watch.position()) +
                              " of " + std::to_string(total) + resumed);
            return r;
        case update_result::stopped:
        case update_result::none:
            break;
    }
    (void)stopped;
    r.code = job_code::interrupted;
    r.lines.push_back(name + ": interrupted at block " + std::to_string(watch.position()) + " of " +
                      std::to_string(total) + resumed + " (run again to resume)");
    return r;
}

}  // namespace tavrin
