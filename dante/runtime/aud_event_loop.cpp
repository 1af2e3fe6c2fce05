#include "dante/runtime/aud_event_loop.h"

#include <algorithm>
#include <new>
#include <set>
#include <tuple>
#include <vector>

namespace {

constexpr int set_count = 3;

struct watch {
    int sock;
    aud_socket_fn* callback;
    void* user;
    bool removed;
};

enum class phase { idle, sockets, deferred_first, timers, deferred_again };

struct deferred {
    aud_defer_token_t token;
    aud_defer_fn* callback;
    void* user;
    phase added_in;
    bool cancelled;
};

struct timer_key {
    aud_utime_t deadline;
    uint64_t seq;
    aud_timer_t* timer;
    bool operator<(const timer_key& o) const {
        int c = aud_utime_compare(deadline, o.deadline);
        if (c != 0) {
            return c < 0;
        }
        return seq < o.seq;
    }
};

}  // namespace

struct aud_timer {
    aud_event_loop_t* loop;
    aud_timer_fn* callback;
    void* user;
    bool armed;
    bool deleted;
    aud_utime_t deadline;
    aud_utime_t period;  // zero: one-shot
    uint64_t seq;        // changes on every arming, so stale entries are recognised
};

struct aud_event_loop {
    aud_log_t* log = nullptr;
    aud_clock_fn* clock = aud_clock_system;
    void* clock_user = nullptr;
    std::vector<watch*> watches[set_count];
    std::vector<watch*> removed_watches;
    std::set<timer_key> armed;
    std::vector<aud_timer_t*> timers;
    std::vector<aud_timer_t*> deleted_timers;
    std::vector<deferred> pending;
    std::vector<deferred> running;
    aud_defer_token_t next_token = 1;
    uint64_t next_seq = 1;
    phase current = phase::idle;
};

namespace {

watch* find_watch(const aud_event_loop_t* loop, int sock, int set) {
    for (watch* w : loop->watches[set]) {
        if (!w->removed && w->sock == sock) {
            return w;
        }
    }
    return nullptr;
}

size_t live_count(const aud_event_loop_t* loop, int set) {
    return static_cast<size_t>(std::count_if(loop->watches[set].begin(), loop->watches[set].end(),
                                             [](const watch* w) { return !w->removed; }));
}

void remove_watch(aud_event_loop_t* loop, int set, watch* w) {
    w->removed = true;
    w->callback = nullptr;
    if (loop->current != phase::idle) {
        // The pass may still be walking this list; free it afterwards.
        loop->removed_watches.push_back(w);
        return;
    }
    auto& list = loop->watches[set];
    list.erase(std::find(list.begin(), list.end(), w));
    delete w;
}

void disarm(aud_timer_t* t) {
    if (t->armed) {
        t->loop->armed.erase(timer_key{t->deadline, t->seq, t});
        t->armed = false;
    }
}

void arm(aud_timer_t* t, aud_utime_t deadline) {
    disarm(t);
    t->deadline = deadline;
    t->seq = t->loop->next_seq++;
    t->armed = true;
    t->loop->armed.insert(timer_key{deadline, t->seq, t});
}

bool is_zero(const aud_utime_t& t) {
    return t.tv_sec == 0 && t.tv_usec == 0;
}

bool negative(const aud_utime_t& t) {
    return t.tv_sec < 0;
}

void run_deferred(aud_event_loop_t* loop, phase step, bool only_outside_deferred) {
    loop->current = step;
    loop->running.clear();
    std::vector<deferred> keep;
    for (deferred& d : loop->pending) {
        if (only_outside_deferred && d.added_in == phase::deferred_first) {
            keep.push_back(d);
        } else {
            loop->running.push_back(d);
        }
    }
    loop->pending.swap(keep);
    // Index access: cancel may mark entries of running while we walk it.
    for (size_t i = 0; i < loop->running.size(); ++i) {
        deferred d = loop->running[i];
        if (!d.cancelled) {
            loop->running[i].cancelled = true;
            d.callback(d.user);
        }
    }
    loop->running.clear();
}

void run_timers(aud_event_loop_t* loop) {
    loop->current = phase::timers;
    aud_utime_t now = aud_event_loop_now(loop);
    std::vector<timer_key> due;
    for (const timer_key& k : loop->armed) {
        if (aud_utime_compare(k.deadline, now) > 0) {
            break;
        }
        due.push_back(k);
    }
    for (const timer_key& k : due) {
        aud_timer_t* t = k.timer;
        // Cancelled, re-armed or deleted by an earlier callback of this step.
        if (t->deleted || !t->armed || t->seq != k.seq) {
            continue;
        }
        if (is_zero(t->period)) {
            disarm(t);
        } else {
            arm(t, aud_utime_add(now, t->period));
        }
        t->callback(t, AUD_TIMER_CAUSE_FIRED, t->user);
    }
}

void free_removed(aud_event_loop_t* loop) {
    for (watch* w : loop->removed_watches) {
        for (auto& list : loop->watches) {
            auto it = std::find(list.begin(), list.end(), w);
            if (it != list.end()) {
                list.erase(it);
                break;
            }
        }
        delete w;
    }
    loop->removed_watches.clear();
    for (aud_timer_t* t : loop->deleted_timers) {
        delete t;
    }
    loop->deleted_timers.clear();
}

}  // namespace

