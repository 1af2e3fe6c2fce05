#pragma once
// The wrapper's diagnostic log. Its levels: 1 clears the log, 2 appends a line (at most
// 128 characters), every other level is discarded; without a sink nothing happens.
// Every part writes to it from whichever thread it runs on, so the sinks are called
// under a lock of their own (a leaf: never call the library or take another lock from
// a sink). A trace sink, for diagnosing the tool itself, sees every level unfiltered.
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

#include "platform/utf8.h"

namespace tavrin {

class wrapper_logger {
  public:
    static constexpr size_t max_line_chars = 128;

    // Receives the level-2 lines (sink) and the level-1 clear (clear).
    using sink_fn = std::function<void(const std::string& text)>;
    using clear_fn = std::function<void()>;
    using trace_fn = std::function<void(int level, const std::string& text)>;

    void set_sink(sink_fn sink, clear_fn clear = {}) {
        std::lock_guard lock(mutex_);
        sink_ = std::move(sink);
        clear_ = std::move(clear);
    }
    void set_trace(trace_fn trace) {
        std::lock_guard lock(mutex_);
        trace_ = std::move(trace);
    }

    void write(int level, const std::string& text) const {
        std::lock_guard lock(mutex_);
        if (trace_)
            trace_(level, text);
        if (level == 1 && clear_)
            clear_();
        else if (level == 2 && sink_)
            sink_(first_chars(text, max_line_chars));
    }

    // `format` holds one %s, filled with the library's error text.
    void write_error(int level, const char* format, const std::string& error_text) const {
        char line[600];
        std::snprintf(line, sizeof line, format, error_text.c_str());
        write(level, line);
    }

  private:
    mutable std::mutex mutex_;
    sink_fn sink_;
    clear_fn clear_;
    trace_fn trace_;
};

}  // namespace tavrin
