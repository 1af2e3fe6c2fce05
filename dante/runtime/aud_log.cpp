#include "dante/runtime/aud_log.h"

#include <arpa/inet.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <new>
#include <string>

struct aud_log {
    std::string name;
    bool has_name = false;
    // Levels are read without the lock by aud_log_enabled.
    std::atomic<aud_log_level_t> level{AUD_LOG_NONE};
    std::atomic<aud_log_level_t> dest_level[AUD_LOG_DEST_COUNT] = {};
    bool timestamp[AUD_LOG_DEST_COUNT] = {false, true, true, true, false, false};
    FILE* file = nullptr;
    aud_log_fn* callback = nullptr;
    void* callback_user = nullptr;
    int net_fd = -1;
    bool net_used[AUD_LOG_NETWORK_DESTS] = {};
    sockaddr_in net_dest[AUD_LOG_NETWORK_DESTS] = {};
    // The log may be shared by threads outside the library's serialised calls;
    // recursive so a log callback may itself log.
    std::recursive_mutex mutex;
};

namespace {

constexpr const char* level_names[] = {"None",   "Critical", "Error", "Warning",
                                       "Notice", "Info",     "Debug", "Verbose"};

bool valid_dest(aud_log_dest_t dest) {
    return dest >= 0 && dest < AUD_LOG_DEST_COUNT;
}

bool valid_level(aud_log_level_t level) {
    return level >= AUD_LOG_NONE && level <= AUD_LOG_VERBOSE;
}

bool wants(const aud_log* log, aud_log_dest_t dest, aud_log_level_t level) {
    return log->dest_level[dest] >= level;
}

void write_stream(FILE* stream, const char* ts, const char* level_name, const char* msg,
                  size_t len) {
    if (ts) {
        fprintf(stream, "%s ", ts);
    }
    fprintf(stream, "%s %.*s", level_name, static_cast<int>(len), msg);
    if (len == 0 || msg[len - 1] != '\n') {
        fputc('\n', stream);
    }
    fflush(stream);
}

void write_local(aud_log* log, aud_log_level_t level, const char* ts, const char* msg, size_t len);

void send_network(aud_log* log, aud_log_level_t level, const char* ts, const char* msg,
                  size_t len) {
    char datagram[AUD_LOG_DATAGRAM_MAX];
    for (unsigned slot = 0; slot < AUD_LOG_NETWORK_DESTS; ++slot) {
        if (!log->net_used[slot] || log->net_fd < 0) {
            continue;
        }
        int prefix = snprintf(
            datagram, sizeof datagram, "%s%s%c ", log->timestamp[AUD_LOG_DEST_NETWORK] ? ts : "",
            log->timestamp[AUD_LOG_DEST_NETWORK] ? " " : "", level_names[level][0]);
        size_t offset = 0;
        size_t room = sizeof datagram - static_cast<size_t>(prefix);
        size_t used = static_cast<size_t>(prefix);
        do {
            size_t chunk = len - offset < room ? len - offset : room;
            memcpy(datagram + used, msg + offset, chunk);
            ssize_t sent = sendto(log->net_fd, datagram, used + chunk, 0,
                                  reinterpret_cast<const sockaddr*>(&log->net_dest[slot]),
                                  sizeof log->net_dest[slot]);
            if (sent < 0) {
                int err = errno;
                char text[256];
                char addr[INET_ADDRSTRLEN] = "";
                inet_ntop(AF_INET, &log->net_dest[slot].sin_addr, addr, sizeof addr);
                if (aud_error_from_errno(err) == AUD_ERR_NOTSOCK) {
                    snprintf(text, sizeof text,
                             "aud_log: bad network logging socket %d - network logging "
                             "disabled: %s (%d)",
                             log->net_fd, strerror(err), err);
                    log->net_used[0] = log->net_used[1] = false;
                    log->net_fd = -1;
                    write_local(log, AUD_LOG_NOTICE, ts, text, strlen(text));
                    return;
                }
                snprintf(text, sizeof text,
                         "aud_log: network logging to %s (fd %d) failed: %s (%d)", addr,
                         log->net_fd, strerror(err), err);
                write_local(log, AUD_LOG_NOTICE, ts, text, strlen(text));
                break;
            }
            offset += chunk;
            // Continuations carry no prefix.
            used = 0;
            room = sizeof datagram;
        } while (offset < len);
    }
}

// Every destination but the network: a failing network send reports through here.
void write_local(aud_log* log, aud_log_level_t level, const char* ts, const char* msg, size_t len) {
    if (level > log->level) {
        return;
    }
    const char* level_name = level_names[level];
    if (wants(log, AUD_LOG_DEST_STDOUT, level)) {
        write_stream(stdout, log->timestamp[AUD_LOG_DEST_STDOUT] ? ts : nullptr, level_name, msg,
                     len);
    }
    if (wants(log, AUD_LOG_DEST_STDERR, level)) {
        write_stream(stderr, log->timestamp[AUD_LOG_DEST_STDERR] ? ts : nullptr, level_name, msg,
                     len);
    }
    if (log->file && wants(log, AUD_LOG_DEST_FILE, level)) {
        write_stream(log->file, log->timestamp[AUD_LOG_DEST_FILE] ? ts : nullptr, level_name, msg,
                     len);
    }
    if (wants(log, AUD_LOG_DEST_DEBUGGER, level)) {
        if (log->has_name) {
            fprintf(stderr, "%s:%s:%.*s", log->name.c_str(), level_name, static_cast<int>(len),
                    msg);
        } else {
            fprintf(stderr, "%s:%.*s", level_name, static_cast<int>(len), msg);
        }
        if (len == 0 || msg[len - 1] != '\n') {
            fputc('\n', stderr);
        }
    }
    if (log->callback && wants(log, AUD_LOG_DEST_CALLBACK, level)) {
        log->callback(log, log->timestamp[AUD_LOG_DEST_CALLBACK] ? ts : nullptr, level, msg, len,
                      log->callback_user);
    }
}

}  // namespace

