#pragma once
// The text of the discovery scan window: "Discovering." when it opens, then one more
// dot per second up to three, and round again.
#include <string>

namespace tavrin {

constexpr int scan_timer_id = 1000;
constexpr int scan_timer_period_ms = 1000;

class scan_text_cycle {
  public:
    std::string text() const;
    void tick() { step_ = (step_ + 1) % 3; }

  private:
    int step_ = 0;  // dots - 1
};

}  // namespace tavrin
