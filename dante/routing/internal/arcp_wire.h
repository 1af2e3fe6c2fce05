#pragma once
// ARCP on the wire: the 10-byte head, the request bodies this library sends and the
// decoders of the responses it reads. No sockets here; every decoder reads through a
// bounds-checked view and returns a status, so a short or lying datagram is an
// error, never an over-read. The layouts the lab's responder writes are described in
// sim/README.md ("ARCP").
#include <stddef.h>
#include <stdint.h>

#include "dante/runtime/aud_error.h"
#include "dante/runtime/byte_view.h"

#define ARCP_HEAD_SIZE 10
#define ARCP_MAX_PACKET 1400
// Requests carry the device's version capped at this; also the version assumed
// until the device has told its own.
#define ARCP_VERSION_MAX 0x2725
#define ARCP_DEFAULT_PORT 4440

// Status word of a response.
#define ARCP_STATUS_RESULT_MASK 0x0FFFu
#define ARCP_STATUS_MORE 0x8000u
#define ARCP_RESULT_SUCCESS 0x001u
// A range-list answer that has more records than fit in one datagram.
#define ARCP_RESULT_MORE_RECORDS 0x112u

enum arcp_opcode : uint16_t {
    ARCP_OP_PING = 0x0000,
    ARCP_OP_CAPABILITIES = 0x1000,
    ARCP_OP_SET_NAME = 0x1001,
    ARCP_OP_NAMES = 0x1002,
    ARCP_OP_NAMES_EXT = 0x1003,
    ARCP_OP_PROPERTIES = 0x1100,
    ARCP_OP_PROP_AVAIL = 0x1102,
    ARCP_OP_STATUS_SET = 0x1601,
    ARCP_OP_STATUS_CLEAR = 0x1602,
    ARCP_OP_COMPONENTS_CHANGED = 0x1F11,
    ARCP_OP_TX_CHANNELS = 0x2000,
    ARCP_OP_TX_LABELS = 0x2010,
    ARCP_OP_TX_FLOWS = 0x2200,
    ARCP_OP_RX_CHANNELS = 0x3000,
    ARCP_OP_RX_FLOWS = 0x3200,
    ARCP_OP_RX_FLOW_ERRORS = 0x3300,
};

typedef struct arcp_head {
    uint16_t version;
    uint16_t length;
    uint16_t seqnum;
    uint16_t opcode;
    uint16_t status;
} arcp_head_t;

// Writes the head (length = ARCP_HEAD_SIZE, patched by arcp_finish).
bool arcp_write_head(aud_byte_writer* w, uint16_t version, uint16_t seqnum, uint16_t opcode);
// Patches the length field with the writer's position.
bool arcp_finish(aud_byte_writer* w);
bool arcp_stamp_seqnum(uint8_t* packet, size_t size, uint16_t seqnum);

// INVALIDDATA when shorter than a head or when the length field is below the head
// size or above the datagram size (a datagram may carry trailing padding; only
// `length` bytes count).
aud_error_t arcp_read_head(const uint8_t* data, size_t size, arcp_head_t* out);

// Result bits of a status word mapped to a library code (low four bits and bit 15
// ignored).
aud_error_t arcp_result_to_error(uint16_t status);

// "%u.%u.%u" -> major << 12 | (minor << 8 & 0x0FFF) | (patch & 0xFF). The text is not
// terminated; at most 63 characters. INVALIDDATA for anything else.
aud_error_t arcp_parse_version(const char* text, size_t len, uint16_t* out);
uint16_t arcp_cap_version(uint16_t device_version);

// 1 to 31 characters, a letter or digit first and last, only letters, digits and '-'.
bool arcp_device_name_valid(const char* name);
// 1 to 31 characters, none of '.', '=' or '@'.
bool arcp_channel_name_valid(const char* name, size_t len);

// Range-list body: u8 0, u8 count, then (u16 first id, u16 0) per range.
bool arcp_write_range_list(aud_byte_writer* w, const uint16_t* first_ids, uint8_t count);

// ---------------------------------------------------------------------------
// Responses

typedef struct arcp_capabilities {
    uint16_t version;  // of the response
    uint16_t capability_word;
    uint16_t num_txchannels;
    uint16_t num_rxchannels;
    uint16_t max_txflows;
    uint16_t max_rxflows;
    uint16_t txflow_limit;  // version >= 0x2600
    uint16_t rxflow_limit;
    uint16_t max_txlabels;
    uint16_t num_interfaces;      // 1 below 0x2600
    uint32_t capability_flags;    // version >= 0x2703
    uint16_t rxflow_error_flags;  // version >= 0x2711
    uint16_t rxflow_error_fields;
} arcp_capabilities_t;

