#pragma once
// The wrapper's diagnostic log: numbered levels (2 = the user-facing steps, 4 =
// callback detail) handed to one sink. Every part writes to it from whichever thread
// it runs on, so the sink is called under a lock of its own (a leaf: never call the
// library or take another lock from a sink).
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

namespace tavrin {

class wrapper_logger {
  public:
    using sink_fn = std::function<void(int level, const std::string& text)>;

    void set_sink(sink_fn sink) {
        std::lock_guard lock(mutex_);
        sink_ = std::move(sink);
    }

    void write(int level, const std::string& text) const {
        std::lock_guard lock(mutex_);
        if (sink_)
            sink_(level, text);
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
};

}  // namespace tavrin
