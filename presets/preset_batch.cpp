#include "presets/preset_batch.h"

namespace tavrin {
namespace {

// Keeps the log lines and answers the questions as a command line must: a yes-or-no
// question by --yes, every other by its safe answer.
class batch_events : public session_events {
  public:
    batch_events(bool yes, batch_report& report) : yes_(yes), report_(report) {}

    void log_line(const std::string& text) override { report_.logs.push_back(text); }
    box_answer ask(const question& q) override {
        if (q.buttons != box_buttons::yes_no) {
            report_.notices.push_back(q);
            return default_answer(q.buttons);
        }
        if (yes_)
            return box_answer::yes;
        report_.refused.push_back(q);
        return box_answer::no;
    }

  private:
    bool yes_;
    batch_report& report_;
};

}  // namespace

batch_report run_preset_action(page_context& ctx, batch_action action, std::string_view name,
                               bool yes, file_layer& files) {
    batch_report report;
    batch_events events(yes, report);
    page_context quiet{ctx.flags,  ctx.device,   ctx.ring,     ctx.params,  events,     ctx.time,
                       ctx.shared, ctx.work_dir, ctx.firmware, ctx.wrapper, ctx.session};
    preset_actions actions(quiet, files);
    switch (action) {
        case batch_action::load:
            report.outcome = actions.load(name);
            break;
        case batch_action::remove:
            report.outcome = actions.remove(name);
            break;
        case batch_action::save:
            report.outcome = actions.save(name);
            break;
        case batch_action::save_as:
            report.outcome = actions.save_as(name);
            break;
    }
    return report;
}

std::vector<std::string> block_differences(const param_block& written,
                                           const param_block& answered) {
    const size_t date_at = field_def(param_field::fw_year).offset;
    std::vector<bool> named(amp_params_size, false);
    std::vector<std::string> out;
    for (const param_field_def& f : param_field_table) {
        const size_t end = size_t{f.offset} + size_t{f.width} * f.count;
        bool differs = false;
        for (size_t i = f.offset; i < end && i < amp_params_size; ++i) {
            named[i] = true;
            differs = differs || (i < date_at && written[i] != answered[i]);
        }
        if (differs)
            out.emplace_back(f.name);
    }
    for (size_t i = 0; i < date_at; ++i) {
        if (!named[i] && written[i] != answered[i])
            out.push_back("byte " + std::to_string(i));
    }
    return out;
}

}  // namespace tavrin
