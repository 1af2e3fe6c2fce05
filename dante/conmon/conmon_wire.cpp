#include "dante/conmon/conmon_wire.h"

#include <string.h>

#include "dante/runtime/byte_view.h"

namespace {

// Fixed offsets of the server protocol layouts.
constexpr size_t kConnectNameOffset = 10;
constexpr size_t kConnectRequestSize = 44;
constexpr size_t kConnectResponseFixedSize = 324;
constexpr size_t kRemotesRecordsOffset = 16;
constexpr size_t kRemotesRecordsOffsetV10 = 12;
constexpr size_t kMessageEventOffset = 16;
constexpr size_t kMonitoredEventOffset = 48;
constexpr size_t kMessageEventMinSize = 40;
constexpr size_t kMonitoredEventMinSize = 72;
constexpr size_t kDnsNameEventMinSize = 266;
constexpr size_t kDeviceNameEventMinSize = 42;
constexpr size_t kControlFixedSize = 76;

constexpr const char* kChannelLogNames[CONMON_NUM_CHANNELS] = {
    "control", "metering",  "status",           "broadcast",  "local",
    "serial",  "keepalive", "vendor_broadcast", "monitoring",
};

struct status_entry {
    const char* name;
    aud_error_t error;
};

constexpr status_entry kStatusTable[] = {
    {"Request", AUD_SUCCESS},
    {"Response", AUD_SUCCESS},
    {"Event", AUD_SUCCESS},
    {"Invalid version", AUD_ERR_VERSION},
    {"Invalid size", AUD_ERR_INVALIDDATA},
    {"Invalid opcode", AUD_ERR_INVALIDDATA},
    {"Invalid status", AUD_ERR_INVALIDDATA},
    {"Invalid data", AUD_ERR_INVALIDDATA},
    {"Internal error", AUD_ERR_SYSTEM},
    {"Not Supported", AUD_ERR_NOTSUPPORTED},
    {"Timeout", AUD_ERR_TIMEDOUT},
    {"Invalid State", AUD_ERR_INVALIDSTATE},
    {"No Buffers", AUD_ERR_NOBUFS},
    {"Not Found", AUD_ERR_NOTFOUND},
};

// Copies a fixed-size name field, always terminated and cut at its first NUL.
bool read_name(aud_byte_reader* r, size_t field, char* out, size_t out_cap) {
    if (!aud_reader_has(r, field) || out_cap == 0) {
        return false;
    }
    const char* src = reinterpret_cast<const char*>(r->data + r->pos);
    size_t n = strnlen(src, field);
    if (n > out_cap - 1) {
        n = out_cap - 1;
    }
    memcpy(out, src, n);
    memset(out + n, 0, out_cap - n);
    r->pos += field;
    return true;
}

// Writes a name into a fixed-size field: at most field-1 characters, NUL-padded.
bool write_name(aud_byte_writer* w, const char* name, size_t field) {
    size_t n = name ? strnlen(name, field - 1) : 0;
    return aud_write_bytes(w, name, n) && aud_write_zeros(w, field - n);
}

// In server datagrams the process id follows the device id in host order.
bool read_instance_id_h(aud_byte_reader* r, conmon_instance_id_t* id) {
    return aud_read_bytes(r, id->device_id, 8) && aud_read_h16(r, &id->process_id);
}

bool write_instance_id_h(aud_byte_writer* w, const conmon_instance_id_t* id) {
    return aud_write_bytes(w, id->device_id, 8) && aud_write_h16(w, id->process_id);
}

bool write_head(aud_byte_writer* w, const conmon_ipc_head_t* head, uint16_t opcode, size_t length) {
    return aud_write_h16(w, head->version) && aud_write_h16(w, static_cast<uint16_t>(length)) &&
           aud_write_h16(w, head->seqnum) && aud_write_h16(w, opcode) &&
           aud_write_h16(w, head->status);
}

// Common start of every encoder: a cleared buffer large enough for length bytes.
aud_error_t begin(aud_byte_writer* w, uint8_t* buf, size_t cap, size_t length) {
    if (!buf) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (length > 0xFFFF) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (cap < length) {
        return AUD_ERR_TRUNCATED;
    }
    memset(buf, 0, length);
    *w = aud_writer_make(buf, length);
    return AUD_SUCCESS;
}

aud_error_t finish(const aud_byte_writer* w, size_t* size) {
    if (size) {
        *size = w->size;
    }
    return AUD_SUCCESS;
}

bool read_interface_entry(aud_byte_reader* r, conmon_interface_entry_t* e) {
    return aud_read_h32(r, &e->index) && aud_read_h32(r, &e->word4) && aud_read_h16(r, &e->half8) &&
           aud_read_bytes(r, e->bytes10, 6) && aud_read_h32(r, &e->word16) &&
           aud_read_bytes(r, &e->ip_address, 4) && aud_read_h32(r, &e->words24[0]) &&
           aud_read_h32(r, &e->words24[1]) && aud_read_h32(r, &e->words24[2]);
}

bool write_interface_entry(aud_byte_writer* w, const conmon_interface_entry_t* e) {
    return aud_write_h32(w, e->index) && aud_write_h32(w, e->word4) && aud_write_h16(w, e->half8) &&
           aud_write_bytes(w, e->bytes10, 6) && aud_write_h32(w, e->word16) &&
           aud_write_bytes(w, &e->ip_address, 4) && aud_write_h32(w, e->words24[0]) &&
           aud_write_h32(w, e->words24[1]) && aud_write_h32(w, e->words24[2]);
}

// Interface records of a connect response or event 0x0500. Records are taken only
// when they are at least 36 bytes, at most two of them.
aud_error_t read_interface_records(const aud_byte_reader* all, conmon_interface_list_t* list) {
    list->num_entries = 0;
    memset(list->entries, 0, sizeof list->entries);
    if (list->record_size < CONMON_INTERFACE_RECORD_SIZE) {
        return AUD_SUCCESS;
    }
    uint16_t n = list->count < CONMON_MAX_INTERFACES ? list->count : CONMON_MAX_INTERFACES;
    for (uint16_t i = 0; i < n; ++i) {
        aud_byte_reader r = *all;
        size_t at = static_cast<size_t>(list->offset) + static_cast<size_t>(i) * list->record_size;
        if (!aud_reader_seek(&r, at) || !read_interface_entry(&r, &list->entries[i])) {
            return AUD_ERR_INVALIDDATA;
        }
    }
    list->num_entries = n;
    return AUD_SUCCESS;
}

bool is_event_opcode(uint16_t opcode) {
    return (opcode & 0xFF00) == 0x0500;
}

size_t remote_record_size(uint16_t version) {
    return version >= CONMON_IPC_VERSION_1100 ? CONMON_REMOTE_RECORD_SIZE
                                              : CONMON_REMOTE_RECORD_SIZE_V10;
}

size_t remote_records_offset(uint16_t version) {
    return version >= CONMON_IPC_VERSION_1100 ? kRemotesRecordsOffset : kRemotesRecordsOffsetV10;
}

// Size rules per opcode for a datagram whose status is Request, Response or Event.
uint16_t check_layout(const conmon_ipc_head_t* head, const aud_byte_reader* r) {
    const size_t size = r->size;
    const uint16_t code = head->status & CONMON_IPC_STATUS_CODE_MASK;
    if (is_event_opcode(head->opcode) && code != CONMON_IPC_STATUS_EVENT) {
        switch (head->opcode) {
            case CONMON_IPC_OPCODE_EVENT_INTERFACES:
            case CONMON_IPC_OPCODE_EVENT_DEVICE_NAME:
            case CONMON_IPC_OPCODE_EVENT_DNS_NAME:
            case CONMON_IPC_OPCODE_EVENT_MESSAGE:
            case CONMON_IPC_OPCODE_EVENT_MONITORED_MESSAGE:
            case CONMON_IPC_OPCODE_EVENT_REMOTES:
                return CONMON_IPC_STATUS_INVALID_STATUS;
            default:
                return CONMON_IPC_STATUS_NOT_SUPPORTED;
        }
    }
    switch (head->opcode) {
        case CONMON_IPC_OPCODE_CONNECT: {
            if (code != CONMON_IPC_STATUS_RESPONSE) {
                return CONMON_IPC_STATUS_INVALID_STATUS;
            }
            uint16_t count = 0;
            uint16_t rec_size = 0;
            uint16_t offset = 0;
            aud_byte_reader c = *r;
            if (size < kConnectResponseFixedSize || !aud_reader_seek(&c, 310) ||
                !aud_read_h16(&c, &count) || !aud_read_h16(&c, &rec_size) ||
                !aud_read_h16(&c, &offset)) {
                return CONMON_IPC_STATUS_INVALID_SIZE;
            }
            if (static_cast<size_t>(count) * rec_size + offset != size) {
                return CONMON_IPC_STATUS_INVALID_SIZE;
            }
            return 0;
        }
        case CONMON_IPC_OPCODE_DISCONNECT:
        case CONMON_IPC_OPCODE_REGISTER_MONITORING:
        case CONMON_IPC_OPCODE_DEREGISTER_MONITORING:
        case CONMON_IPC_OPCODE_CLEAR_REMOTE:
        case CONMON_IPC_OPCODE_CONTROL:
            return code == CONMON_IPC_STATUS_EVENT ? CONMON_IPC_STATUS_INVALID_STATUS : 0;
        case CONMON_IPC_OPCODE_SUBSCRIBE:
            if (code == CONMON_IPC_STATUS_EVENT) {
                return CONMON_IPC_STATUS_INVALID_STATUS;
            }
            if (code != CONMON_IPC_STATUS_RESPONSE || size <= CONMON_IPC_HEAD_SIZE) {
                return 0;
            }
            [[fallthrough]];
        case CONMON_IPC_OPCODE_EVENT_REMOTES: {
            conmon_ipc_remotes_t remotes;
            return conmon_ipc_decode_remotes(head, r->data, size, &remotes) == AUD_SUCCESS
                       ? 0
                       : CONMON_IPC_STATUS_INVALID_SIZE;
        }
        case CONMON_IPC_OPCODE_EVENT_INTERFACES: {
            uint16_t count = 0;
            aud_byte_reader c = *r;
            if (!aud_reader_seek(&c, CONMON_IPC_HEAD_SIZE) || !aud_read_h16(&c, &count) ||
                static_cast<size_t>(count) * CONMON_INTERFACE_RECORD_SIZE + 16 != size) {
                return CONMON_IPC_STATUS_INVALID_SIZE;
            }
            return 0;
        }
        case CONMON_IPC_OPCODE_EVENT_DEVICE_NAME:
            return size >= kDeviceNameEventMinSize ? 0 : CONMON_IPC_STATUS_INVALID_SIZE;
        case CONMON_IPC_OPCODE_EVENT_DNS_NAME:
            return size >= kDnsNameEventMinSize ? 0 : CONMON_IPC_STATUS_INVALID_SIZE;
        case CONMON_IPC_OPCODE_EVENT_MESSAGE:
        case CONMON_IPC_OPCODE_EVENT_MONITORED_MESSAGE: {
            conmon_ipc_message_event_t ev;
            aud_error_t err = conmon_ipc_decode_message_event(head, r->data, size, &ev);
            if (err == AUD_ERR_RANGE) {
                return CONMON_IPC_STATUS_INVALID_DATA;
            }
            return err == AUD_SUCCESS ? 0 : CONMON_IPC_STATUS_INVALID_SIZE;
        }
        default:
            return CONMON_IPC_STATUS_NOT_SUPPORTED;
    }
}

}  // namespace

