#pragma once
// The runtime host: the control library's handles, its start-up and teardown, the
// start-up (restart) thread, the socket thread that runs the library's processing, the
// interface selection the browse starts with, and the one library_lock.
//
// library_lock serialises every call into the library with the socket thread's
// processing: the socket thread holds it around each processing step (never while it
// waits in select); every other thread takes it around each call, through
// lock_library(). Library callbacks and the runtime_part hooks run with it held and
// reach the handles through held_library(). Lock order: library_lock -> the node list
// -> leaves (log, mailbox, amp_params).
#include <sys/select.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/time_source.h"

#include "qxapi/dante_calls.h"
#include "qxapi/wrapper_log.h"

namespace tavrin {

// Request of the start-up thread.
struct restart_request {
    int code = 0;
};
constexpr int restart_code = 100;

// A part that keeps library objects of its own, told of the runtime's life.
class runtime_part {
  public:
    virtual ~runtime_part() = default;
    // dt_start, library_lock held, before the new objects exist: forget the last run.
    virtual void runtime_reset() = 0;
    // dante_start, after dt_start and the browse callbacks; library_lock not held.
    virtual void runtime_started() {}
    // dante_stop, library_lock held, the socket thread ended: release what this part
    // opened from the host's objects, which go right after.
    virtual void runtime_teardown() = 0;
    // Work put off to a later moment of the socket thread, so that no callback sleeps
    // with library_lock held: milliseconds until the next is due (UINT32_MAX: none),
    // and doing what is due (socket thread, library_lock held).
    virtual uint32_t deferred_due_in() { return UINT32_MAX; }
    virtual void run_deferred() {}
};

class runtime_host;

// library_lock held (or known to be held), and the runtime objects the other parts
// open theirs from. Null handles when the runtime is not up.
class library_access {
  public:
    dapi_t* api() const;
    dr_devices_t* devices() const;

    // Waits on `changed` (which the socket thread's callbacks notify, library_lock
    // held) until `done` holds or `ms` have passed by `time`; library_lock is free
    // meanwhile. Only for an access that holds the lock (lock_library()).
    bool wait_for(time_source& time, std::condition_variable& changed, uint32_t ms,
                  const std::function<bool()>& done) {
        return time.wait_for(changed, lock_, ms, done);
    }

  private:
    friend class runtime_host;
    library_access(const runtime_host& host, std::unique_lock<std::mutex> lock)
        : host_(host), lock_(std::move(lock)) {}
    const runtime_host& host_;
    std::unique_lock<std::mutex> lock_;
};

class runtime_host {
  public:
    static constexpr uint32_t browse_types = 4;
    static constexpr unsigned browse_max_sockets = 18;
    static constexpr unsigned device_handle_count = 16;
    static constexpr unsigned device_request_limit = 128;

    runtime_host(dante_calls& lib, wrapper_logger& log, library_events& events);
    ~runtime_host();

    runtime_host(const runtime_host&) = delete;
    runtime_host& operator=(const runtime_host&) = delete;

    // The parts, in the order of their hooks (before the first start).
    void attach_parts(std::vector<runtime_part*> parts);
    // Joins the start-up thread, stops the runtime and forgets the parts; the parts
    // may go after this.
    void shutdown();

    void dt_start();
    void dante_start();
    void dante_stop();
    // Entry of the start-up thread; code 100 restarts the runtime.
    void dante_restart_thread(std::unique_ptr<restart_request> request);
    // Starts the start-up thread with code 100 (after the previous one has ended).
    bool start_restart_thread();
    void join_restart_thread();

    void select_interfaces(uint32_t primary, uint32_t secondary);
    void get_selected_interfaces(uint32_t& primary, uint32_t& secondary) const;
    void reset_interfaces();
    db_browse_config_t iface_selection() const;

    bool socket_thread_running() const { return socket_running_.load(); }
    bool running() const;  // an API handle exists
    // How the browse of this runtime fares: SUCCESS while it browses; the error that
    // kept it from starting (NOTRUNNING: no DNS-SD service, avahi-daemon); NOTRUNNING
    // once the service went away; NOTINITIALISED before the first start.
    aud_error_t browse_status() const;

    // Where the library's callbacks land (the context of every library object).
    library_events* events() const { return &events_; }

    // Takes library_lock for the life of the returned object.
    library_access lock_library() const;
    // For library callbacks and runtime_part hooks, which run with library_lock held.
    library_access held_library() const;

  private:
    friend class library_access;

    void socket_thread();
    void stop_socket_thread();

    dante_calls& lib_;
    wrapper_logger& log_;
    library_events& events_;
    std::vector<runtime_part*> parts_;
    // The earliest deferred work of the parts, in milliseconds from now.
    uint32_t deferred_due_in();

    mutable std::mutex library_lock_;
    // The library's handles, guarded by library_lock_ (null when absent).
    dapi_t* g_dtAPI = nullptr;
    aud_env_t* g_dtENV = nullptr;
    dante_runtime_t* g_dtRT = nullptr;
    dapi_domain_handler_t* g_dtHDR = nullptr;
    db_browse_t* g_dtBROWSE = nullptr;
    dr_devices_t* g_dtDEVICES = nullptr;
    // Why the browse (or what it needs) could not start; SUCCESS once it has.
    aud_error_t browse_start_error_ = AUD_ERR_NOTINITIALISED;
    std::thread g_dtTHREAD;

    mutable std::mutex interfaces_mutex_;
    db_browse_config_t iface_selection_{};

    std::atomic<bool> socket_stop_{false};
    std::atomic<bool> socket_running_{false};
    int wake_pipe_[2] = {-1, -1};

    std::mutex restart_mutex_;
    std::thread restart_thread_;
};

inline dapi_t* library_access::api() const {
    return host_.g_dtAPI;
}
inline dr_devices_t* library_access::devices() const {
    return host_.g_dtDEVICES;
}

}  // namespace tavrin
