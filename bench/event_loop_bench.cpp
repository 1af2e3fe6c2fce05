// Cost of one event-loop pass per ready socket: N socket pairs, each with a datagram
// waiting; one get_sockets + select + process pass reads them all.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "dante/runtime/aud_event_loop.h"

namespace {

struct pairs {
    std::vector<int> ends;  // even: watched end, odd: writer
};

void drain(int sock, aud_socket_set_t, int, void*) {
    char buf[16];
    (void)!recv(sock, buf, sizeof buf, MSG_DONTWAIT);
}

void BM_LoopPassPerReadySocket(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    aud_event_loop_t* loop = nullptr;
    aud_event_loop_new(nullptr, &loop);
    pairs p;
    for (int i = 0; i < n; ++i) {
        int sv[2];
        if (socketpair(AF_UNIX, SOCK_DGRAM, 0, sv) != 0) {
            state.SkipWithError("socketpair failed");
            return;
        }
        p.ends.push_back(sv[0]);
        p.ends.push_back(sv[1]);
        aud_event_loop_watch_socket(loop, sv[0], AUD_SOCKET_SET_READ, drain, nullptr,
                                    AUD_WATCH_ADD_OR_CHANGE);
    }
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < n; ++i) {
            (void)!write(p.ends[2 * i + 1], "x", 1);
        }
        state.ResumeTiming();
        fd_set rd;
        FD_ZERO(&rd);
        int max_fd = 0;
        timeval tv{};
        aud_event_loop_get_sockets(loop, &rd, nullptr, &max_fd, &tv);
        timeval zero{};
        select(max_fd, &rd, nullptr, nullptr, &zero);
        aud_event_loop_process(loop, &rd, nullptr);
    }
    state.SetItemsProcessed(state.iterations() * n);
    for (int fd : p.ends) {
        close(fd);
    }
    aud_event_loop_delete(loop);
}
BENCHMARK(BM_LoopPassPerReadySocket)->Arg(1)->Arg(16)->Arg(128)->Arg(500);

void noop_timer(aud_timer_t*, int, void*) {}

// Timer bookkeeping: re-arming a periodic timer that fires every pass.
void BM_TimerFirePass(benchmark::State& state) {
    aud_event_loop_t* loop = nullptr;
    aud_event_loop_new(nullptr, &loop);
    std::vector<aud_timer_t*> timers(static_cast<size_t>(state.range(0)));
    for (auto& t : timers) {
        aud_timer_new(loop, noop_timer, nullptr, &t);
        aud_timer_start_ms(t, 0, 0);
    }
    for (auto _ : state) {
        for (auto* t : timers) {
            aud_timer_start_ms(t, 0, 0);
        }
        aud_event_loop_process(loop, nullptr, nullptr);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    for (auto* t : timers) {
        aud_timer_delete(t);
    }
    aud_event_loop_delete(loop);
}
BENCHMARK(BM_TimerFirePass)->Arg(1)->Arg(100);

}  // namespace
