#include "platform/time_source.h"

#include <chrono>
#include <thread>

namespace tavrin {
namespace {

class steady_time : public time_source {
  public:
    uint32_t now_ms() override {
        using namespace std::chrono;
        auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
        return static_cast<uint32_t>(ms);
    }
    void sleep_ms(uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    bool wait_for(std::condition_variable& changed, std::unique_lock<std::mutex>& lock, uint32_t ms,
                  const std::function<bool()>& done) override {
        return changed.wait_for(lock, std::chrono::milliseconds(ms), done);
    }
};

}  // namespace

bool time_source::wait_for(std::condition_variable&, std::unique_lock<std::mutex>& lock,
                           uint32_t ms, const std::function<bool()>& done) {
    // A sleep first: on a test clock it is what lets the other side move.
    const uint32_t start = now_ms();
    do {
        lock.unlock();
        sleep_ms(1);
        lock.lock();
        if (done())
            return true;
    } while (now_ms() - start < ms);
    return false;
}

time_source& system_time() {
    static steady_time instance;
    return instance;
}

}  // namespace tavrin
