#include "qxapi/runtime_host.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "qxapi/socket_wait.h"

namespace tavrin {
namespace {

// An internal-consistency check: the API handle always owns these.
void require(const void* handle, const char* name) {
    if (handle == nullptr) {
        std::fprintf(stderr, "Assertion failed: %s, file ..\\qxapi\\dt_start\n", name);
        std::abort();
    }
}

}  // namespace

runtime_host::runtime_host(dante_calls& lib, wrapper_logger& log, library_events& events)
    : lib_(lib), log_(log), events_(events) {
    db_browse_config_init(&iface_selection_);
    if (::pipe2(wake_pipe_, O_NONBLOCK | O_CLOEXEC) != 0) {
        wake_pipe_[0] = wake_pipe_[1] = -1;
    }
}

runtime_host::~runtime_host() {
    shutdown();
    for (int fd : wake_pipe_) {
        if (fd >= 0)
            ::close(fd);
    }
}

void runtime_host::attach_parts(std::vector<runtime_part*> parts) {
    std::lock_guard lock(library_lock_);
    parts_ = std::move(parts);
}

void runtime_host::shutdown() {
    join_restart_thread();
    dante_stop();
    std::lock_guard lock(library_lock_);
    parts_.clear();
}

library_access runtime_host::lock_library() const {
    return library_access(*this, std::unique_lock(library_lock_));
}

library_access runtime_host::held_library() const {
    return library_access(*this, std::unique_lock<std::mutex>());
}

// ---------------------------------------------------------------------------
// Interface selection

void runtime_host::select_interfaces(uint32_t primary, uint32_t secondary) {
    std::lock_guard lock(interfaces_mutex_);
    db_browse_config_init(&iface_selection_);
    if (primary == 0)
        return;
    iface_selection_.interface_indexes[0] = primary;
    if (secondary != 0 && secondary != primary) {
        iface_selection_.num_networks = 2;
        iface_selection_.interface_indexes[1] = secondary;
    } else {
        iface_selection_.num_networks = 1;
        iface_selection_.interface_indexes[1] = 0;
    }
}

void runtime_host::get_selected_interfaces(uint32_t& primary, uint32_t& secondary) const {
    std::lock_guard lock(interfaces_mutex_);
    primary = iface_selection_.interface_indexes[0];
    secondary = iface_selection_.interface_indexes[1];
}

void runtime_host::reset_interfaces() {
    std::lock_guard lock(interfaces_mutex_);
    db_browse_config_init(&iface_selection_);
}

db_browse_config_t runtime_host::iface_selection() const {
    std::lock_guard lock(interfaces_mutex_);
    return iface_selection_;
}

bool runtime_host::running() const {
    std::lock_guard lock(library_lock_);
    return g_dtAPI != nullptr;
}

aud_error_t runtime_host::browse_status() const {
    std::lock_guard lock(library_lock_);
    if (browse_start_error_ != AUD_SUCCESS)
        return browse_start_error_;
    if (g_dtBROWSE == nullptr)
        return AUD_ERR_NOTINITIALISED;
    return lib_.browse_status(g_dtBROWSE);
}

// ---------------------------------------------------------------------------
// Start and stop

void runtime_host::dt_start() {
    // A socket thread that ended on an error is still to be joined.
    if (g_dtTHREAD.joinable() && !socket_running_.load())
        g_dtTHREAD.join();
    std::unique_lock lock(library_lock_);
    if (g_dtAPI != nullptr) {
        // Starting over a running stack would leak it; dante_stop comes first.
        log_.write(2, "ERR- init environment (already running)");
        return;
    }
    g_dtBROWSE = nullptr;
    g_dtDEVICES = nullptr;
    browse_start_error_ = AUD_ERR_NOTINITIALISED;
    // Requests still outstanding at the last teardown died with their devices.
    for (runtime_part* part : parts_)
        part->runtime_reset();
    const db_browse_config_t config = iface_selection();

    aud_error_t e = lib_.api_new(&g_dtAPI);
    if (e != AUD_SUCCESS) {
        g_dtAPI = nullptr;
        browse_start_error_ = e;
        log_.write_error(2, "ERR- init environment (%s)", lib_.error_text(e));
        return;
    }
    g_dtENV = lib_.api_env(g_dtAPI);
    g_dtRT = lib_.api_runtime(g_dtAPI);
    g_dtHDR = lib_.api_domain_handler(g_dtAPI);
    require(g_dtAPI, "g_dtAPI");
    require(g_dtENV, "g_dtENV");
    require(g_dtRT, "g_dtRT");
    require(g_dtHDR, "g_dtHDR");

    e = lib_.browse_new(g_dtAPI, browse_types, &g_dtBROWSE);
    if (e != AUD_SUCCESS) {
        g_dtBROWSE = nullptr;
        browse_start_error_ = e;
        log_.write_error(2, "ERR- create browse with type specified, %s", lib_.error_text(e));
        return;
    }
    e = lib_.browse_set_max_sockets(g_dtBROWSE, browse_max_sockets);
    if (e != AUD_SUCCESS) {
        browse_start_error_ = e;
        char line[600];
        std::snprintf(line, sizeof line, "ERR- set maximun of sockets to %d, %s",
                      static_cast<int>(browse_max_sockets), lib_.error_text(e).c_str());
        log_.write(2, line);
        return;
    }
    lib_.browse_install_node_callback(g_dtBROWSE, &events_);
    e = lib_.browse_start(g_dtBROWSE, &config);
    browse_start_error_ = e;
    if (e != AUD_SUCCESS) {
        log_.write_error(2, "ERR- start browsing, %s", lib_.error_text(e));
        return;
    }
    e = lib_.devices_new(g_dtAPI, &g_dtDEVICES);
    if (e != AUD_SUCCESS) {
        g_dtDEVICES = nullptr;
        log_.write_error(2, "ERR- create device factory, %s", lib_.error_text(e));
        return;
    }
    // The factory is configured before the socket thread runs: both settings are
    // refused once a device is open or a request is outstanding, which the browse
    // would cause as soon as processing starts.
    e = lib_.devices_set_handle_count(g_dtDEVICES, device_handle_count);
    if (e != AUD_SUCCESS) {
        log_.write_error(2, "ERR- set handle number (%s)", lib_.error_text(e));
    } else {
        e = lib_.devices_set_request_limit(g_dtDEVICES, device_request_limit);
        if (e != AUD_SUCCESS)
            log_.write_error(4, "ERR- set request limit (%s)", lib_.error_text(e));
    }

    socket_stop_.store(false);
    socket_running_.store(true);
    try {
        g_dtTHREAD = std::thread([this] { socket_thread(); });
    } catch (const std::system_error&) {
        socket_running_.store(false);
        log_.write(2, "ERR- start socket thread");
    }
}

void runtime_host::dante_start() {
    dt_start();
    std::vector<runtime_part*> parts;
    {
        std::lock_guard lock(library_lock_);
        if (g_dtBROWSE != nullptr)
            lib_.browse_install_other_callbacks(g_dtBROWSE);
        parts = parts_;
    }
    // The ConMon link's start waits for the connect answer, which the socket thread
    // delivers: no lock here.
    for (runtime_part* part : parts)
        part->runtime_started();
}

void runtime_host::stop_socket_thread() {
    socket_stop_.store(true);
    if (wake_pipe_[1] >= 0) {
        const uint8_t byte = 1;
        [[maybe_unused]] ssize_t n = ::write(wake_pipe_[1], &byte, 1);
    }
    if (g_dtTHREAD.joinable())
        g_dtTHREAD.join();
    socket_running_.store(false);
}

void runtime_host::dante_stop() {
    // No processing may run while the objects go away; the thread is joined without
    // the library lock, which it takes around each step.
    stop_socket_thread();

    std::lock_guard lock(library_lock_);
    // The parts' objects first: the factory refuses to go while devices are open.
    for (runtime_part* part : parts_)
        part->runtime_teardown();
    if (g_dtBROWSE != nullptr) {
        lib_.browse_delete(g_dtBROWSE);
        g_dtBROWSE = nullptr;
    }
    if (g_dtDEVICES != nullptr) {
        lib_.devices_delete(g_dtDEVICES);
        g_dtDEVICES = nullptr;
    }
    if (g_dtAPI != nullptr) {
        lib_.api_delete(g_dtAPI);
        g_dtAPI = nullptr;
    }
    g_dtENV = nullptr;
    g_dtRT = nullptr;
    g_dtHDR = nullptr;
}

void runtime_host::dante_restart_thread(std::unique_ptr<restart_request> request) {
    if (request && request->code == restart_code) {
        dante_stop();
        dante_start();
    }
}

bool runtime_host::start_restart_thread() {
    std::lock_guard lock(restart_mutex_);
    // One search at a time: a stop must never overlap another thread's start.
    if (restart_thread_.joinable())
        restart_thread_.join();
    auto request = std::make_unique<restart_request>(restart_request{restart_code});
    try {
        restart_thread_ = std::thread(
            [this, r = std::move(request)]() mutable { dante_restart_thread(std::move(r)); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void runtime_host::join_restart_thread() {
    std::lock_guard lock(restart_mutex_);
    if (restart_thread_.joinable())
        restart_thread_.join();
}

// ---------------------------------------------------------------------------
// Socket thread

uint32_t runtime_host::deferred_due_in() {
    std::lock_guard lock(library_lock_);
    uint32_t due = UINT32_MAX;
    for (runtime_part* part : parts_)
        due = std::min(due, part->deferred_due_in());
    return due;
}

void runtime_host::socket_thread() {
    fd_set read_set;
    fd_set write_set;
    int max_fd = 0;
    timeval timeout{1, 0};
    const auto fetch = [&]() {
        std::lock_guard lock(library_lock_);
        FD_ZERO(&read_set);
        FD_ZERO(&write_set);
        max_fd = 0;
        timeout = timeval{1, 0};
        return lib_.runtime_get_sockets(g_dtRT, &read_set, &write_set, &max_fd, &timeout);
    };

    aud_error_t e = fetch();
    if (e != AUD_SUCCESS) {
        log_.write_error(2, "ERR- get runtime sockets, %s", lib_.error_text(e));
        socket_running_.store(false);
        return;
    }
    const int wake = wake_pipe_[0];
    while (!socket_stop_.load()) {
        timeval wait = cap_socket_wait(timeout);
        const uint32_t due = deferred_due_in();
        if (due != UINT32_MAX && wait_ms_rounded_up(wait) > due)
            wait = timeval{static_cast<time_t>(due / 1000),
                           static_cast<suseconds_t>(due % 1000) * 1000};
        if (is_zero_wait(wait))
            log_.write(4, "timeout zero");
        fd_set r = read_set;
        fd_set w = write_set;
        // Without runtime sockets this is the (interruptible) sleep: only the wake
        // pipe is watched.
        if (wake >= 0)
            FD_SET(wake, &r);
        const int width = std::max(max_fd, wake + 1);
        const int n = ::select(width, &r, max_fd > 0 ? &w : nullptr, nullptr, &wait);
        if (socket_stop_.load())
            break;
        if (n < 0) {
            const int err = errno;
            if (err == EINTR)
                continue;
            if (err == EBADF) {
                // Another thread closed a socket (a device connection) between the
                // export and the wait: take the current set and go on.
                e = fetch();
                if (e != AUD_SUCCESS) {
                    log_.write_error(2, "ERR- get runtime sockets, %s", lib_.error_text(e));
                    break;
                }
                continue;
            }
            char line[300];
            std::snprintf(line, sizeof line, "ERR- processing sockets: %s (%d)", std::strerror(err),
                          err);
            log_.write(2, line);
            break;
        }
        if (wake >= 0 && FD_ISSET(wake, &r)) {
            uint8_t drain[16];
            while (::read(wake, drain, sizeof drain) > 0) {
            }
            FD_CLR(wake, &r);
        }
        if (max_fd == 0)
            FD_ZERO(&w);
        {
            std::lock_guard lock(library_lock_);
            lib_.runtime_process_sockets(g_dtRT, &r, &w);
            for (runtime_part* part : parts_)
                part->run_deferred();
            FD_ZERO(&read_set);
            FD_ZERO(&write_set);
            max_fd = 0;
            timeout = timeval{1, 0};
            e = lib_.runtime_get_sockets(g_dtRT, &read_set, &write_set, &max_fd, &timeout);
        }
        if (e != AUD_SUCCESS) {
            log_.write_error(2, "ERR- get runtime sockets, %s", lib_.error_text(e));
            break;
        }
    }
    socket_running_.store(false);
}

}  // namespace tavrin
