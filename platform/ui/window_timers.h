#pragma once
// Window timers with fixed ids: one QTimer per id, owned by its window, so a window's
// timers end with it. Setting a running id restarts it with the new period.
#include <QObject>
#include <QTimer>
#include <functional>
#include <map>

namespace tavrin {

class window_timers {
  public:
    explicit window_timers(QObject* owner) : owner_(owner) {}

    void set_timer(int id, int period_ms, std::function<void()> tick);
    void kill_timer(int id);
    bool running(int id) const;
    int period(int id) const;
    // Runs the tick as if the timer had fired (tests step timers this way).
    void fire(int id);

  private:
    struct entry {
        QTimer* timer = nullptr;
        std::function<void()> tick;
    };
    QObject* owner_;
    std::map<int, entry> timers_;
};

}  // namespace tavrin
