#include "cli/interrupt.h"

#include <signal.h>

#include <atomic>

namespace tavrin::cli {
namespace {

std::atomic<bool> caught{false};

void on_interrupt(int) {
    caught.store(true);
}

}  // namespace

void catch_interrupts() {
    struct sigaction sa {};
    sa.sa_handler = on_interrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool interrupted() {
    return caught.load();
}

}  // namespace tavrin::cli