aud_error_t aud_log_new(const char* name, aud_log_t** out) {
    if (!out) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    *out = nullptr;
    aud_log* log = new (std::nothrow) aud_log;
    if (!log) {
        return AUD_ERR_NOMEMORY;
    }
    if (name) {
        log->name = name;
        log->has_name = true;
    }
    *out = log;
    return AUD_SUCCESS;
}

aud_error_t aud_log_delete(aud_log_t* log) {
    if (!log) {
        return AUD_SUCCESS;
    }
    if (log->file) {
        fclose(log->file);
    }
    if (log->net_fd >= 0) {
        close(log->net_fd);
    }
    delete log;
    return AUD_SUCCESS;
}

const char* aud_log_get_name(const aud_log_t* log) {
    return log && log->has_name ? log->name.c_str() : nullptr;
}

const char* aud_log_level_name(int level) {
    if (level < 0 || level > AUD_LOG_VERBOSE) {
        return "Undef";
    }
    return level_names[level];
}

aud_error_t aud_log_set_level(aud_log_t* log, aud_log_level_t level) {
    if (!log || !valid_level(level)) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    std::lock_guard lock(log->mutex);
    log->level = level;
    return AUD_SUCCESS;
}

aud_log_level_t aud_log_get_level(const aud_log_t* log) {
    return log ? log->level.load() : AUD_LOG_NONE;
}

aud_error_t aud_log_set_dest_level(aud_log_t* log, aud_log_dest_t dest, aud_log_level_t level) {
    if (!log || !valid_dest(dest) || !valid_level(level)) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    std::lock_guard lock(log->mutex);
    log->dest_level[dest] = level;
    return AUD_SUCCESS;
}

aud_log_level_t aud_log_get_dest_level(const aud_log_t* log, aud_log_dest_t dest) {
    return log && valid_dest(dest) ? log->dest_level[dest].load() : AUD_LOG_NONE;
}

aud_error_t aud_log_set_timestamp(aud_log_t* log, aud_log_dest_t dest, bool enabled) {
    if (!log || !valid_dest(dest)) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    std::lock_guard lock(log->mutex);
    log->timestamp[dest] = enabled;
    return AUD_SUCCESS;
}

aud_error_t aud_log_set_file(aud_log_t* log, const char* path) {
    if (!log) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    std::lock_guard lock(log->mutex);
    if (log->file) {
        fclose(log->file);
        log->file = nullptr;
    }
    if (!path) {
        return AUD_SUCCESS;
    }
    log->file = fopen(path, "ae");
    return log->file ? AUD_SUCCESS : aud_error_from_errno(errno);
}

aud_error_t aud_log_set_callback(aud_log_t* log, aud_log_fn* fn, void* user) {
    if (!log) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    std::lock_guard lock(log->mutex);
    log->callback = fn;
    log->callback_user = user;
    return AUD_SUCCESS;
}

aud_error_t aud_log_set_network_dest(aud_log_t* log, unsigned slot,
                                     const struct sockaddr_in* dest) {
    if (!log || slot >= AUD_LOG_NETWORK_DESTS) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    std::lock_guard lock(log->mutex);
    if (!dest) {
        log->net_used[slot] = false;
        return AUD_SUCCESS;
    }
    if (log->net_fd < 0) {
        log->net_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (log->net_fd < 0) {
            return aud_error_from_errno(errno);
        }
    }
    log->net_dest[slot] = *dest;
    log->net_used[slot] = true;
    return AUD_SUCCESS;
}

bool aud_log_enabled(const aud_log_t* log, aud_log_level_t level) {
    if (!log || level <= AUD_LOG_NONE || level > log->level) {
        return false;
    }
    for (int d = 0; d < AUD_LOG_DEST_COUNT; ++d) {
        if (log->dest_level[d] >= level) {
            return true;
        }
    }
    return false;
}

void aud_log_format_timestamp(time_t t, char out[AUD_LOG_TIMESTAMP_SIZE]) {
    char text[32] = "";
    struct tm local {};
    if (!localtime_r(&t, &local) || !asctime_r(&local, text)) {
        snprintf(out, AUD_LOG_TIMESTAMP_SIZE, "%15.15s", "");
        return;
    }
    snprintf(out, AUD_LOG_TIMESTAMP_SIZE, "%15.15s", text + 4);
    if (out[4] == '0') {
        out[4] = ' ';
    }
}

void aud_log_vprintf(aud_log_t* log, aud_log_level_t level, const char* fmt, va_list args) {
    if (!aud_log_enabled(log, level) || !fmt) {
        return;
    }
    char message[AUD_LOG_MESSAGE_MAX];
    int n = vsnprintf(message, sizeof message, fmt, args);
    if (n < 0) {
        return;
    }
    size_t len =
        static_cast<size_t>(n) < sizeof message ? static_cast<size_t>(n) : sizeof message - 1;
    char ts[AUD_LOG_TIMESTAMP_SIZE];
    aud_log_format_timestamp(time(nullptr), ts);

    std::lock_guard lock(log->mutex);
    write_local(log, level, ts, message, len);
    if (wants(log, AUD_LOG_DEST_NETWORK, level)) {
        send_network(log, level, ts, message, len);
    }
}

void aud_log_printf(aud_log_t* log, aud_log_level_t level, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    aud_log_vprintf(log, level, fmt, args);
    va_end(args);
}