// ---------------------------------------------------------------------------

const char* conmon_channel_type_log_name(uint16_t channel) {
    return channel < CONMON_NUM_CHANNELS ? kChannelLogNames[channel] : "unknown";
}

int conmon_instance_id_equal(const conmon_instance_id_t* a, const conmon_instance_id_t* b) {
    return a->process_id == b->process_id && memcmp(a->device_id, b->device_id, 8) == 0;
}

const conmon_vendor_id_t CONMON_VENDOR_ID_AUDINATE = {{'A', 'u', 'd', 'i', 'n', 'a', 't', 'e'}};

void conmon_vendor_id_from_string(conmon_vendor_id_t* out, const char* text) {
    memset(out->data, 0, sizeof out->data);
    if (text) {
        memcpy(out->data, text, strnlen(text, sizeof out->data));
    }
}

int conmon_vendor_id_equal(const conmon_vendor_id_t* a, const conmon_vendor_id_t* b) {
    return memcmp(a->data, b->data, sizeof a->data) == 0;
}

// ---------------------------------------------------------------------------

uint16_t conmon_message_head_get_message_class(const conmon_message_head_t* head) {
    return aud_get_be16(head->message_class);
}

uint16_t conmon_message_head_get_length(const conmon_message_head_t* head) {
    return aud_get_be16(head->length);
}

