#include "app/tool_core.h"

#include <cstdio>
#include <cstdlib>

namespace tavrin {
namespace {

wrapper_options options_for(time_source& time) {
    wrapper_options options;
    options.time = &time;
    return options;
}

}  // namespace

tool_core::tool_core(session_events& shell, time_source& clock_source)
    : time(clock_source),
      wrapper(library, options_for(clock_source)),
      services(sessions, shell),
      discovery(wrapper, shell, clock_source) {
    wrapper.set_service_watch(&services);
    wrapper.set_amp_target(&sessions);
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

session_parts tool_core::session_parts_for() {
    // The send lines are the wrapper's level-2 diagnostics.
    return {time, wrapper.link(),
            [this](const std::string& line) { wrapper.wrapper_log(2, line); }};
}

void tool_core::stop() {
    wrapper.join_restart_thread();
    wrapper.dante_stop();
    wrapper.set_amp_target(nullptr);
}

}  // namespace tavrin
