#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loop_fixture.h"

namespace {

struct recorder {
    std::vector<std::string> calls;
};

struct sock_ctx {
    LoopTest* test;
    aud_event_loop_t* loop;
    std::vector<int>* order;
    int other = -1;  // a socket this callback removes, if any
    bool remove_self = false;
};

void on_socket(int sock, aud_socket_set_t set, int cause, void* user) {
    auto* ctx = static_cast<sock_ctx*>(user);
    EXPECT_EQ(cause, AUD_EVENT_CAUSE_READY);
    EXPECT_EQ(set, AUD_SOCKET_SET_READ);
    ctx->order->push_back(sock);
    char c;
    (void)!read(sock, &c, 1);
    if (ctx->remove_self) {
        EXPECT_EQ(aud_event_loop_watch_socket(ctx->loop, sock, set, nullptr, nullptr,
                                              AUD_WATCH_ADD_OR_CHANGE),
                  AUD_SUCCESS);
    }
    if (ctx->other >= 0) {
        aud_event_loop_watch_socket(ctx->loop, ctx->other, AUD_SOCKET_SET_READ, nullptr, nullptr,
                                    AUD_WATCH_ADD_OR_CHANGE);
    }
}

void noop_socket(int, aud_socket_set_t, int, void*) {}

TEST_F(LoopTest, WatchModesAndParameters) {
    int s = readable_socket();
    EXPECT_EQ(aud_event_loop_watch_socket(loop, s, AUD_SOCKET_SET_READ, noop_socket, nullptr,
                                          AUD_WATCH_CHANGE_ONLY),
              AUD_ERR_NOTFOUND);
    EXPECT_EQ(aud_event_loop_watch_socket(loop, s, AUD_SOCKET_SET_READ, noop_socket, nullptr,
                                          AUD_WATCH_ADD_ONLY),
              AUD_SUCCESS);
    EXPECT_EQ(aud_event_loop_watch_socket(loop, s, AUD_SOCKET_SET_READ, noop_socket, nullptr,
                                          AUD_WATCH_ADD_ONLY),
              AUD_ERR_ALREADY);
    EXPECT_EQ(aud_event_loop_watch_socket(loop, s, AUD_SOCKET_SET_READ, noop_socket, nullptr,
                                          AUD_WATCH_CHANGE_ONLY),
              AUD_SUCCESS);
    EXPECT_EQ(aud_event_loop_watch_count(loop, AUD_SOCKET_SET_READ), 1u);
    EXPECT_EQ(aud_event_loop_watch_socket(loop, s, static_cast<aud_socket_set_t>(3), noop_socket,
                                          nullptr, AUD_WATCH_ADD_OR_CHANGE),
              AUD_ERR_INVALIDPARAMETER);
    EXPECT_EQ(aud_event_loop_watch_socket(loop, -1, AUD_SOCKET_SET_READ, noop_socket, nullptr,
                                          AUD_WATCH_ADD_OR_CHANGE),
              AUD_ERR_INVALIDPARAMETER);
    // Same socket in another set is a separate watch.
    EXPECT_EQ(aud_event_loop_watch_socket(loop, s, AUD_SOCKET_SET_EXCEPTION, noop_socket, nullptr,
                                          AUD_WATCH_ADD_ONLY),
              AUD_SUCCESS);
    EXPECT_EQ(aud_event_loop_watch_socket(loop, s, AUD_SOCKET_SET_READ, nullptr, nullptr,
                                          AUD_WATCH_ADD_OR_CHANGE),
              AUD_SUCCESS);
    EXPECT_EQ(aud_event_loop_watch_count(loop, AUD_SOCKET_SET_READ), 0u);
    EXPECT_EQ(aud_event_loop_watch_count(loop, AUD_SOCKET_SET_EXCEPTION), 1u);
}

TEST_F(LoopTest, ReadySocketsAreCalledOnceAndConsumedFromTheSet) {
    std::vector<int> order;
    sock_ctx ctx{this, loop, &order};
    int a = readable_socket();
    int b = readable_socket();
    aud_event_loop_watch_socket(loop, a, AUD_SOCKET_SET_READ, on_socket, &ctx,
                                AUD_WATCH_ADD_OR_CHANGE);
    aud_event_loop_watch_socket(loop, b, AUD_SOCKET_SET_READ, on_socket, &ctx,
                                AUD_WATCH_ADD_OR_CHANGE);
    fd_set rd;
    FD_ZERO(&rd);
    int max_fd = 0;
    ASSERT_EQ(aud_event_loop_get_sockets(loop, &rd, nullptr, &max_fd, nullptr), AUD_SUCCESS);
    EXPECT_TRUE(FD_ISSET(a, &rd));
    EXPECT_TRUE(FD_ISSET(b, &rd));
    EXPECT_EQ(max_fd, std::max(a, b) + 1);
    ASSERT_EQ(aud_event_loop_process(loop, &rd, nullptr), AUD_SUCCESS);
    EXPECT_EQ(order, (std::vector<int>{a, b}));
    EXPECT_FALSE(FD_ISSET(a, &rd));
    EXPECT_FALSE(FD_ISSET(b, &rd));
    // Nothing left to read: a second pass calls nobody.
    ASSERT_EQ(pass(), AUD_SUCCESS);
    EXPECT_EQ(order.size(), 2u);
}

TEST_F(LoopTest, RemovalDuringAPass) {
    std::vector<int> order;
    int a = readable_socket();
    int b = readable_socket();
    int c = readable_socket();
    sock_ctx first{this, loop, &order, b, true};  // removes itself and b
    sock_ctx rest{this, loop, &order};
    aud_event_loop_watch_socket(loop, a, AUD_SOCKET_SET_READ, on_socket, &first,
                                AUD_WATCH_ADD_OR_CHANGE);
    aud_event_loop_watch_socket(loop, b, AUD_SOCKET_SET_READ, on_socket, &rest,
                                AUD_WATCH_ADD_OR_CHANGE);
    aud_event_loop_watch_socket(loop, c, AUD_SOCKET_SET_READ, on_socket, &rest,
                                AUD_WATCH_ADD_OR_CHANGE);
    ASSERT_EQ(pass(), AUD_SUCCESS);
    EXPECT_EQ(order, (std::vector<int>{a, c}));
    EXPECT_EQ(aud_event_loop_watch_count(loop, AUD_SOCKET_SET_READ), 1u);
    // The removed watches are really gone: new data on a and b wakes nobody.
    EXPECT_EQ(write(fds[1], "y", 1), 1);  // peer of a
    ASSERT_EQ(pass(), AUD_SUCCESS);
    EXPECT_EQ(order.size(), 2u);
}

TEST_F(LoopTest, LimitsOfASet) {
    EXPECT_EQ(
        aud_event_loop_watch_socket(loop, AUD_EVENT_LOOP_MAX_SOCKETS_PER_SET, AUD_SOCKET_SET_READ,
                                    noop_socket, nullptr, AUD_WATCH_ADD_OR_CHANGE),
        AUD_ERR_RANGE);
    // Socket numbers need not be open to be watched; fill the set completely.
    for (int s = 0; s < AUD_EVENT_LOOP_MAX_SOCKETS_PER_SET; ++s) {
        ASSERT_EQ(aud_event_loop_watch_socket(loop, s, AUD_SOCKET_SET_WRITE, noop_socket, nullptr,
                                              AUD_WATCH_ADD_OR_CHANGE),
                  AUD_SUCCESS);
    }
    EXPECT_EQ(aud_event_loop_watch_count(loop, AUD_SOCKET_SET_WRITE), 1024u);
    fd_set rd;
    fd_set wr;
    FD_ZERO(&rd);
    FD_ZERO(&wr);
    int max_fd = 0;
    ASSERT_EQ(aud_event_loop_get_sockets(loop, &rd, &wr, &max_fd, nullptr), AUD_SUCCESS);
    EXPECT_EQ(max_fd, 1024);
    EXPECT_TRUE(FD_ISSET(1023, &wr));
    EXPECT_FALSE(FD_ISSET(0, &rd));
    for (int s = 0; s < AUD_EVENT_LOOP_MAX_SOCKETS_PER_SET; ++s) {
        aud_event_loop_watch_socket(loop, s, AUD_SOCKET_SET_WRITE, nullptr, nullptr,
                                    AUD_WATCH_ADD_OR_CHANGE);
    }
}

struct timer_log {
    std::vector<std::string> fired;
    aud_event_loop_t* loop = nullptr;
    aud_timer_t* to_delete = nullptr;
};

void on_timer(aud_timer_t* timer, int cause, void*) {
    EXPECT_EQ(cause, AUD_TIMER_CAUSE_FIRED);
    auto* pair = static_cast<std::pair<timer_log*, std::string>*>(aud_timer_get_user(timer));
    pair->first->fired.push_back(pair->second);
    if (pair->first->to_delete) {
        aud_timer_delete(pair->first->to_delete);
        pair->first->to_delete = nullptr;
    }
}

TEST_F(LoopTest, WaitIsSixtySecondsZeroWithDeferredWorkAndCappedByTimers) {
    timeval tv = wait_now();
    EXPECT_EQ(tv.tv_sec, 60);
    EXPECT_EQ(tv.tv_usec, 0);

    timer_log log;
    std::pair<timer_log*, std::string> far{&log, "far"};
    aud_timer_t* t = nullptr;
    ASSERT_EQ(aud_timer_new(loop, on_timer, &far, &t), AUD_SUCCESS);
    ASSERT_EQ(aud_timer_start_ms(t, 90000, 0), AUD_SUCCESS);
    EXPECT_EQ(wait_now().tv_sec, 60);
    ASSERT_EQ(aud_timer_start_ms(t, 2500, 0), AUD_SUCCESS);
    tv = wait_now();
    EXPECT_EQ(tv.tv_sec, 2);
    EXPECT_EQ(tv.tv_usec, 500000);
    clock.advance_ms(3000);
    tv = wait_now();
    EXPECT_EQ(tv.tv_sec, 0);
    EXPECT_EQ(tv.tv_usec, 0);
    aud_timer_cancel(t);

    aud_defer_token_t token = 0;
    ASSERT_EQ(aud_event_loop_defer(
                  loop, [](void*) {}, nullptr, &token),
              AUD_SUCCESS);
    tv = wait_now();
    EXPECT_EQ(tv.tv_sec, 0);
    EXPECT_EQ(tv.tv_usec, 0);
    ASSERT_EQ(aud_event_loop_cancel_defer(loop, token), AUD_SUCCESS);
    EXPECT_EQ(wait_now().tv_sec, 60);
    EXPECT_EQ(aud_event_loop_cancel_defer(loop, token), AUD_ERR_NOTFOUND);
    aud_timer_delete(t);
}

TEST_F(LoopTest, TimersFireInDeadlineOrderOneShotAndPeriodic) {
    timer_log log;
    std::pair<timer_log*, std::string> a{&log, "a"}, b{&log, "b"}, p{&log, "p"};
    aud_timer_t *ta = nullptr, *tb = nullptr, *tp = nullptr;
    ASSERT_EQ(aud_timer_new(loop, on_timer, &a, &ta), AUD_SUCCESS);
    ASSERT_EQ(aud_timer_new(loop, on_timer, &b, &tb), AUD_SUCCESS);
    ASSERT_EQ(aud_timer_new(loop, on_timer, &p, &tp), AUD_SUCCESS);
    aud_timer_start_ms(ta, 300, 0);
    aud_timer_start_ms(tb, 100, 0);
    aud_timer_start_ms(tp, 200, 1000);

    clock.advance_ms(99);
    pass();
    EXPECT_TRUE(log.fired.empty());
    clock.advance_ms(251);  // t = 350: all three due, fired by deadline
    pass();
    EXPECT_EQ(log.fired, (std::vector<std::string>{"b", "p", "a"}));
    EXPECT_FALSE(aud_timer_is_armed(ta));
    EXPECT_TRUE(aud_timer_is_armed(tp));
    // Re-armed at the processing time plus the period.
    aud_utime_t deadline{};
    ASSERT_EQ(aud_timer_get_deadline(tp, &deadline), AUD_SUCCESS);
    EXPECT_EQ(aud_utime_compare(deadline, aud_utime_make(1001, 350000)), 0);

    log.fired.clear();
    clock.advance_ms(999);
    pass();
    EXPECT_TRUE(log.fired.empty());
    clock.advance_ms(1);
    pass();
    EXPECT_EQ(log.fired, (std::vector<std::string>{"p"}));
    // A late pass fires a periodic timer once, not once per missed period.
    clock.advance_ms(5500);
    pass();
    EXPECT_EQ(log.fired.size(), 2u);

    aud_timer_delete(ta);
    aud_timer_delete(tb);
    aud_timer_delete(tp);
}

TEST_F(LoopTest, TimerCallbacksMayDeleteTimersOfTheSamePass) {
    timer_log log;
    std::pair<timer_log*, std::string> a{&log, "a"}, b{&log, "b"};
    aud_timer_t *ta = nullptr, *tb = nullptr;
    aud_timer_new(loop, on_timer, &a, &ta);
    aud_timer_new(loop, on_timer, &b, &tb);
    aud_timer_start_ms(ta, 10, 10);
    aud_timer_start_ms(tb, 20, 0);
    log.to_delete = tb;  // a deletes b although b is due in the same pass
    clock.advance_ms(50);
    pass();
    EXPECT_EQ(log.fired, (std::vector<std::string>{"a"}));

    // A timer deleting itself from its own callback.
    log.to_delete = ta;
    clock.advance_ms(50);
    pass();
    EXPECT_EQ(log.fired.size(), 2u);
    clock.advance_ms(50);
    pass();
    EXPECT_EQ(log.fired.size(), 2u);
}

struct defer_state {
    aud_event_loop_t* loop;
    std::vector<std::string> events;
    int redefer = 0;
};

void defer_cb(void* user) {
    auto* st = static_cast<defer_state*>(user);
    st->events.push_back("defer");
    if (st->redefer-- > 0) {
        aud_event_loop_defer(st->loop, defer_cb, st, nullptr);
    }
}

TEST_F(LoopTest, DeferredWorkRunsOnceAndSelfDeferralWaitsForTheNextPass) {
    defer_state st{loop};
    st.redefer = 1;
    aud_event_loop_defer(loop, defer_cb, &st, nullptr);
    EXPECT_TRUE(aud_event_loop_has_deferred(loop));
    pass();
    EXPECT_EQ(st.events.size(), 1u);
    EXPECT_TRUE(aud_event_loop_has_deferred(loop));
    EXPECT_EQ(wait_now().tv_sec, 0);
    pass();
    EXPECT_EQ(st.events.size(), 2u);
    EXPECT_FALSE(aud_event_loop_has_deferred(loop));
    pass();
    EXPECT_EQ(st.events.size(), 2u);
}

struct phase_state {
    aud_event_loop_t* loop;
    std::vector<std::string> events;
};

void phase_defer(void* user) {
    static_cast<phase_state*>(user)->events.push_back("deferred");
}

void phase_timer(aud_timer_t* t, int, void*) {
    auto* st = static_cast<phase_state*>(aud_timer_get_user(t));
    st->events.push_back("timer");
    aud_event_loop_defer(st->loop, phase_defer, st, nullptr);
}

void phase_socket(int sock, aud_socket_set_t, int, void* user) {
    auto* st = static_cast<phase_state*>(user);
    char c;
    (void)!read(sock, &c, 1);
    st->events.push_back("socket");
}

TEST_F(LoopTest, PhasesRunInFixedOrder) {
    phase_state st{loop};
    int s = readable_socket();
    aud_event_loop_watch_socket(loop, s, AUD_SOCKET_SET_READ, phase_socket, &st,
                                AUD_WATCH_ADD_OR_CHANGE);
    aud_timer_t* t = nullptr;
    aud_timer_new(loop, phase_timer, &st, &t);
    aud_timer_start_ms(t, 0, 0);
    aud_event_loop_defer(loop, phase_defer, &st, nullptr);
    pass();
    // Deferred work queued by the timer runs in the same pass, after it.
    EXPECT_EQ(st.events, (std::vector<std::string>{"socket", "deferred", "timer", "deferred"}));
    aud_timer_delete(t);
}

struct nested {
    aud_event_loop_t* loop;
    aud_error_t result = AUD_SUCCESS;
    aud_error_t delete_result = AUD_SUCCESS;
    bool busy = false;
};

TEST_F(LoopTest, NestedProcessingIsRefused) {
    nested n{loop};
    aud_event_loop_defer(
        loop,
        [](void* user) {
            auto* st = static_cast<nested*>(user);
            st->busy = aud_event_loop_is_processing(st->loop);
            st->result = aud_event_loop_process(st->loop, nullptr, nullptr);
            st->delete_result = aud_event_loop_delete(st->loop);
        },
        &n, nullptr);
    EXPECT_FALSE(aud_event_loop_is_processing(loop));
    ASSERT_EQ(pass(), AUD_SUCCESS);
    EXPECT_TRUE(n.busy);
    EXPECT_EQ(n.result, AUD_ERR_INVALIDSTATE);
    EXPECT_EQ(n.delete_result, AUD_ERR_INVALIDSTATE);
    EXPECT_FALSE(aud_event_loop_is_processing(loop));
}

TEST(AudTime, AdditionCarriesMicroseconds) {
    aud_utime_t t = aud_utime_add(aud_utime_make(1, 999999), aud_utime_make(0, 2));
    EXPECT_EQ(t.tv_sec, 2);
    EXPECT_EQ(t.tv_usec, 1);
    aud_utime_t d = aud_utime_sub(aud_utime_make(2, 1), aud_utime_make(1, 999999));
    EXPECT_EQ(d.tv_sec, 0);
    EXPECT_EQ(d.tv_usec, 2);
    aud_utime_t neg = aud_utime_sub(aud_utime_make(1, 0), aud_utime_make(1, 1));
    EXPECT_LT(neg.tv_sec, 0);
    EXPECT_EQ(aud_utime_to_ms(aud_utime_from_ms(61001)), 61001);
}

}  // namespace
