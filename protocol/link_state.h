#pragma once
// The connection flags and counters shared by the UI thread, the worker and the
// answer parser, and the selected amplifier's name. Flags are atomics so that every
// use reads them fresh; the name has its own lock.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace tavrin {

struct link_flags {
    std::atomic<bool> run_flag{false};
    std::atomic<bool> connect_flag{false};
    std::atomic<bool> probe_flag{false};
    std::atomic<bool> link_open{false};
    std::atomic<bool> disconnect_request{false};
    std::atomic<bool> update_mode{false};
    std::atomic<bool> version_gate{false};
    std::atomic<uint32_t> missed_polls{0};
};

// The selected amplifier's Dante name (UTF-8, cut at 31 characters on every path into
// it, never inside a character) and the 32-byte
// copy of it that received messages are matched against. The copy is renewed by the
// connect transition, at start-up and after a rename.
class selected_device {
  public:
    static constexpr size_t max_name = 31;

    void set_name(const std::string& name);
    std::string name() const;
    bool empty() const;

    // Copies the name into the 32-byte buffer (cut at 31 bytes, zero-filled).
    void renew_copy();
    std::string copy() const;
    // Exact, case-sensitive comparison with the 32-byte copy.
    bool matches_copy(const char* sender) const;

  private:
    mutable std::mutex mutex_;
    std::string name_;
    std::array<char, 32> copy_{};
};

}  // namespace tavrin
