#pragma once
// Library error codes. Every library operation returns one of these (0 = success).
// The list below is the only place codes, names and messages are written; the enum
// and the name and message lookups are all expanded from it.
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// XX(code, NAME, "message")
#define AUD_ERROR_MAP(XX)                               \
    XX(0, SUCCESS, "success")                           \
    XX(1, DONE, "operation done")                       \
    XX(2, SYSTEM, "system-specific error")              \
    XX(3, INVALIDPARAMETER, "invalid parameter")        \
    XX(4, INVALIDDATA, "invalid data")                  \
    XX(5, INVALIDSTATE, "invalid state")                \
    XX(6, NOMEMORY, "out of memory")                    \
    XX(7, INTERRUPTED, "interrupted")                   \
    XX(8, TRUNCATED, "message truncated")               \
    XX(9, NOTSUPPORTED, "operation not supported")      \
    XX(10, TIMEDOUT, "operation timed out")             \
    XX(11, NOTFOUND, "object or item not found")        \
    XX(12, DNSSDFAIL, "DNS-SD system failed")           \
    XX(13, RANGE, "data out of range")                  \
    XX(14, POLICY, "administrative policy violation")   \
    XX(15, VERSION, "unsupported version")              \
    XX(16, ACCES, "access")                             \
    XX(17, ADDRINUSE, "address in use")                 \
    XX(18, ADDRNOTAVAIL, "address not available")       \
    XX(19, AFNOSUPPORT, "address family not supported") \
    XX(20, ALREADY, "operation already in progress")    \
    XX(21, BADF, "bad file")                            \
    XX(22, CONNABORTED, "connection aborted")           \
    XX(23, CONNREFUSED, "connection refused")           \
    XX(24, CONNRESET, "connection reset")               \
    XX(25, DESTADDRREQ, "destination address required") \
    XX(26, FAULT, "fault")                              \
    XX(27, HOSTUNREACH, "host unreachable")             \
    XX(28, INPROGRESS, "operation in progress")         \
    XX(29, ISCONN, "socket already connected")          \
    XX(30, MFILE, "too many open files")                \
    XX(31, MSGSIZE, "message too long")                 \
    XX(32, NETDOWN, "network down")                     \
    XX(33, NETRESET, "network reset")                   \
    XX(34, NETUNREACH, "network unreachable")           \
    XX(35, NOBUFS, "no buffers")                        \
    XX(36, NODATA, "no data")                           \
    XX(37, NODEV, "no such device")                     \
    XX(38, NOPROTOOPT, "protocol not available")        \
    XX(39, NORECOVERY, "non-recoverable error")         \
    XX(40, NOTCONN, "not connected")                    \
    XX(41, NOTINITIALISED, "not initialised")           \
    XX(42, NOTSOCK, "not a socket")                     \
    XX(43, PROTONOSUPPORT, "unsupported protocol")      \
    XX(44, PROTOTYPE, "wrong protocol type for socket") \
    XX(45, SHUTDOWN, "socket has shut down")            \
    XX(46, SOCKTNOSUPPORT, "socket type not supported") \
    XX(47, TRYAGAIN, "try again")                       \
    XX(48, NOTRUNNING, "not running")

#define AUD_ERROR_ENUM_(code, name, msg) AUD_ERR_##name = code,
#define AUD_ERROR_ENUMERATORS_ \
    AUD_ERROR_MAP(AUD_ERROR_ENUM_) AUD_SUCCESS = AUD_ERR_SUCCESS, AUD_ERROR_COUNT = 49,
#ifdef __cplusplus
// A fixed underlying type lets other layers carry their own codes (0x100 and up)
// in the same type.
typedef enum aud_error : int32_t { AUD_ERROR_ENUMERATORS_ } aud_error_t;
#else
// C fixes an enum's type only from C23 on; the same codes travel in an int32_t.
enum aud_error { AUD_ERROR_ENUMERATORS_ };
typedef int32_t aud_error_t;
#endif
#undef AUD_ERROR_ENUMERATORS_
#undef AUD_ERROR_ENUM_

// Size of the buffer aud_error_format is meant to be called with.
#define AUD_ERROR_STR_SIZE 513
typedef char aud_errbuf_t[AUD_ERROR_STR_SIZE];

// "SUCCESS", "TIMEDOUT", ...; null for a code outside the table.
const char* aud_error_get_name(aud_error_t error);
// "success", "operation timed out", ...; null for a code outside the table.
const char* aud_error_get_message(aud_error_t error);

// Formats into buf (always terminated, truncated at size) and returns buf:
//   SUCCESS -> "success"
//   SYSTEM  -> "System error: <text of the last system error>: (0x<errno as %04x>)"
//   other   -> "<NAME>: (0x<code as %04x>=<message>)"
// A code outside the table formats as "UNKNOWN: (0x....=unknown error)".
const char* aud_error_format(aud_error_t error, char* buf, size_t size);

// The Windows system-error table, kept so both platforms agree on the meaning of a
// code. Table values below 0x10000 match the low 16 bits of system_value, so
// wrapped results (0x80070005) map like the plain value; only 0 itself is SUCCESS;
// unlisted -> SYSTEM.
aud_error_t aud_error_from_system(uint32_t system_value);

// POSIX errno -> library code, the same meanings as the Windows table
// (EWOULDBLOCK/EAGAIN -> TIMEDOUT, ECONNREFUSED -> CONNREFUSED, ...); unlisted -> SYSTEM.
aud_error_t aud_error_from_errno(int err);

// The IPv4 UDP address lookup maps getaddrinfo's EAI_* results with this.
aud_error_t aud_error_from_gai(int gai_result);

#ifdef __cplusplus
}
#endif