uint16_t conmon_message_head_get_body_size(const conmon_message_head_t* head) {
    uint16_t length = aud_get_be16(head->length);
    return length < CONMON_MESSAGE_HEAD_SIZE
               ? 0
               : static_cast<uint16_t>(length - CONMON_MESSAGE_HEAD_SIZE);
}

uint16_t conmon_message_head_get_seqnum(const conmon_message_head_t* head) {
    return aud_get_be16(head->seqnum);
}

void conmon_message_head_get_instance_id(const conmon_message_head_t* head,
                                         conmon_instance_id_t* out) {
    memcpy(out->device_id, head->device_id, 8);
    out->process_id = aud_get_be16(head->process_id);
}

const conmon_vendor_id_t* conmon_message_head_get_vendor_id(const conmon_message_head_t* head) {
    return &head->vendor_id;
}

void conmon_message_head_init(conmon_message_head_t* head, uint16_t message_class, uint16_t seqnum,
                              const conmon_instance_id_t* source,
                              const conmon_vendor_id_t* vendor_id, uint16_t body_size) {
    memset(head, 0, sizeof *head);
    aud_put_be16(head->message_class, message_class);
    aud_put_be16(head->length, static_cast<uint16_t>(body_size + CONMON_MESSAGE_HEAD_SIZE));
    aud_put_be16(head->seqnum, seqnum);
    if (source) {
        aud_put_be16(head->process_id, source->process_id);
        memcpy(head->device_id, source->device_id, 8);
    }
    if (vendor_id) {
        head->vendor_id = *vendor_id;
    }
}

aud_error_t conmon_message_check(const uint8_t* data, size_t size) {
    aud_byte_reader r = aud_reader_make(data, size);
    uint16_t length = 0;
    if (!aud_peek_be16_at(&r, 2, &length) || size < CONMON_MESSAGE_HEAD_SIZE ||
        length < CONMON_MESSAGE_HEAD_SIZE || length > size) {
        return AUD_ERR_INVALIDDATA;
    }
    return AUD_SUCCESS;
}

// ---------------------------------------------------------------------------

const char* conmon_ipc_status_name(uint16_t code) {
    return code < sizeof kStatusTable / sizeof kStatusTable[0] ? kStatusTable[code].name
                                                               : "Unknown";
}

aud_error_t conmon_ipc_status_to_error(uint16_t code) {
    return code < sizeof kStatusTable / sizeof kStatusTable[0] ? kStatusTable[code].error
                                                               : AUD_ERR_SYSTEM;
}