// Fields of a newer version than the response's read as 0 (interfaces as 1). A body
// too short for the fields its version promises is INVALIDDATA.
aud_error_t arcp_decode_capabilities(const uint8_t* data, size_t size, arcp_capabilities_t* out);

#define ARCP_NAME_SIZE 32
// The names answer: the device name at +10, NUL-terminated within 32 bytes and the
// datagram.
aud_error_t arcp_decode_names(const uint8_t* data, size_t size, char name[ARCP_NAME_SIZE]);

// Records of a list answer: u8 at +10, u8 count at +11, fixed-size records from +12.
typedef struct arcp_records {
    aud_byte_reader packet;  // the whole datagram (offsets count from its start)
    uint8_t count;
    size_t record_size;
    size_t records_end;  // strings must start at or after this
} arcp_records_t;

aud_error_t arcp_records_init(const uint8_t* data, size_t size, size_t record_size,
                              arcp_records_t* out);
// A view of record i (i < count).
aud_byte_reader arcp_records_get(const arcp_records_t* records, size_t i);
// A string given by its offset from the start of the datagram: past the records,
// inside the datagram, terminated inside it.
aud_error_t arcp_records_string(const arcp_records_t* records, uint16_t offset, const char** out,
                                size_t* len);

#define ARCP_TXCHANNEL_RECORD_SIZE 8
#define ARCP_RXCHANNEL_RECORD_SIZE 20
#define ARCP_LABEL_RECORD_SIZE 8
#define ARCP_FLOW_RECORD_SIZE 8
#define ARCP_PROPERTY_RECORD_SIZE 8
#define ARCP_PROP_AVAIL_RECORD_SIZE 4
#define ARCP_CHANNEL_NAME_SIZE 32
// "%s@%s": two names and the at sign.
#define ARCP_SUBSCRIPTION_SIZE 64
// RX channel flag: the subscribed TX device "." (this device) is allowed.
#define ARCP_RXCHANNEL_FLAG_SELF_SUBSCRIBE 0x0008u

typedef struct arcp_format {
    uint32_t sample_rate;
    uint16_t encoding;
} arcp_format_t;

typedef struct arcp_txchannel {
    uint16_t id;
    uint16_t flags;
    arcp_format_t format;  // zero when the record gives none
    char name[ARCP_CHANNEL_NAME_SIZE];
} arcp_txchannel_t;

typedef struct arcp_rxchannel {
    uint16_t id;
    uint16_t flags;
    arcp_format_t format;
    char name[ARCP_CHANNEL_NAME_SIZE];
    char subscription[ARCP_SUBSCRIPTION_SIZE];  // "tx@device", empty when unsubscribed
    uint8_t byte12;
    uint8_t byte13;
    uint16_t status;
    uint32_t latency_ns;  // 0 when the record gives none
} arcp_rxchannel_t;

// INVALIDDATA for a bad offset or string, INVALIDPARAMETER for an invalid name.
aud_error_t arcp_decode_txchannel(const arcp_records_t* records, size_t i, arcp_txchannel_t* out);
aud_error_t arcp_decode_rxchannel(const arcp_records_t* records, size_t i, arcp_rxchannel_t* out);

typedef struct arcp_label {
    uint16_t channel_id;
    uint16_t flags;
    char name[ARCP_CHANNEL_NAME_SIZE];
} arcp_label_t;
aud_error_t arcp_decode_label(const arcp_records_t* records, size_t i, arcp_label_t* out);

typedef struct arcp_flow {
    uint16_t id;
    uint16_t flags;
    char name[ARCP_CHANNEL_NAME_SIZE];  // empty when the record gives none
} arcp_flow_t;
aud_error_t arcp_decode_flow(const arcp_records_t* records, size_t i, arcp_flow_t* out);

// One property value: +0 u16 id, +2 u16 size, +4 u16 offset of the value, +6 u16 0.
typedef struct arcp_property {
    uint16_t id;
    uint16_t size;
    aud_byte_reader value;  // exactly `size` bytes of the datagram
} arcp_property_t;
aud_error_t arcp_decode_property(const arcp_records_t* records, size_t i, arcp_property_t* out);

// (id, flags) pairs of the available-properties answer.
aud_error_t arcp_decode_prop_avail(const arcp_records_t* records, size_t i, uint16_t* id,
                                   uint16_t* flags);
