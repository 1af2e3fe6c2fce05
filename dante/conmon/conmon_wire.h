#pragma once
// ConMon wire codec: the server protocol between a ConMon client and its local
// ConMon server (head in host byte order), and the ConMon message head that every
// message carries (network byte order). Pure encode/decode on caller buffers: no
// sockets and no client state, so the client, the channels and the lab's server
// share it. Every decoder reads through a bounds-checked view and returns a status.
#include <assert.h>  // static_assert in C11
#include <stddef.h>
#include <stdint.h>

#include "dante/runtime/aud_error.h"

#ifdef __cplusplus
extern "C" {
#endif

// ---------------------------------------------------------------------------
// Sizes and defaults

#define CONMON_IPC_HEAD_SIZE 10
#define CONMON_MESSAGE_HEAD_SIZE 24
// Send and receive buffers for server datagrams.
#define CONMON_IPC_BUFFER_SIZE 6940
#define CONMON_NAME_SIZE 32
#define CONMON_DNS_NAME_SIZE 256
#define CONMON_MAX_BODY_ADHOC 1448
#define CONMON_MAX_BODY_MANAGED 1320
#define CONMON_DEFAULT_SERVER_PORT 8900
#define CONMON_MAX_INTERFACES 2
#define CONMON_INTERFACE_RECORD_SIZE 36
#define CONMON_REMOTE_RECORD_SIZE 72
#define CONMON_REMOTE_RECORD_SIZE_V10 48

// Protocol versions: the range a head may carry, the default the client speaks,
// and the versions at which layouts change.
#define CONMON_IPC_VERSION_MIN 0x1000
#define CONMON_IPC_VERSION_MAX 0x1FFF
#define CONMON_IPC_VERSION_1100 0x1100  // METERING port in register/subscribe; 72-byte remotes
#define CONMON_IPC_VERSION_1200 0x1200  // full connect response
#define CONMON_IPC_VERSION_1300 0x1300  // remote attributes at +50/+51
#define CONMON_IPC_VERSION_1400 0x1400  // fixed-size connect request, two stored words
#define CONMON_IPC_VERSION_DEFAULT 0x1503

// ---------------------------------------------------------------------------
// Channels and directions

typedef enum conmon_channel_type {
    CONMON_CHANNEL_TYPE_CONTROL = 0,
    CONMON_CHANNEL_TYPE_METERING = 1,
    CONMON_CHANNEL_TYPE_STATUS = 2,
    CONMON_CHANNEL_TYPE_BROADCAST = 3,
    CONMON_CHANNEL_TYPE_LOCAL = 4,
    CONMON_CHANNEL_TYPE_SERIAL = 5,
    CONMON_CHANNEL_TYPE_KEEPALIVE = 6,
    CONMON_CHANNEL_TYPE_VBROADCAST = 7,
    CONMON_CHANNEL_TYPE_MONITORING = 8,
    CONMON_NUM_CHANNELS = 9
} conmon_channel_type_t;

typedef enum conmon_channel_direction {
    CONMON_CHANNEL_DIRECTION_TX = 0,  // sent by the local endpoint
    CONMON_CHANNEL_DIRECTION_RX = 1,  // received from other devices
    CONMON_NUM_DIRECTIONS = 2
} conmon_channel_direction_t;

// Lower-case channel name for log lines ("control", … "monitoring"); "unknown" otherwise.
const char* conmon_channel_type_log_name(uint16_t channel);

// ---------------------------------------------------------------------------
// Identities

typedef struct conmon_instance_id {
    uint8_t device_id[8];
    uint16_t process_id;
} conmon_instance_id_t;

int conmon_instance_id_equal(const conmon_instance_id_t* a, const conmon_instance_id_t* b);

typedef struct conmon_vendor_id {
    uint8_t data[8];  // no terminator required
} conmon_vendor_id_t;

extern const conmon_vendor_id_t CONMON_VENDOR_ID_AUDINATE;  // "Audinate"

// A shorter string is NUL-padded to 8 bytes; a longer one is cut.
void conmon_vendor_id_from_string(conmon_vendor_id_t* out, const char* text);
int conmon_vendor_id_equal(const conmon_vendor_id_t* a, const conmon_vendor_id_t* b);

// ---------------------------------------------------------------------------
// ConMon message head: 24 bytes in network order, the body follows at 24.
// Handlers receive a pointer to the head in its wire form; read it with the
// accessors below.

typedef struct conmon_message_head {
    uint8_t message_class[2];
    uint8_t length[2];  // body size + 24
    uint8_t seqnum[2];
    uint8_t process_id[2];
    uint8_t device_id[8];
    conmon_vendor_id_t vendor_id;
} conmon_message_head_t;

static_assert(sizeof(conmon_message_head_t) == CONMON_MESSAGE_HEAD_SIZE, "wire size");

uint16_t conmon_message_head_get_message_class(const conmon_message_head_t* head);
uint16_t conmon_message_head_get_length(const conmon_message_head_t* head);
// Length − 24; 0 for a head whose length is below 24.
uint16_t conmon_message_head_get_body_size(const conmon_message_head_t* head);
uint16_t conmon_message_head_get_seqnum(const conmon_message_head_t* head);
void conmon_message_head_get_instance_id(const conmon_message_head_t* head,
                                         conmon_instance_id_t* out);
const conmon_vendor_id_t* conmon_message_head_get_vendor_id(const conmon_message_head_t* head);

// Writes a head for a message of body_size bytes.
void conmon_message_head_init(conmon_message_head_t* head, uint16_t message_class, uint16_t seqnum,
                              const conmon_instance_id_t* source,
                              const conmon_vendor_id_t* vendor_id, uint16_t body_size);

// A whole ConMon message (head and body) checked against its buffer: at least 24
// bytes and a head length between 24 and size. INVALIDDATA otherwise.
aud_error_t conmon_message_check(const uint8_t* data, size_t size);

// ---------------------------------------------------------------------------
// Server protocol head (10 bytes, host byte order = little-endian)

typedef enum conmon_ipc_opcode {
    CONMON_IPC_OPCODE_CONNECT = 0x0100,
    CONMON_IPC_OPCODE_DISCONNECT = 0x0101,
    CONMON_IPC_OPCODE_REGISTER_MONITORING = 0x0300,
    CONMON_IPC_OPCODE_DEREGISTER_MONITORING = 0x0301,
    CONMON_IPC_OPCODE_SUBSCRIBE = 0x0310,
    CONMON_IPC_OPCODE_CLEAR_REMOTE = 0x0330,
    CONMON_IPC_OPCODE_CONTROL = 0x0400,
    CONMON_IPC_OPCODE_EVENT_INTERFACES = 0x0500,
    CONMON_IPC_OPCODE_EVENT_DEVICE_NAME = 0x0501,
    CONMON_IPC_OPCODE_EVENT_DNS_NAME = 0x0502,
    CONMON_IPC_OPCODE_EVENT_MESSAGE = 0x0510,
    CONMON_IPC_OPCODE_EVENT_MONITORED_MESSAGE = 0x0511,
    CONMON_IPC_OPCODE_EVENT_REMOTES = 0x0521,
} conmon_ipc_opcode_t;

typedef enum conmon_ipc_status {
    CONMON_IPC_STATUS_REQUEST = 0,
    CONMON_IPC_STATUS_RESPONSE = 1,
    CONMON_IPC_STATUS_EVENT = 2,
    CONMON_IPC_STATUS_INVALID_VERSION = 3,
    CONMON_IPC_STATUS_INVALID_SIZE = 4,
    CONMON_IPC_STATUS_INVALID_OPCODE = 5,
    CONMON_IPC_STATUS_INVALID_STATUS = 6,
    CONMON_IPC_STATUS_INVALID_DATA = 7,
    CONMON_IPC_STATUS_INTERNAL_ERROR = 8,
    CONMON_IPC_STATUS_NOT_SUPPORTED = 9,
    CONMON_IPC_STATUS_TIMEOUT = 10,
    CONMON_IPC_STATUS_INVALID_STATE = 11,
    CONMON_IPC_STATUS_NO_BUFFERS = 12,
    CONMON_IPC_STATUS_NOT_FOUND = 13,
} conmon_ipc_status_t;

#define CONMON_IPC_STATUS_CODE_MASK 0x0FFF
// Bits 12-15 of a request's status: no response is awaited.
#define CONMON_IPC_STATUS_NO_RESPONSE 0xF000
// Server flag (connect response +10): the server honours CONMON_IPC_STATUS_NO_RESPONSE.
#define CONMON_IPC_SERVER_FLAG_NO_RESPONSE 0x0001

// Status name for log lines ("Request", "Invalid size", …); "Unknown" for other codes.
const char* conmon_ipc_status_name(uint16_t code);
// Library error a response status turns into; unknown codes give SYSTEM.
aud_error_t conmon_ipc_status_to_error(uint16_t code);

typedef struct conmon_ipc_head {
    uint16_t version;
    uint16_t length;  // whole datagram, head included
    uint16_t seqnum;
    uint16_t opcode;
    uint16_t status;  // code in bits 0-11, no-response bits 12-15
} conmon_ipc_head_t;

aud_error_t conmon_ipc_head_decode(const uint8_t* data, size_t size, conmon_ipc_head_t* out);
// Writes 10 bytes (cap permitting; TRUNCATED otherwise).
aud_error_t conmon_ipc_head_encode(const conmon_ipc_head_t* head, uint8_t* buf, size_t cap);

// Checks a datagram received from the server: size, version, head length against
// the size, then (for status codes 0-2) the per-opcode size and status rules.
// Returns 1 and fills head when valid; returns 0 and stores the failing status
// code (3-9) in *failure otherwise.
int conmon_ipc_validate_from_server(const uint8_t* data, size_t size, conmon_ipc_head_t* head,
                                    uint16_t* failure);

// ---------------------------------------------------------------------------
// Requests (client → server). Each encoder takes a head with version, seqnum and
// status set, fills in opcode and length, and writes the datagram into buf.
// TRUNCATED when cap is too small; INVALIDPARAMETER for values that do not fit.
// The matching decoders (for the server) check the layout and return INVALIDDATA
// for a datagram of the wrong size.

#define CONMON_CONNECT_MANUAL 0
#define CONMON_CONNECT_AUTOMATIC 10

// 0x1400 and later: 44 bytes, name in 32 bytes, mode at +42. Older: the name with
// its NUL from +10. Names are cut to 31 characters.
aud_error_t conmon_ipc_encode_connect(const conmon_ipc_head_t* head, const char* client_name,
                                      uint16_t mode, uint8_t* buf, size_t cap, size_t* size);
aud_error_t conmon_ipc_decode_connect(const conmon_ipc_head_t* head, const uint8_t* data,
                                      size_t size, char name[CONMON_NAME_SIZE], uint16_t* mode);

// Requests with nothing after the head: disconnect, CLEAR_REMOTE, and plain
// responses (status only) from the server. Uses head->opcode.
aud_error_t conmon_ipc_encode_head_only(const conmon_ipc_head_t* head, uint8_t* buf, size_t cap,
                                        size_t* size);

typedef struct conmon_ipc_register {
    uint16_t channel;
    uint16_t direction;
    uint16_t metering_port;  // from 0x1100 on
} conmon_ipc_register_t;

// head->opcode chooses register (0x0300) or deregister (0x0301).
aud_error_t conmon_ipc_encode_register(const conmon_ipc_head_t* head,
                                       const conmon_ipc_register_t* reg, uint8_t* buf, size_t cap,
                                       size_t* size);
aud_error_t conmon_ipc_decode_register(const conmon_ipc_head_t* head, const uint8_t* data,
                                       size_t size, conmon_ipc_register_t* reg);

typedef struct conmon_ipc_subscribe {
    uint16_t channel;
    uint16_t metering_port;              // from 0x1100 on
    char device_name[CONMON_NAME_SIZE];  // empty: all devices
} conmon_ipc_subscribe_t;

aud_error_t conmon_ipc_encode_subscribe(const conmon_ipc_head_t* head,
                                        const conmon_ipc_subscribe_t* sub, uint8_t* buf, size_t cap,
                                        size_t* size);
aud_error_t conmon_ipc_decode_subscribe(const conmon_ipc_head_t* head, const uint8_t* data,
                                        size_t size, conmon_ipc_subscribe_t* sub);

#define CONMON_CONTROL_ADDRESSING_BY_NAME 0
#define CONMON_IPC_CONTROL_MESSAGE_OFFSET 52

typedef struct conmon_ipc_control {
    uint16_t addressing_mode;
    uint32_t timeout_seconds;  // 0/0: the server's default
    uint32_t timeout_microseconds;
    char device_name[CONMON_NAME_SIZE];  // empty: the local device
    // The embedded message: encode takes class, vendor id and body and writes a
    // head with zero seqnum and source; decode points message into the datagram.
    uint16_t message_class;
    conmon_vendor_id_t vendor_id;
    const uint8_t* body;
    size_t body_size;
    const conmon_message_head_t* message;  // decode only
} conmon_ipc_control_t;

aud_error_t conmon_ipc_encode_control(const conmon_ipc_head_t* head,
                                      const conmon_ipc_control_t* ctl, uint8_t* buf, size_t cap,
                                      size_t* size);
aud_error_t conmon_ipc_decode_control(const conmon_ipc_head_t* head, const uint8_t* data,
                                      size_t size, conmon_ipc_control_t* ctl);

// ---------------------------------------------------------------------------
// Responses and events (server → client). Decoders assume a datagram that passed
// conmon_ipc_validate_from_server, but still read through bounds checks and
// return INVALIDDATA rather than over-read.

// Interface entry: only the index and the IPv4 address have a known meaning;
// the other fields are carried unchanged.
typedef struct conmon_interface_entry {
    uint32_t index;  // +0 system interface index
    uint32_t word4;  // +4
    uint16_t half8;  // +8
    uint8_t bytes10[6];
    uint32_t word16;      // +16
    uint32_t ip_address;  // +20, network order (as in in_addr.s_addr)
    uint32_t words24[3];  // +24, +28, +32
} conmon_interface_entry_t;

typedef struct conmon_interface_list {
    uint16_t count;        // as sent
    uint16_t record_size;  // as sent
    uint16_t offset;       // as sent, from the start of the datagram
    uint16_t num_entries;  // decoded entries, at most CONMON_MAX_INTERFACES
    conmon_interface_entry_t entries[CONMON_MAX_INTERFACES];
} conmon_interface_list_t;

typedef struct conmon_ipc_connect_response {
    uint16_t server_flags;
    char device_name[CONMON_NAME_SIZE];
    char dns_name[CONMON_DNS_NAME_SIZE];
    conmon_instance_id_t instance_id;
    conmon_interface_list_t interfaces;
    uint32_t stored_words[2];  // from 0x1400 on
} conmon_ipc_connect_response_t;

// Connect response of version 0x1200 or later (fixed part 324 bytes, interface
// records at the given offset). Encode writes records of 36 bytes from +324.
aud_error_t conmon_ipc_encode_connect_response(const conmon_ipc_head_t* head,
                                               const conmon_ipc_connect_response_t* rsp,
                                               uint8_t* buf, size_t cap, size_t* size);
aud_error_t conmon_ipc_decode_connect_response(const conmon_ipc_head_t* head, const uint8_t* data,
                                               size_t size, conmon_ipc_connect_response_t* rsp);

// Event 0x0500: the interface list, count at +10, record size +12, offset +14.
aud_error_t conmon_ipc_encode_interfaces_event(const conmon_ipc_head_t* head,
                                               const conmon_interface_entry_t* entries,
                                               uint16_t count, uint8_t* buf, size_t cap,
                                               size_t* size);
aud_error_t conmon_ipc_decode_interfaces_event(const conmon_ipc_head_t* head, const uint8_t* data,
                                               size_t size, conmon_interface_list_t* list);

// Events 0x0501 (32-byte device name) and 0x0502 (256-byte DNS name), chosen by
// head->opcode. Decoded names are always NUL-terminated.
aud_error_t conmon_ipc_encode_name_event(const conmon_ipc_head_t* head, const char* name,
                                         uint8_t* buf, size_t cap, size_t* size);
aud_error_t conmon_ipc_decode_name_event(const conmon_ipc_head_t* head, const uint8_t* data,
                                         size_t size, char* name, size_t name_cap);

// Remote records of a subscribe response and of event 0x0521.
#define CONMON_REMOTE_FLAG_INSTANCE_ID_VALID 0x01
#define CONMON_REMOTE_FLAG_ADDRESSES_VALID 0x02

typedef struct conmon_address_list {
    uint16_t count;
    uint16_t valid_mask;
    struct {
        uint32_t address;  // network order
        uint16_t port;
    } entries[2];
} conmon_address_list_t;

typedef struct conmon_ipc_remote_record {
    uint8_t flags;
    uint16_t channel;
    char device_name[CONMON_NAME_SIZE];
    conmon_instance_id_t instance_id;
    uint16_t attribute;   // +46
    uint16_t attribute2;  // +48
    uint8_t attribute3;   // +50, from 0x1300 on
    uint8_t attribute4;   // +51, from 0x1300 on
    conmon_address_list_t addresses;
} conmon_ipc_remote_record_t;

typedef struct conmon_ipc_remotes {
    uint16_t count;
    uint16_t merge;  // always 1 below 0x1100
} conmon_ipc_remotes_t;

aud_error_t conmon_ipc_encode_remotes(const conmon_ipc_head_t* head, uint16_t merge,
                                      const conmon_ipc_remote_record_t* records, uint16_t count,
                                      uint8_t* buf, size_t cap, size_t* size);
// Reads the count and merge flag and checks that all records fit.
aud_error_t conmon_ipc_decode_remotes(const conmon_ipc_head_t* head, const uint8_t* data,
                                      size_t size, conmon_ipc_remotes_t* out);
aud_error_t conmon_ipc_decode_remote_record(const conmon_ipc_head_t* head, const uint8_t* data,
                                            size_t size, uint16_t index,
                                            conmon_ipc_remote_record_t* out);

// Events 0x0510 (message on a channel) and 0x0511 (monitored message with the
// sender's name), chosen by head->opcode.
typedef struct conmon_ipc_message_event {
    uint16_t channel;
    uint16_t direction;
    uint8_t flags;                         // 0x0510 only: bits 0-1, CONTROL domain filter
    char sender_name[CONMON_NAME_SIZE];    // 0x0511 only; empty when unknown
    const conmon_message_head_t* message;  // decode: points into the datagram
    const uint8_t* body;                   // decode: message body
    uint16_t body_size;
} conmon_ipc_message_event_t;

// Encode copies the 24-byte head from message and body_size bytes from body.
// Decode gives INVALIDDATA for a short datagram or an embedded message whose
// length is below 24 or beyond the datagram, RANGE for a channel or direction
// outside the handler table.
aud_error_t conmon_ipc_encode_message_event(const conmon_ipc_head_t* head,
                                            const conmon_ipc_message_event_t* ev, uint8_t* buf,
                                            size_t cap, size_t* size);
aud_error_t conmon_ipc_decode_message_event(const conmon_ipc_head_t* head, const uint8_t* data,
                                            size_t size, conmon_ipc_message_event_t* ev);

#ifdef __cplusplus
}
#endif