aud_error_t conmon_ipc_head_decode(const uint8_t* data, size_t size, conmon_ipc_head_t* out) {
    aud_byte_reader r = aud_reader_make(data, size);
    conmon_ipc_head_t h;
    if (!aud_read_h16(&r, &h.version) || !aud_read_h16(&r, &h.length) ||
        !aud_read_h16(&r, &h.seqnum) || !aud_read_h16(&r, &h.opcode) ||
        !aud_read_h16(&r, &h.status)) {
        return AUD_ERR_INVALIDDATA;
    }
    *out = h;
    return AUD_SUCCESS;
}

aud_error_t conmon_ipc_head_encode(const conmon_ipc_head_t* head, uint8_t* buf, size_t cap) {
    if (!buf) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    aud_byte_writer w = aud_writer_make(buf, cap);
    return write_head(&w, head, head->opcode, head->length) ? AUD_SUCCESS : AUD_ERR_TRUNCATED;
}

int conmon_ipc_validate_from_server(const uint8_t* data, size_t size, conmon_ipc_head_t* head,
                                    uint16_t* failure) {
    conmon_ipc_head_t h;
    uint16_t status = 0;
    if (conmon_ipc_head_decode(data, size, &h) != AUD_SUCCESS) {
        status = CONMON_IPC_STATUS_INVALID_SIZE;
    } else if (h.version < CONMON_IPC_VERSION_MIN || h.version > CONMON_IPC_VERSION_MAX) {
        status = CONMON_IPC_STATUS_INVALID_VERSION;
    } else if (h.length != size) {
        status = CONMON_IPC_STATUS_INVALID_SIZE;
    } else if ((h.status & CONMON_IPC_STATUS_CODE_MASK) <= CONMON_IPC_STATUS_EVENT) {
        aud_byte_reader r = aud_reader_make(data, size);
        status = check_layout(&h, &r);
    }
    if (status != 0) {
        if (failure) {
            *failure = status;
        }
        return 0;
    }
    if (head) {
        *head = h;
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Requests

aud_error_t conmon_ipc_encode_connect(const conmon_ipc_head_t* head, const char* client_name,
                                      uint16_t mode, uint8_t* buf, size_t cap, size_t* size) {
    aud_byte_writer w;
    const char* name = client_name ? client_name : "";
    size_t name_len = strnlen(name, CONMON_NAME_SIZE - 1);
    if (head->version >= CONMON_IPC_VERSION_1400) {
        aud_error_t err = begin(&w, buf, cap, kConnectRequestSize);
        if (err != AUD_SUCCESS) {
            return err;
        }
        write_head(&w, head, CONMON_IPC_OPCODE_CONNECT, kConnectRequestSize);
        write_name(&w, name, CONMON_NAME_SIZE);
        aud_write_h16(&w, mode);
        return finish(&w, size);
    }
    size_t length = CONMON_IPC_HEAD_SIZE + name_len + 1;
    aud_error_t err = begin(&w, buf, cap, length);
    if (err != AUD_SUCCESS) {
        return err;
    }
    write_head(&w, head, CONMON_IPC_OPCODE_CONNECT, length);
    aud_write_bytes(&w, name, name_len);
    return finish(&w, size);
}

aud_error_t conmon_ipc_decode_connect(const conmon_ipc_head_t* head, const uint8_t* data,
                                      size_t size, char name[CONMON_NAME_SIZE], uint16_t* mode) {
    aud_byte_reader r = aud_reader_make(data, size);
    if (head->version >= CONMON_IPC_VERSION_1400) {
        if (size != kConnectRequestSize || !aud_reader_seek(&r, kConnectNameOffset) ||
            !read_name(&r, CONMON_NAME_SIZE, name, CONMON_NAME_SIZE) || !aud_read_h16(&r, mode)) {
            return AUD_ERR_INVALIDDATA;
        }
        return AUD_SUCCESS;
    }
    const char* s = nullptr;
    size_t len = 0;
    if (!aud_peek_string_at(&r, kConnectNameOffset, &s, &len) ||
        size != CONMON_IPC_HEAD_SIZE + len + 1) {
        return AUD_ERR_INVALIDDATA;
    }
    size_t n = len < CONMON_NAME_SIZE - 1 ? len : CONMON_NAME_SIZE - 1;
    memcpy(name, s, n);
    memset(name + n, 0, CONMON_NAME_SIZE - n);
    *mode = CONMON_CONNECT_MANUAL;
    return AUD_SUCCESS;
}

aud_error_t conmon_ipc_encode_head_only(const conmon_ipc_head_t* head, uint8_t* buf, size_t cap,
                                        size_t* size) {
    aud_byte_writer w;
    aud_error_t err = begin(&w, buf, cap, CONMON_IPC_HEAD_SIZE);
    if (err != AUD_SUCCESS) {
        return err;
    }
    write_head(&w, head, head->opcode, CONMON_IPC_HEAD_SIZE);
    return finish(&w, size);
}

aud_error_t conmon_ipc_encode_register(const conmon_ipc_head_t* head,
                                       const conmon_ipc_register_t* reg, uint8_t* buf, size_t cap,
                                       size_t* size) {
    const bool with_port = head->version >= CONMON_IPC_VERSION_1100;
    const size_t length = with_port ? 16 : 14;
    aud_byte_writer w;
    aud_error_t err = begin(&w, buf, cap, length);
    if (err != AUD_SUCCESS) {
        return err;
    }
    write_head(&w, head, head->opcode, length);
    aud_write_h16(&w, reg->channel);
    aud_write_h16(&w, reg->direction);
    if (with_port) {
        aud_write_h16(&w, reg->metering_port);
    }
    return finish(&w, size);
}

aud_error_t conmon_ipc_decode_register(const conmon_ipc_head_t* head, const uint8_t* data,
                                       size_t size, conmon_ipc_register_t* reg) {
    const bool with_port = head->version >= CONMON_IPC_VERSION_1100;
    aud_byte_reader r = aud_reader_make(data, size);
    reg->metering_port = 0;
    if (size != (with_port ? 16u : 14u) || !aud_reader_seek(&r, CONMON_IPC_HEAD_SIZE) ||
        !aud_read_h16(&r, &reg->channel) || !aud_read_h16(&r, &reg->direction) ||
        (with_port && !aud_read_h16(&r, &reg->metering_port))) {
        return AUD_ERR_INVALIDDATA;
    }
    return AUD_SUCCESS;
}

aud_error_t conmon_ipc_encode_subscribe(const conmon_ipc_head_t* head,
                                        const conmon_ipc_subscribe_t* sub, uint8_t* buf, size_t cap,
                                        size_t* size) {
    const bool with_port = head->version >= CONMON_IPC_VERSION_1100;
    const size_t name_len = strnlen(sub->device_name, CONMON_NAME_SIZE - 1);
    // The length counts ten bytes beyond the name's NUL.
    const size_t length = (with_port ? 25 : 23) + name_len;
    aud_byte_writer w;
    aud_error_t err = begin(&w, buf, cap, length);
    if (err != AUD_SUCCESS) {
        return err;
    }
    write_head(&w, head, CONMON_IPC_OPCODE_SUBSCRIBE, length);
    aud_write_h16(&w, sub->channel);
    if (with_port) {
        aud_write_h16(&w, sub->metering_port);
    }
    aud_write_bytes(&w, sub->device_name, name_len);
    return finish(&w, size);
}

aud_error_t conmon_ipc_decode_subscribe(const conmon_ipc_head_t* head, const uint8_t* data,
                                        size_t size, conmon_ipc_subscribe_t* sub) {
    const bool with_port = head->version >= CONMON_IPC_VERSION_1100;
    aud_byte_reader r = aud_reader_make(data, size);
    memset(sub, 0, sizeof *sub);
    if (!aud_reader_seek(&r, CONMON_IPC_HEAD_SIZE) || !aud_read_h16(&r, &sub->channel) ||
        (with_port && !aud_read_h16(&r, &sub->metering_port))) {
        return AUD_ERR_INVALIDDATA;
    }
    const char* s = nullptr;
    size_t len = 0;
    if (!aud_peek_string_at(&r, r.pos, &s, &len) || len >= CONMON_NAME_SIZE ||
        size != (with_port ? 25 : 23) + len) {
        return AUD_ERR_INVALIDDATA;
    }
    memcpy(sub->device_name, s, len);
    return AUD_SUCCESS;
}

aud_error_t conmon_ipc_encode_control(const conmon_ipc_head_t* head,
                                      const conmon_ipc_control_t* ctl, uint8_t* buf, size_t cap,
                                      size_t* size) {
    if (ctl->body_size > 0 && !ctl->body) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    const size_t length = kControlFixedSize + ctl->body_size;
    aud_byte_writer w;
    aud_error_t err = begin(&w, buf, cap, length);
    if (err != AUD_SUCCESS) {
        return err;
    }
    write_head(&w, head, CONMON_IPC_OPCODE_CONTROL, length);
    aud_write_h16(&w, ctl->addressing_mode);
    aud_write_h32(&w, ctl->timeout_seconds);
    aud_write_h32(&w, ctl->timeout_microseconds);
    write_name(&w, ctl->device_name, CONMON_NAME_SIZE);
    conmon_message_head_t mh;
    conmon_message_head_init(&mh, ctl->message_class, 0, nullptr, &ctl->vendor_id,
                             static_cast<uint16_t>(ctl->body_size));
    aud_write_bytes(&w, &mh, sizeof mh);
    aud_write_bytes(&w, ctl->body, ctl->body_size);
    return finish(&w, size);
}

aud_error_t conmon_ipc_decode_control(const conmon_ipc_head_t* /*head*/, const uint8_t* data,
                                      size_t size, conmon_ipc_control_t* ctl) {
    aud_byte_reader r = aud_reader_make(data, size);
    memset(ctl, 0, sizeof *ctl);
    if (size < kControlFixedSize || !aud_reader_seek(&r, CONMON_IPC_HEAD_SIZE) ||
        !aud_read_h16(&r, &ctl->addressing_mode) || !aud_read_h32(&r, &ctl->timeout_seconds) ||
        !aud_read_h32(&r, &ctl->timeout_microseconds) ||
        !read_name(&r, CONMON_NAME_SIZE, ctl->device_name, CONMON_NAME_SIZE)) {
        return AUD_ERR_INVALIDDATA;
    }
    const uint8_t* msg = data + CONMON_IPC_CONTROL_MESSAGE_OFFSET;
    const size_t msg_size = size - CONMON_IPC_CONTROL_MESSAGE_OFFSET;
    if (conmon_message_check(msg, msg_size) != AUD_SUCCESS || aud_get_be16(msg + 2) != msg_size) {
        return AUD_ERR_INVALIDDATA;
    }
    ctl->message = reinterpret_cast<const conmon_message_head_t*>(msg);
    ctl->message_class = aud_get_be16(msg);
    memcpy(ctl->vendor_id.data, msg + 16, 8);
    ctl->body = msg + CONMON_MESSAGE_HEAD_SIZE;
    ctl->body_size = msg_size - CONMON_MESSAGE_HEAD_SIZE;
    return AUD_SUCCESS;
}

// ---------------------------------------------------------------------------
// Responses and events

aud_error_t conmon_ipc_encode_connect_response(const conmon_ipc_head_t* head,
                                               const conmon_ipc_connect_response_t* rsp,
                                               uint8_t* buf, size_t cap, size_t* size) {
    const uint16_t n = rsp->interfaces.num_entries;
    if (n > CONMON_MAX_INTERFACES) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    const size_t length = kConnectResponseFixedSize + n * CONMON_INTERFACE_RECORD_SIZE;
    aud_byte_writer w;
    aud_error_t err = begin(&w, buf, cap, length);
    if (err != AUD_SUCCESS) {
        return err;
    }
    write_head(&w, head, CONMON_IPC_OPCODE_CONNECT, length);
    aud_write_h16(&w, rsp->server_flags);
    write_name(&w, rsp->device_name, CONMON_NAME_SIZE);
    write_name(&w, rsp->dns_name, CONMON_DNS_NAME_SIZE);
    write_instance_id_h(&w, &rsp->instance_id);
    aud_write_h16(&w, n);
    aud_write_h16(&w, CONMON_INTERFACE_RECORD_SIZE);
    aud_write_h16(&w, kConnectResponseFixedSize);
    if (head->version >= CONMON_IPC_VERSION_1400) {
        aud_write_h32(&w, rsp->stored_words[0]);
        aud_write_h32(&w, rsp->stored_words[1]);
    } else {
        aud_write_zeros(&w, 8);
    }
    for (uint16_t i = 0; i < n; ++i) {
        write_interface_entry(&w, &rsp->interfaces.entries[i]);
    }
    return finish(&w, size);
}

aud_error_t conmon_ipc_decode_connect_response(const conmon_ipc_head_t* head, const uint8_t* data,
                                               size_t size, conmon_ipc_connect_response_t* rsp) {
    aud_byte_reader r = aud_reader_make(data, size);
    memset(rsp, 0, sizeof *rsp);
    if (size < kConnectResponseFixedSize || !aud_reader_seek(&r, CONMON_IPC_HEAD_SIZE) ||
        !aud_read_h16(&r, &rsp->server_flags) ||
        !read_name(&r, CONMON_NAME_SIZE, rsp->device_name, CONMON_NAME_SIZE) ||
        !read_name(&r, CONMON_DNS_NAME_SIZE, rsp->dns_name, CONMON_DNS_NAME_SIZE) ||
        !read_instance_id_h(&r, &rsp->instance_id) || !aud_read_h16(&r, &rsp->interfaces.count) ||
        !aud_read_h16(&r, &rsp->interfaces.record_size) ||
        !aud_read_h16(&r, &rsp->interfaces.offset)) {
        return AUD_ERR_INVALIDDATA;
    }
    if (head->version >= CONMON_IPC_VERSION_1400 &&
        (!aud_read_h32(&r, &rsp->stored_words[0]) || !aud_read_h32(&r, &rsp->stored_words[1]))) {
        return AUD_ERR_INVALIDDATA;
    }
    return read_interface_records(&r, &rsp->interfaces);
}

aud_error_t conmon_ipc_encode_interfaces_event(const conmon_ipc_head_t* head,
                                               const conmon_interface_entry_t* entries,
                                               uint16_t count, uint8_t* buf, size_t cap,
                                               size_t* size) {
    if (count > 0 && !entries) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    const size_t length = 16 + static_cast<size_t>(count) * CONMON_INTERFACE_RECORD_SIZE;
    aud_byte_writer w;
    aud_error_t err = begin(&w, buf, cap, length);
    if (err != AUD_SUCCESS) {
        return err;
    }
    write_head(&w, head, CONMON_IPC_OPCODE_EVENT_INTERFACES, length);
    aud_write_h16(&w, count);
    aud_write_h16(&w, CONMON_INTERFACE_RECORD_SIZE);
    aud_write_h16(&w, 16);
    for (uint16_t i = 0; i < count; ++i) {
        write_interface_entry(&w, &entries[i]);
    }
    return finish(&w, size);
}

aud_error_t conmon_ipc_decode_interfaces_event(const conmon_ipc_head_t* /*head*/,
                                               const uint8_t* data, size_t size,
                                               conmon_interface_list_t* list) {
    aud_byte_reader r = aud_reader_make(data, size);
    memset(list, 0, sizeof *list);
    if (!aud_reader_seek(&r, CONMON_IPC_HEAD_SIZE) || !aud_read_h16(&r, &list->count) ||
        !aud_read_h16(&r, &list->record_size) || !aud_read_h16(&r, &list->offset)) {
        return AUD_ERR_INVALIDDATA;
    }
    return read_interface_records(&r, list);
}

aud_error_t conmon_ipc_encode_name_event(const conmon_ipc_head_t* head, const char* name,
                                         uint8_t* buf, size_t cap, size_t* size) {
    const size_t field =
        head->opcode == CONMON_IPC_OPCODE_EVENT_DNS_NAME ? CONMON_DNS_NAME_SIZE : CONMON_NAME_SIZE;
    if (head->opcode != CONMON_IPC_OPCODE_EVENT_DNS_NAME &&
        head->opcode != CONMON_IPC_OPCODE_EVENT_DEVICE_NAME) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    const size_t length = CONMON_IPC_HEAD_SIZE + field;
    aud_byte_writer w;
    aud_error_t err = begin(&w, buf, cap, length);
    if (err != AUD_SUCCESS) {
        return err;
    }
    write_head(&w, head, head->opcode, length);
    write_name(&w, name, field);
    return finish(&w, size);
}

aud_error_t conmon_ipc_decode_name_event(const conmon_ipc_head_t* head, const uint8_t* data,
                                         size_t size, char* name, size_t name_cap) {
    const size_t field =
        head->opcode == CONMON_IPC_OPCODE_EVENT_DNS_NAME ? CONMON_DNS_NAME_SIZE : CONMON_NAME_SIZE;
    aud_byte_reader r = aud_reader_make(data, size);
    if (!name || !aud_reader_seek(&r, CONMON_IPC_HEAD_SIZE) ||
        !read_name(&r, field, name, name_cap)) {
        return AUD_ERR_INVALIDDATA;
    }
    return AUD_SUCCESS;
}

aud_error_t conmon_ipc_encode_remotes(const conmon_ipc_head_t* head, uint16_t merge,
                                      const conmon_ipc_remote_record_t* records, uint16_t count,
                                      uint8_t* buf, size_t cap, size_t* size) {
    if (count > 0 && !records) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    const bool v11 = head->version >= CONMON_IPC_VERSION_1100;
    const size_t rec_size = remote_record_size(head->version);
    const size_t length = remote_records_offset(head->version) + count * rec_size;
    aud_byte_writer w;
    aud_error_t err = begin(&w, buf, cap, length);
    if (err != AUD_SUCCESS) {
        return err;
    }
    write_head(&w, head, head->opcode, length);
    aud_write_h16(&w, count);
    if (v11) {
        aud_write_h16(&w, merge);
        aud_write_zeros(&w, 2);
    }
    for (uint16_t i = 0; i < count; ++i) {
        const conmon_ipc_remote_record_t* rec = &records[i];
        const size_t start = w.pos;
        aud_write_u8(&w, rec->flags);
        aud_write_u8(&w, 0);
        aud_write_h16(&w, rec->channel);
        write_name(&w, rec->device_name, CONMON_NAME_SIZE);
        write_instance_id_h(&w, &rec->instance_id);
        aud_write_h16(&w, rec->attribute);
        if (v11) {
            aud_write_h16(&w, rec->attribute2);
            aud_write_u8(&w, head->version >= CONMON_IPC_VERSION_1300 ? rec->attribute3 : 0);
            aud_write_u8(&w, head->version >= CONMON_IPC_VERSION_1300 ? rec->attribute4 : 0);
            aud_write_h16(&w, rec->addresses.count);
            aud_write_h16(&w, rec->addresses.valid_mask);
            for (const auto& e : rec->addresses.entries) {
                aud_write_bytes(&w, &e.address, 4);
                aud_write_h16(&w, e.port);
                aud_write_zeros(&w, 2);
            }
        }
        aud_writer_seek(&w, start + rec_size);
    }
    return finish(&w, size);
}

aud_error_t conmon_ipc_decode_remotes(const conmon_ipc_head_t* head, const uint8_t* data,
                                      size_t size, conmon_ipc_remotes_t* out) {
    aud_byte_reader r = aud_reader_make(data, size);
    conmon_ipc_remotes_t rem = {0, 1};
    if (!aud_reader_seek(&r, CONMON_IPC_HEAD_SIZE) || !aud_read_h16(&r, &rem.count)) {
        return AUD_ERR_INVALIDDATA;
    }
    if (head->version >= CONMON_IPC_VERSION_1100 && !aud_read_h16(&r, &rem.merge)) {
        return AUD_ERR_INVALIDDATA;
    }
    const size_t need =
        remote_records_offset(head->version) + rem.count * remote_record_size(head->version);
    if (size < need) {
        return AUD_ERR_INVALIDDATA;
    }
    *out = rem;
    return AUD_SUCCESS;
}

aud_error_t conmon_ipc_decode_remote_record(const conmon_ipc_head_t* head, const uint8_t* data,
                                            size_t size, uint16_t index,
                                            conmon_ipc_remote_record_t* out) {
    const bool v11 = head->version >= CONMON_IPC_VERSION_1100;
    const size_t rec_size = remote_record_size(head->version);
    aud_byte_reader all = aud_reader_make(data, size);
    aud_byte_reader r;
    if (!aud_reader_seek(&all, remote_records_offset(head->version) + index * rec_size) ||
        !aud_read_view(&all, rec_size, &r)) {
        return AUD_ERR_INVALIDDATA;
    }
    conmon_ipc_remote_record_t rec;
    memset(&rec, 0, sizeof rec);
    bool ok = aud_read_u8(&r, &rec.flags) && aud_reader_skip(&r, 1) &&
              aud_read_h16(&r, &rec.channel) &&
              read_name(&r, CONMON_NAME_SIZE, rec.device_name, CONMON_NAME_SIZE) &&
              read_instance_id_h(&r, &rec.instance_id) && aud_read_h16(&r, &rec.attribute);
    if (ok && v11) {
        uint8_t a3 = 0;
        uint8_t a4 = 0;
        ok = aud_read_h16(&r, &rec.attribute2) && aud_read_u8(&r, &a3) && aud_read_u8(&r, &a4) &&
             aud_read_h16(&r, &rec.addresses.count) && aud_read_h16(&r, &rec.addresses.valid_mask);
        for (auto& e : rec.addresses.entries) {
            ok = ok && aud_read_bytes(&r, &e.address, 4) && aud_read_h16(&r, &e.port) &&
                 aud_reader_skip(&r, 2);
        }
        if (head->version >= CONMON_IPC_VERSION_1300) {
            rec.attribute3 = a3;
            rec.attribute4 = a4;
        }
    }
    if (!ok) {
        return AUD_ERR_INVALIDDATA;
    }
    *out = rec;
    return AUD_SUCCESS;
}

aud_error_t conmon_ipc_encode_message_event(const conmon_ipc_head_t* head,
                                            const conmon_ipc_message_event_t* ev, uint8_t* buf,
                                            size_t cap, size_t* size) {
    const bool monitored = head->opcode == CONMON_IPC_OPCODE_EVENT_MONITORED_MESSAGE;
    if ((!monitored && head->opcode != CONMON_IPC_OPCODE_EVENT_MESSAGE) || !ev->message ||
        (ev->body_size > 0 && !ev->body)) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    const size_t offset = monitored ? kMonitoredEventOffset : kMessageEventOffset;
    const size_t length = offset + CONMON_MESSAGE_HEAD_SIZE + ev->body_size;
    aud_byte_writer w;
    aud_error_t err = begin(&w, buf, cap, length);
    if (err != AUD_SUCCESS) {
        return err;
    }
    write_head(&w, head, head->opcode, length);
    aud_write_h16(&w, ev->channel);
    aud_write_h16(&w, ev->direction);
    aud_write_u8(&w, 0);
    aud_write_u8(&w, monitored ? 0 : ev->flags);
    if (monitored) {
        write_name(&w, ev->sender_name, CONMON_NAME_SIZE);
    }
    aud_write_bytes(&w, ev->message, CONMON_MESSAGE_HEAD_SIZE);
    aud_write_bytes(&w, ev->body, ev->body_size);
    return finish(&w, size);
}

// INVALIDDATA for a short datagram or embedded message, RANGE for a channel or
// direction outside the handler table.
aud_error_t conmon_ipc_decode_message_event(const conmon_ipc_head_t* head, const uint8_t* data,
                                            size_t size, conmon_ipc_message_event_t* ev) {
    const bool monitored = head->opcode == CONMON_IPC_OPCODE_EVENT_MONITORED_MESSAGE;
    const size_t offset = monitored ? kMonitoredEventOffset : kMessageEventOffset;
    const size_t min_size = monitored ? kMonitoredEventMinSize : kMessageEventMinSize;
    aud_byte_reader r = aud_reader_make(data, size);
    memset(ev, 0, sizeof *ev);
    uint8_t flags = 0;
    if (size < min_size || !aud_reader_seek(&r, CONMON_IPC_HEAD_SIZE) ||
        !aud_read_h16(&r, &ev->channel) || !aud_read_h16(&r, &ev->direction) ||
        !aud_reader_skip(&r, 1) || !aud_read_u8(&r, &flags)) {
        return AUD_ERR_INVALIDDATA;
    }
    if (monitored) {
        if (!read_name(&r, CONMON_NAME_SIZE, ev->sender_name, CONMON_NAME_SIZE)) {
            return AUD_ERR_INVALIDDATA;
        }
    } else {
        ev->flags = flags & 0x03;
    }
    // A message length below its own head would make the body size wrap.
    uint16_t msg_length = 0;
    if (!aud_peek_be16_at(&r, offset + 2, &msg_length) || msg_length < CONMON_MESSAGE_HEAD_SIZE ||
        offset + msg_length > size) {
        return AUD_ERR_INVALIDDATA;
    }
    if (ev->channel >= CONMON_NUM_CHANNELS || ev->direction >= CONMON_NUM_DIRECTIONS) {
        return AUD_ERR_RANGE;
    }
    ev->message = reinterpret_cast<const conmon_message_head_t*>(data + offset);
    ev->body = data + offset + CONMON_MESSAGE_HEAD_SIZE;
    ev->body_size = static_cast<uint16_t>(msg_length - CONMON_MESSAGE_HEAD_SIZE);
    return AUD_SUCCESS;
}