aud_error_t aud_event_loop_new(aud_log_t* log, aud_event_loop_t** out) {
    if (!out) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    *out = nullptr;
    aud_event_loop_t* loop = new (std::nothrow) aud_event_loop;
    if (!loop) {
        return AUD_ERR_NOMEMORY;
    }
    loop->log = log;
    *out = loop;
    return AUD_SUCCESS;
}

aud_error_t aud_event_loop_delete(aud_event_loop_t* loop) {
    if (!loop) {
        return AUD_SUCCESS;
    }
    if (loop->current != phase::idle) {
        return AUD_ERR_INVALIDSTATE;
    }
    for (auto& list : loop->watches) {
        for (watch* w : list) {
            delete w;
        }
    }
    for (aud_timer_t* t : loop->timers) {
        delete t;
    }
    delete loop;
    return AUD_SUCCESS;
}

void aud_event_loop_set_clock(aud_event_loop_t* loop, aud_clock_fn* fn, void* user) {
    if (!loop) {
        return;
    }
    loop->clock = fn ? fn : aud_clock_system;
    loop->clock_user = fn ? user : nullptr;
}

aud_utime_t aud_event_loop_now(const aud_event_loop_t* loop) {
    aud_utime_t now{};
    if (loop) {
        loop->clock(&now, loop->clock_user);
    } else {
        aud_clock_system(&now, nullptr);
    }
    return now;
}

aud_error_t aud_event_loop_watch_socket(aud_event_loop_t* loop, int sock, aud_socket_set_t set,
                                        aud_socket_fn* callback, void* user,
                                        aud_watch_mode_t mode) {
    if (!loop || sock < 0 || set < 0 || set >= set_count || mode < AUD_WATCH_ADD_OR_CHANGE ||
        mode > AUD_WATCH_ADD_ONLY) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    watch* w = find_watch(loop, sock, set);
    if (mode == AUD_WATCH_CHANGE_ONLY && !w) {
        return AUD_ERR_NOTFOUND;
    }
    if (mode == AUD_WATCH_ADD_ONLY && w) {
        return AUD_ERR_ALREADY;
    }
    if (!callback) {
        if (w) {
            remove_watch(loop, set, w);
        }
        return AUD_SUCCESS;
    }
    if (w) {
        w->callback = callback;
        w->user = user;
        return AUD_SUCCESS;
    }
    // fd_set is a bitmap of FD_SETSIZE bits; a larger number would write past it.
    if (sock >= AUD_EVENT_LOOP_MAX_SOCKETS_PER_SET || sock >= FD_SETSIZE ||
        live_count(loop, set) >= AUD_EVENT_LOOP_MAX_SOCKETS_PER_SET) {
        return AUD_ERR_RANGE;
    }
    watch* added = new (std::nothrow) watch{sock, callback, user, false};
    if (!added) {
        return AUD_ERR_NOMEMORY;
    }
    loop->watches[set].push_back(added);
    return AUD_SUCCESS;
}

size_t aud_event_loop_watch_count(const aud_event_loop_t* loop, aud_socket_set_t set) {
    if (!loop || set < 0 || set >= set_count) {
        return 0;
    }
    return live_count(loop, set);
}

aud_error_t aud_event_loop_defer(aud_event_loop_t* loop, aud_defer_fn* callback, void* user,
                                 aud_defer_token_t* token) {
    if (!loop || !callback) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    aud_defer_token_t t = loop->next_token++;
    loop->pending.push_back(deferred{t, callback, user, loop->current, false});
    if (token) {
        *token = t;
    }
    return AUD_SUCCESS;
}

aud_error_t aud_event_loop_cancel_defer(aud_event_loop_t* loop, aud_defer_token_t token) {
    if (!loop) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    for (auto* list : {&loop->pending, &loop->running}) {
        for (deferred& d : *list) {
            if (d.token == token && !d.cancelled) {
                d.cancelled = true;
                return AUD_SUCCESS;
            }
        }
    }
    return AUD_ERR_NOTFOUND;
}

bool aud_event_loop_has_deferred(const aud_event_loop_t* loop) {
    if (!loop) {
        return false;
    }
    return std::any_of(loop->pending.begin(), loop->pending.end(),
                       [](const deferred& d) { return !d.cancelled; });
}

