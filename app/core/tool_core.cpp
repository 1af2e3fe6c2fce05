#include "app/core/tool_core.h"

#include <cstdio>
#include <cstdlib>

namespace tavrin {
namespace {

wrapper_options options_for(time_source& time, ui_port& ui) {
    wrapper_options options;
    options.time = &time;
    options.ui = &ui;
    return options;
}

}  // namespace

void wrapper_discovery::restart_runtime() {
    wrapper_.start_restart_thread();
}

std::vector<std::string> wrapper_discovery::end_of_scan(brand_rule rule) {
    // The end step assumes the new runtime is up; never meet a half-built one.
    wrapper_.join_restart_thread();
    return end_of_discovery(wrapper_, rule);
}

std::vector<std::string> wrapper_discovery::refill(brand_rule rule) {
    wrapper_.ping_all();
    return fill_device_list(wrapper_, rule);
}

void wrapper_discovery::select_interfaces(uint32_t primary, uint32_t secondary) {
    wrapper_.reset_interfaces();
    wrapper_.select_interfaces(primary, secondary);
}

tool_core::tool_core(time_source& clock_source)
    : time(clock_source),
      wrapper(library, options_for(clock_source, relay)),
      // The send lines are the wrapper's level-2 diagnostics.
      sender(wrapper, device, relay,
             [this](const std::string& line) { wrapper.wrapper_log(2, line); }),
      receiver(device, mailbox, clock_source),
      parser(params, flags, device, relay),
      worker(worker_parts{
          flags, device, ring, mailbox, relay, clock_source, *this, *this, nullptr, [this] {
              wrapper.set_amp_target([this](const char* from, const uint8_t* body, size_t size) {
                  receiver.on_amp_message(from, body, size);
              });
          }}) {
    // The wrapper's diagnostic lines go to standard error when asked for.
    if (std::getenv("TAVRIN_DEBUG") != nullptr) {
        wrapper.set_log_sink([](int level, const std::string& text) {
            std::fprintf(stderr, "[%d] %s\n", level, text.c_str());
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
    wrapper.set_amp_target({});
    wrapper.join_restart_thread();
    wrapper.dante_stop();
}

void tool_core::send_frame(const uint8_t* frame, size_t size) {
    sender.send_frame(frame, size);
}

void tool_core::parse_answer(const uint8_t* buffer, size_t length) {
    parser.parse_answer(buffer, length);
}

void tool_core::clear_params() {
    params.clear_params();
}

}  // namespace tavrin
