#include "app/core/tool_core.h"

#include <cstdio>
#include <cstdlib>

#include "app/core/answer_apply.h"
#include "app/core/send_report.h"

namespace tavrin {
namespace {

wrapper_options options_for(time_source& time) {
    wrapper_options options;
    options.time = &time;
    return options;
}

}  // namespace

tool_core::tool_core(time_source& clock_source)
    : time(clock_source),
      wrapper(library, options_for(clock_source)),
      // The send lines are the wrapper's level-2 diagnostics.
      sender(wrapper.link(), device,
             [this](const std::string& line) { wrapper.wrapper_log(2, line); }),
      receiver(device, mailbox, clock_source),
      worker(worker_parts{flags, device, ring, mailbox, relay, clock_source, *this, *this, nullptr,
                          [this] { wrapper.set_amp_target(&receiver); }}) {
    wrapper.set_service_watch(&services);
    // The wrapper's diagnostic lines go to standard error when asked for.
    if (std::getenv("TAVRIN_DEBUG") != nullptr) {
        // Each line carries the milliseconds since the core was made, for timing.
        const uint32_t start = clock_source.now_ms();
        wrapper.set_log_trace([start, &clock_source](int level, const std::string& text) {
            std::fprintf(stderr, "%6u [%d] %s\n", clock_source.now_ms() - start, level,
                         text.c_str());
        });
    }
}

tool_core::~tool_core() {
    stop();
}

bool tool_core::start_worker() {
    return worker.start();
}

void tool_core::stop() {
    worker.stop();
    wrapper.set_amp_target(nullptr);
    wrapper.join_restart_thread();
    wrapper.dante_stop();
}

page_context tool_core::pages() {
    return {flags, device, ring, params, relay, time, shared, work_dir, firmware, &wrapper};
}

void tool_core::send_frame(const uint8_t* frame, size_t size) {
    report_send(sender.send_frame(frame, size), relay);
}

void tool_core::parse_answer(const uint8_t* buffer, size_t length) {
    if (const auto answer = parser.parse_answer(buffer, length))
        apply_answer(*answer, {params, flags, device, relay});
}

void tool_core::clear_params() {
    params.clear_params();
}

}  // namespace tavrin