aud_error_t aud_event_loop_get_sockets(aud_event_loop_t* loop, fd_set* read_set, fd_set* write_set,
                                       int* max_fd, struct timeval* timeout) {
    if (!loop) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    fd_set* sets[2] = {read_set, write_set};
    for (int s = 0; s < 2; ++s) {
        if (!sets[s]) {
            continue;
        }
        for (const watch* w : loop->watches[s]) {
            if (w->removed || w->sock >= FD_SETSIZE) {
                continue;
            }
            FD_SET(w->sock, sets[s]);
            if (max_fd && w->sock + 1 > *max_fd) {
                *max_fd = w->sock + 1;
            }
        }
    }
    if (timeout) {
        aud_utime_t wait = aud_utime_make(AUD_EVENT_LOOP_MAX_WAIT_SEC, 0);
        if (aud_event_loop_has_deferred(loop)) {
            wait = aud_utime_t{0, 0};
        } else if (!loop->armed.empty()) {
            aud_utime_t until =
                aud_utime_sub(loop->armed.begin()->deadline, aud_event_loop_now(loop));
            if (negative(until)) {
                until = aud_utime_t{0, 0};
            }
            if (aud_utime_compare(until, wait) < 0) {
                wait = until;
            }
        }
        timeout->tv_sec = static_cast<time_t>(wait.tv_sec);
        timeout->tv_usec = wait.tv_usec;
    }
    return AUD_SUCCESS;
}

aud_error_t aud_event_loop_process(aud_event_loop_t* loop, fd_set* read_set, fd_set* write_set) {
    if (!loop) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (loop->current != phase::idle) {
        return AUD_ERR_INVALIDSTATE;
    }
    loop->current = phase::sockets;
    fd_set* sets[2] = {read_set, write_set};
    for (int s = 0; s < 2; ++s) {
        if (!sets[s]) {
            continue;
        }
        // Watches added by callbacks of this pass were not part of the select.
        size_t count = loop->watches[s].size();
        for (size_t i = 0; i < count; ++i) {
            watch* w = loop->watches[s][i];
            if (w->removed || w->sock >= FD_SETSIZE || !FD_ISSET(w->sock, sets[s])) {
                continue;
            }
            FD_CLR(w->sock, sets[s]);
            w->callback(w->sock, static_cast<aud_socket_set_t>(s), AUD_EVENT_CAUSE_READY, w->user);
        }
    }
    run_deferred(loop, phase::deferred_first, false);
    run_timers(loop);
    run_deferred(loop, phase::deferred_again, true);
    loop->current = phase::idle;
    free_removed(loop);
    return AUD_SUCCESS;
}

bool aud_event_loop_is_processing(const aud_event_loop_t* loop) {
    return loop && loop->current != phase::idle;
}

aud_error_t aud_timer_new(aud_event_loop_t* loop, aud_timer_fn* callback, void* user,
                          aud_timer_t** out) {
    if (!out) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    *out = nullptr;
    if (!loop || !callback) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    aud_timer_t* t = new (std::nothrow) aud_timer{loop, callback, user, false, false, {}, {}, 0};
    if (!t) {
        return AUD_ERR_NOMEMORY;
    }
    loop->timers.push_back(t);
    *out = t;
    return AUD_SUCCESS;
}

aud_error_t aud_timer_delete(aud_timer_t* timer) {
    if (!timer || timer->deleted) {
        return AUD_SUCCESS;
    }
    aud_event_loop_t* loop = timer->loop;
    disarm(timer);
    timer->deleted = true;
    auto& list = loop->timers;
    list.erase(std::find(list.begin(), list.end(), timer));
    if (loop->current != phase::idle) {
        loop->deleted_timers.push_back(timer);
    } else {
        delete timer;
    }
    return AUD_SUCCESS;
}

aud_error_t aud_timer_start_at(aud_timer_t* timer, const aud_utime_t* when,
                               const aud_utime_t* period) {
    if (!timer || timer->deleted || !when || (period && negative(*period))) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    timer->period = period ? *period : aud_utime_t{0, 0};
    arm(timer, *when);
    return AUD_SUCCESS;
}

aud_error_t aud_timer_start_after(aud_timer_t* timer, const aud_utime_t* interval,
                                  const aud_utime_t* period) {
    if (!timer || timer->deleted || !interval || negative(*interval)) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    aud_utime_t when = aud_utime_add(aud_event_loop_now(timer->loop), *interval);
    return aud_timer_start_at(timer, &when, period);
}

aud_error_t aud_timer_start_ms(aud_timer_t* timer, uint32_t after_ms, uint32_t period_ms) {
    aud_utime_t interval = aud_utime_from_ms(after_ms);
    aud_utime_t period = aud_utime_from_ms(period_ms);
    return aud_timer_start_after(timer, &interval, &period);
}

aud_error_t aud_timer_cancel(aud_timer_t* timer) {
    if (!timer || timer->deleted) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    disarm(timer);
    return AUD_SUCCESS;
}

bool aud_timer_is_armed(const aud_timer_t* timer) {
    return timer && !timer->deleted && timer->armed;
}

aud_error_t aud_timer_get_deadline(const aud_timer_t* timer, aud_utime_t* out) {
    if (!timer || !out) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (!timer->armed) {
        return AUD_ERR_INVALIDSTATE;
    }
    *out = timer->deadline;
    return AUD_SUCCESS;
}

void* aud_timer_get_user(const aud_timer_t* timer) {
    return timer ? timer->user : nullptr;
}
