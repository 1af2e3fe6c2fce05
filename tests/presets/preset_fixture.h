#pragma once
// A page context over a fresh temporary work directory, with an events port that
// records log lines and questions and answers them from a script.
#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/page_context.h"
#include "presets/file_layer.h"
#include "tests/support/session_fakes.h"

namespace tavrin::testing {

class scripted_events : public session_events {
  public:
    void log_line(const std::string& text) override { logs.push_back(text); }
    box_answer ask(const question& q) override {
        questions.push_back(q);
        if (answers.empty())
            return default_answer(q.buttons);
        box_answer a = answers.front();
        answers.pop_front();
        return a;
    }

    std::vector<std::string> logs;
    std::vector<question> questions;
    std::deque<box_answer> answers;
};

using bytes = std::vector<uint8_t>;

inline bytes read_bytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void write_bytes(const std::filesystem::path& p, const bytes& b) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// Everything below `root`, relative, sorted: to prove nothing was written elsewhere.
inline std::vector<std::string> tree_of(const std::filesystem::path& root) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root))
        out.push_back(std::filesystem::relative(e.path(), root).string());
    std::sort(out.begin(), out.end());
    return out;
}

class preset_fixture : public ::testing::Test {
  protected:
    preset_fixture() {
        root = std::filesystem::temp_directory_path() /
               ("tavrin-presets-" + std::to_string(::getpid()) + "-" + std::to_string(next_dir++));
        work = root / "work";
        std::filesystem::create_directories(work);
        ctx.work_dir = work.string();
    }
    ~preset_fixture() override {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }

    std::filesystem::path preset_dir() const { return work / "Preset"; }

    // The amplifier connects (its connecting poll already sent), the mirror as it was.
    void connect() {
        const param_block kept = params.snapshot();
        testing::open_session(bench.session, bench.time);
        params.replace(kept);
    }
    // Its firmware is refused: a full answer from firmware too old for the tool.
    void gate() {
        const bytes old = testing::full_answer(0, 21, 11, 17, 0);
        bench.session.on_amp_message("Amp-1", old.data(), old.size());
        bench.step();
    }

    std::filesystem::path root, work;
    testing::session_bench bench{false};
    command_ring& ring = bench.session.outbox();
    amp_params& params = bench.session.params();
    scripted_events events;
    fake_time& time = bench.time;
    page_shared shared;
    page_context ctx = session_context(bench.session, events, time, shared, "");

  private:
    static inline int next_dir = 0;
};

// The real file layer, except that writers give up after `budget` bytes, as on a
// disk that fills up half-way; or no file can be created at all.
class failing_files : public file_layer {
  public:
    size_t budget = 0;
    bool refuse_create = false;
    std::vector<std::string> temporaries;

    file_kind kind_of(const std::string& p) override { return real().kind_of(p); }
    bool make_folder(const std::string& p) override { return real().make_folder(p); }
    std::vector<std::string> plain_files(const std::string& f) override {
        return real().plain_files(f);
    }
    std::optional<bytes> read_file(const std::string& p, size_t limit) override {
        return real().read_file(p, limit);
    }
    std::unique_ptr<file_writer> create_temporary(const std::string& folder) override {
        if (refuse_create)
            return nullptr;
        auto inner = real().create_temporary(folder);
        if (inner)
            temporaries.push_back(inner->path());
        return inner ? std::make_unique<short_writer>(std::move(inner), budget) : nullptr;
    }
    bool rename_over(const std::string& a, const std::string& b) override {
        return real().rename_over(a, b);
    }
    bool remove_file(const std::string& p) override { return real().remove_file(p); }
    void remove_stale_temporaries(const std::string& f) override {
        real().remove_stale_temporaries(f);
    }

  private:
    class short_writer : public file_writer {
      public:
        short_writer(std::unique_ptr<file_writer> inner, size_t budget)
            : inner_(std::move(inner)), budget_(budget) {}
        const std::string& path() const override { return inner_->path(); }
        bool write_all(const uint8_t* b, size_t n) override {
            const size_t part = std::min(n, budget_);
            inner_->write_all(b, part);
            budget_ -= part;
            return part == n;
        }
        bool flush() override { return inner_->flush(); }
        bool close() override { return inner_->close(); }

      private:
        std::unique_ptr<file_writer> inner_;
        size_t budget_;
    };
    static file_layer& real() { return system_files(); }
};

}  // namespace tavrin::testing
