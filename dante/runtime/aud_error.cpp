#include "dante/runtime/aud_error.h"

#include <errno.h>
#include <netdb.h>
#include <stdio.h>
#include <string.h>

namespace {

struct error_entry {
    const char* name;
    const char* message;
};

constexpr error_entry error_table[] = {
#define AUD_ERROR_ENTRY_(code, name, msg) {#name, msg},
    AUD_ERROR_MAP(AUD_ERROR_ENTRY_)
#undef AUD_ERROR_ENTRY_
};
static_assert(sizeof(error_table) / sizeof(error_table[0]) == AUD_ERROR_COUNT);

#define AUD_ERROR_CHECK_(code, name, msg) \
    static_assert(AUD_ERR_##name == code, "error list must be dense and ordered");
AUD_ERROR_MAP(AUD_ERROR_CHECK_)
#undef AUD_ERROR_CHECK_

struct layer_entry {
    int32_t code;
    error_entry entry;
};

constexpr layer_entry routing_table[] = {
#define AUD_ROUTING_ENTRY_(code, name, msg) {code, {#name, msg}},
    AUD_ROUTING_ERROR_MAP(AUD_ROUTING_ENTRY_)
#undef AUD_ROUTING_ENTRY_
};

const error_entry* lookup(aud_error_t error) {
    if (error >= 0 && error < AUD_ERROR_COUNT) {
        return &error_table[error];
    }
    for (const layer_entry& e : routing_table) {
        if (e.code == error) {
            return &e.entry;
        }
    }
    return nullptr;
}

struct system_mapping {
    aud_error_t code;
    uint32_t value;
};

// Searched in order; the first match wins.
constexpr system_mapping windows_table[] = {
    {AUD_ERR_SUCCESS, 0},
    {AUD_ERR_INVALIDPARAMETER, 87},
    {AUD_ERR_INVALIDPARAMETER, 10022},
    {AUD_ERR_INVALIDPARAMETER, 123},
    {AUD_ERR_NOMEMORY, 14},
    {AUD_ERR_NOMEMORY, 8},
    {AUD_ERR_INTERRUPTED, 192},
    {AUD_ERR_INTERRUPTED, 10004},
    {AUD_ERR_NOTSUPPORTED, 10045},
    {AUD_ERR_TIMEDOUT, 10060},
    {AUD_ERR_TIMEDOUT, 10035},
    {AUD_ERR_NOTFOUND, 2},
    {AUD_ERR_NOTFOUND, 3},
    {AUD_ERR_NOTFOUND, 1060},
    {AUD_ERR_NOTFOUND, 0xE000020B},
    {AUD_ERR_ACCES, 5},
    {AUD_ERR_ACCES, 10013},
    {AUD_ERR_ADDRINUSE, 10048},
    {AUD_ERR_ADDRNOTAVAIL, 10049},
    {AUD_ERR_AFNOSUPPORT, 10047},
    {AUD_ERR_ALREADY, 10037},
    {AUD_ERR_ALREADY, 5010},
    {AUD_ERR_CONNABORTED, 10053},
    {AUD_ERR_CONNREFUSED, 10061},
    {AUD_ERR_CONNRESET, 10054},
    {AUD_ERR_DESTADDRREQ, 10039},
    {AUD_ERR_FAULT, 10014},
    {AUD_ERR_HOSTUNREACH, 10065},
    {AUD_ERR_INPROGRESS, 10036},
    {AUD_ERR_ISCONN, 10056},
    {AUD_ERR_MFILE, 10024},
    {AUD_ERR_MSGSIZE, 10040},
    {AUD_ERR_NETDOWN, 10050},
    {AUD_ERR_NETRESET, 10052},
    {AUD_ERR_NETUNREACH, 10051},
    {AUD_ERR_NETUNREACH, 67},
    {AUD_ERR_NETUNREACH, 1232},
    {AUD_ERR_NETUNREACH, 1231},
    {AUD_ERR_NETUNREACH, 31},
    {AUD_ERR_NOBUFS, 10055},
    {AUD_ERR_NODATA, 11004},
    {AUD_ERR_NOPROTOOPT, 10042},
    {AUD_ERR_NORECOVERY, 11003},
    {AUD_ERR_NOTCONN, 10057},
    {AUD_ERR_NOTINITIALISED, 10093},
    {AUD_ERR_NOTSOCK, 10038},
    {AUD_ERR_PROTONOSUPPORT, 10043},
    {AUD_ERR_PROTOTYPE, 10041},
    {AUD_ERR_SHUTDOWN, 10058},
    {AUD_ERR_SOCKTNOSUPPORT, 10044},
    {AUD_ERR_TRYAGAIN, 11002},
    {AUD_ERR_NOTRUNNING, 0x800706D9},
};

struct errno_mapping {
    aud_error_t code;
    int value;
};

// The POSIX counterparts of the Windows values above. A would-block read arrives as
// TIMEDOUT, which the channel readers take as "no more data".
constexpr errno_mapping errno_table[] = {
    {AUD_ERR_SUCCESS, 0},
    {AUD_ERR_INVALIDPARAMETER, EINVAL},
    {AUD_ERR_INVALIDPARAMETER, ENAMETOOLONG},
    {AUD_ERR_NOMEMORY, ENOMEM},
    {AUD_ERR_INTERRUPTED, EINTR},
    {AUD_ERR_NOTSUPPORTED, EOPNOTSUPP},
    {AUD_ERR_NOTSUPPORTED, ENOSYS},
    {AUD_ERR_TIMEDOUT, ETIMEDOUT},
    {AUD_ERR_TIMEDOUT, EAGAIN},
    {AUD_ERR_TIMEDOUT, EWOULDBLOCK},
    {AUD_ERR_NOTFOUND, ENOENT},
    {AUD_ERR_NOTFOUND, ESRCH},
    {AUD_ERR_ACCES, EACCES},
    {AUD_ERR_ACCES, EPERM},
    {AUD_ERR_ADDRINUSE, EADDRINUSE},
    {AUD_ERR_ADDRNOTAVAIL, EADDRNOTAVAIL},
    {AUD_ERR_AFNOSUPPORT, EAFNOSUPPORT},
    {AUD_ERR_ALREADY, EALREADY},
    {AUD_ERR_BADF, EBADF},
    {AUD_ERR_CONNABORTED, ECONNABORTED},
    {AUD_ERR_CONNREFUSED, ECONNREFUSED},
    {AUD_ERR_CONNRESET, ECONNRESET},
    {AUD_ERR_DESTADDRREQ, EDESTADDRREQ},
    {AUD_ERR_FAULT, EFAULT},
    {AUD_ERR_HOSTUNREACH, EHOSTUNREACH},
    {AUD_ERR_INPROGRESS, EINPROGRESS},
    {AUD_ERR_ISCONN, EISCONN},
    {AUD_ERR_MFILE, EMFILE},
    {AUD_ERR_MFILE, ENFILE},
    {AUD_ERR_MSGSIZE, EMSGSIZE},
    {AUD_ERR_NETDOWN, ENETDOWN},
    {AUD_ERR_NETRESET, ENETRESET},
    {AUD_ERR_NETUNREACH, ENETUNREACH},
    {AUD_ERR_NOBUFS, ENOBUFS},
    {AUD_ERR_NODATA, ENODATA},
    {AUD_ERR_NODEV, ENODEV},
    {AUD_ERR_NODEV, ENXIO},
    {AUD_ERR_NOPROTOOPT, ENOPROTOOPT},
    {AUD_ERR_NOTCONN, ENOTCONN},
    {AUD_ERR_NOTSOCK, ENOTSOCK},
    {AUD_ERR_PROTONOSUPPORT, EPROTONOSUPPORT},
    {AUD_ERR_PROTOTYPE, EPROTOTYPE},
    {AUD_ERR_SHUTDOWN, ESHUTDOWN},
    {AUD_ERR_SHUTDOWN, EPIPE},
    {AUD_ERR_SOCKTNOSUPPORT, ESOCKTNOSUPPORT},
};

}  // namespace

const char* aud_error_get_name(aud_error_t error) {
    const error_entry* e = lookup(error);
    return e ? e->name : nullptr;
}

const char* aud_error_get_message(aud_error_t error) {
    const error_entry* e = lookup(error);
    return e ? e->message : nullptr;
}

const char* aud_error_format(aud_error_t error, char* buf, size_t size) {
    if (!buf || size == 0) {
        return "";
    }
    if (error == AUD_ERR_SUCCESS) {
        snprintf(buf, size, "success");
    } else if (error == AUD_ERR_SYSTEM) {
        int last = errno;
        char text[256] = "";
        if (last != 0) {
            // The GNU strerror_r may return a static string instead of filling text.
            const char* s = strerror_r(last, text, sizeof text);
            if (s != text) {
                snprintf(text, sizeof text, "%s", s);
            }
        }
        snprintf(buf, size, "System error: %s: (0x%04x)", text, static_cast<unsigned>(last));
    } else {
        const error_entry* e = lookup(error);
        snprintf(buf, size, "%s: (0x%04x=%s)", e ? e->name : "UNKNOWN",
                 static_cast<unsigned>(error), e ? e->message : "unknown error");
    }
    return buf;
}

aud_error_t aud_error_from_system(uint32_t system_value) {
    // Only a real zero is success: a wrapped value whose low half is zero is not.
    if (system_value == 0) {
        return AUD_SUCCESS;
    }
    for (const system_mapping& m : windows_table) {
        if (m.value == 0) {
            continue;
        }
        // Small table values also match inside wrapped results (0x8007xxxx).
        uint32_t key = m.value < 0x10000 ? (system_value & 0xFFFF) : system_value;
        if (key == m.value) {
            return m.code;
        }
    }
    return AUD_ERR_SYSTEM;
}

aud_error_t aud_error_from_errno(int err) {
    for (const errno_mapping& m : errno_table) {
        if (m.value == err) {
            return m.code;
        }
    }
    return AUD_ERR_SYSTEM;
}

aud_error_t aud_error_from_gai(int gai_result) {
    switch (gai_result) {
        case 0:
            return AUD_ERR_SUCCESS;
        case EAI_MEMORY:
            return AUD_ERR_NOMEMORY;
        case EAI_BADFLAGS:
            return AUD_ERR_INVALIDPARAMETER;
        case EAI_SOCKTYPE:
        case EAI_FAMILY:
        case EAI_SERVICE:
            return AUD_ERR_NOTSUPPORTED;
        case EAI_NONAME:
            return AUD_ERR_NOTFOUND;
#ifdef EAI_NODATA
        case EAI_NODATA:
            return AUD_ERR_NODATA;
#endif
        case EAI_AGAIN:
            return AUD_ERR_TRYAGAIN;
        case EAI_FAIL:
            return AUD_ERR_FAULT;
        case EAI_SYSTEM:
            return aud_error_from_errno(errno);
        default:
            return AUD_ERR_SYSTEM;
    }
}
