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
};

}  // namespace

time_source& system_time() {
    static steady_time instance;
    return instance;
}

}  // namespace tavrin
