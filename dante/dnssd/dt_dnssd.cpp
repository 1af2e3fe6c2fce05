#include "dante/dnssd/dt_dnssd.h"

#include <errno.h>
#include <string.h>
#include <sys/socket.h>

#include <atomic>

namespace {

std::atomic<const dt_dnssd_backend*> g_backend{nullptr};

const dt_dnssd_backend* current() {
    const dt_dnssd_backend* b = g_backend.load();
    return b ? b : dt_dnssd_avahi_backend();
}

// Appends src to dst[pos..size), escaping as an instance label when asked.
bool append(char* dst, size_t size, size_t* pos, const char* src, bool escape) {
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(src); *p; ++p) {
        char tmp[5];
        size_t n = 0;
        if (escape && (*p == '.' || *p == '\\')) {
            tmp[n++] = '\\';
            tmp[n++] = static_cast<char>(*p);
        } else if (escape && (*p < 0x20 || *p == 0x7F)) {
            tmp[n++] = '\\';
            tmp[n++] = static_cast<char>('0' + *p / 100);
            tmp[n++] = static_cast<char>('0' + *p / 10 % 10);
            tmp[n++] = static_cast<char>('0' + *p % 10);
        } else {
            tmp[n++] = static_cast<char>(*p);
        }
        if (size - *pos <= n) {
            return false;
        }
        memcpy(dst + *pos, tmp, n);
        *pos += n;
    }
    return true;
}

bool append_dotted(char* dst, size_t size, size_t* pos, const char* src, bool escape) {
    if (!append(dst, size, pos, src, escape)) {
        return false;
    }
    if (*pos == 0 || dst[*pos - 1] != '.' || escape) {
        if (size - *pos <= 1) {
            return false;
        }
        dst[(*pos)++] = '.';
    }
    return true;
}

}  // namespace

extern "C" {

const dt_dnssd_backend* dt_dnssd_set_backend(const dt_dnssd_backend* backend) {
    return g_backend.exchange(backend);
}

const dt_dnssd_backend* dt_dnssd_get_backend(void) {
    return current();
}

dt_dnssd_error dt_dnssd_browse(dt_dnssd_ref* out, uint32_t flags, uint32_t interface_index,
                               const char* type, const char* domain, dt_dnssd_browse_reply reply,
                               void* context) {
    if (!out || !type || !reply) {
        return DT_DNSSD_ERR_BAD_PARAM;
    }
    *out = nullptr;
    const dt_dnssd_backend* b = current();
    return b->browse(b, out, flags, interface_index, type, domain, reply, context);
}

dt_dnssd_error dt_dnssd_resolve(dt_dnssd_ref* out, uint32_t flags, uint32_t interface_index,
                                const char* name, const char* type, const char* domain,
                                dt_dnssd_resolve_reply reply, void* context) {
    if (!out || !name || !type || !domain || !reply) {
        return DT_DNSSD_ERR_BAD_PARAM;
    }
    *out = nullptr;
    const dt_dnssd_backend* b = current();
    return b->resolve(b, out, flags, interface_index, name, type, domain, reply, context);
}

dt_dnssd_error dt_dnssd_query_record(dt_dnssd_ref* out, uint32_t flags, uint32_t interface_index,
                                     const char* full_name, uint16_t rrtype, uint16_t rrclass,
                                     dt_dnssd_query_reply reply, void* context) {
    if (!out || !full_name || !reply) {
        return DT_DNSSD_ERR_BAD_PARAM;
    }
    *out = nullptr;
    const dt_dnssd_backend* b = current();
    return b->query_record(b, out, flags, interface_index, full_name, rrtype, rrclass, reply,
                           context);
}

dt_dnssd_error dt_dnssd_reconfirm_record(uint32_t flags, uint32_t interface_index,
                                         const char* full_name, uint16_t rrtype, uint16_t rrclass,
                                         uint16_t rdlen, const void* rdata) {
    if (!full_name) {
        return DT_DNSSD_ERR_BAD_PARAM;
    }
    const dt_dnssd_backend* b = current();
    return b->reconfirm_record(b, flags, interface_index, full_name, rrtype, rrclass, rdlen, rdata);
}

int dt_dnssd_ref_sock_fd(dt_dnssd_ref ref) {
    return ref ? ref->backend->ref_sock_fd(ref) : -1;
}

dt_dnssd_error dt_dnssd_process_reply(dt_dnssd_ref ref) {
    return ref ? ref->backend->process_result(ref) : DT_DNSSD_ERR_BAD_REFERENCE;
}

void dt_dnssd_ref_deallocate(dt_dnssd_ref ref) {
    if (ref) {
        ref->backend->ref_deallocate(ref);
    }
}

int dt_dnssd_construct_full_name(char* full_name, const char* service, const char* type,
                                 const char* domain) {
    if (!full_name || !type || !*type || !domain || !*domain) {
        return -1;
    }
    size_t pos = 0;
    const size_t size = DT_DNSSD_MAX_DOMAIN_NAME;
    bool ok = true;
    if (service && *service) {
        ok = append_dotted(full_name, size, &pos, service, true);
    }
    ok = ok && append_dotted(full_name, size, &pos, type, false) &&
         append_dotted(full_name, size, &pos, domain, false);
    full_name[ok ? pos : 0] = '\0';
    return ok ? 0 : -1;
}

int32_t dt_dns_sd_process_result(aud_log_t* log, int socket, dt_dnssd_ref ref) {
    const int fd = dt_dnssd_ref_sock_fd(ref);
    if (fd < 0 || fd != socket) {
        if (log) {
            aud_log_printf(log, AUD_LOG_ERROR,
                           "%s: Mismatch between passed socket (%d) and service ref fd (%d)",
                           __func__, socket, fd);
        }
        return DT_DNSSD_ERR_BAD_PARAM;
    }
    // Peek first: processing a reference with nothing waiting would block the loop.
    char byte;
    ssize_t n;
    do {
        n = recv(socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        return aud_error_from_errno(errno);
    }
    if (n <= 0) {
        if (log) {
            aud_log_printf(log, AUD_LOG_WARNING, "%s: Got nothing to read ..conmon blocks here",
                           __func__);
        }
        return DT_DNSSD_ERR_BAD_STATE;
    }
    return dt_dnssd_process_reply(ref);
}

}  // extern "C"
