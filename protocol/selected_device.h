#pragma once
// The selected amplifier's name, and the copy of it that received messages are
// matched against. It has its own lock: the network thread matches while others read.
#include <array>
#include <cstdint>
#include <mutex>
#include <string>

namespace tavrin {

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
