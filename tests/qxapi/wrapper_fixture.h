#pragma once
// A wrapper over the scripted library, with its log captured and a clock whose
// sleeps run the library's pending completions (as the socket thread would during
// the sleep), so that single-threaded tests see answers arrive while a part waits.
// Tests drive the parts (host, nodes, link) directly, as the library's callbacks do.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fake_library.h"
#include "qxapi/dante_wrapper.h"

namespace tavrin::testing {

class pumping_time : public time_source {
  public:
    explicit pumping_time(fake_library& lib) : lib_(lib) {}
    uint32_t now_ms() override { return now_.load(); }
    void sleep_ms(uint32_t ms) override {
        now_.fetch_add(ms);
        if (pump)
            lib_.runtime_process_sockets(nullptr, nullptr, nullptr);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    // Off: sleeps are real, for tests where the socket thread runs the completions.
    bool pump = true;

  private:
    fake_library& lib_;
    std::atomic<uint32_t> now_{0};
};

class wrapper_test : public ::testing::Test {
  protected:
    wrapper_test()
        : time(lib),
          wrapper(lib, options()),
          host(wrapper.host()),
          nodes(wrapper.node_list()),
          link(wrapper.link()) {
        lib.events = host.events();
        wrapper.set_log_sink([this](int level, const std::string& text) {
            std::lock_guard lock(log_mutex);
            log.push_back(std::to_string(level) + " " + text);
        });
    }

    wrapper_options options() {
        wrapper_options o;
        o.time = &time;
        return o;
    }

    bool logged(const std::string& text) const {
        std::lock_guard lock(log_mutex);
        return std::any_of(log.begin(), log.end(), [&](const std::string& line) {
            return line.size() >= 2 && line.substr(2) == text;
        });
    }
    // Lines of this level, without the level.
    std::vector<std::string> lines(int level) const {
        std::lock_guard lock(log_mutex);
        std::vector<std::string> out;
        const std::string prefix = std::to_string(level) + " ";
        for (const std::string& line : log) {
            if (line.rfind(prefix, 0) == 0)
                out.push_back(line.substr(prefix.size()));
        }
        return out;
    }

    // The browse reports a device.
    fake_library::browse_node* browse_adds(const std::string& name) {
        fake_library::browse_node* node = lib.add_browse_node(name);
        db_node_ref_t ref{DB_NODE_KIND_DEVICE, fake_library::as_db(node)};
        nodes.on_browse_node(nullptr, &ref, DB_NODE_CHANGE_ADDED);
        return node;
    }
    void browse_removes(fake_library::browse_node* node) {
        db_node_ref_t ref{DB_NODE_KIND_DEVICE, fake_library::as_db(node)};
        nodes.on_browse_node(nullptr, &ref, DB_NODE_CHANGE_REMOVED);
    }
    // The device reaches ACTIVE and reports the state change.
    void becomes_active(const std::string& name) {
        lib.device_named(name)->state = DR_DEVICE_STATE_ACTIVE;
        nodes.on_device_changed(lib.handle_of(name), DR_DEVICE_CHANGE_STATE);
    }
    const node_summary* summary(const std::string& name) {
        summaries = wrapper.nodes();
        for (const node_summary& s : summaries) {
            if (s.name == name)
                return &s;
        }
        return nullptr;
    }

    fake_library lib;
    pumping_time time;
    dante_wrapper wrapper;
    runtime_host& host;
    device_node_list& nodes;
    conmon_link& link;
    mutable std::mutex log_mutex;
    std::vector<std::string> log;
    std::vector<node_summary> summaries;
};

}  // namespace tavrin::testing
