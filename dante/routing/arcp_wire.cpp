#include "dante/routing/internal/arcp_wire.h"

#include <ctype.h>
#include <string.h>

namespace {

const size_t k_records_start = 12;
const size_t k_format_size = 8;

bool is_alnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// A record field that points at data after the records; 0 means none.
bool referenced_view(const arcp_records_t* r, uint16_t offset, size_t size, aud_byte_reader* out) {
    if (offset < r->records_end || offset > r->packet.size || r->packet.size - offset < size) {
        return false;
    }
    *out = aud_reader_make(r->packet.data + offset, size);
    return true;
}

aud_error_t read_format(const arcp_records_t* r, uint16_t offset, arcp_format_t* out) {
    *out = arcp_format_t{};
    if (offset == 0) {
        return AUD_SUCCESS;
    }
    aud_byte_reader v;
    if (!referenced_view(r, offset, k_format_size, &v)) {
        return AUD_ERR_INVALIDDATA;
    }
    aud_read_be32(&v, &out->sample_rate);
    aud_read_be16(&v, &out->encoding);
    return AUD_SUCCESS;
}

// A string field copied into dst; `required` strings must be present.
aud_error_t read_name(const arcp_records_t* r, uint16_t offset, char* dst, size_t dst_size,
                      bool channel_name) {
    dst[0] = '\0';
    const char* s = nullptr;
    size_t len = 0;
    const aud_error_t e = arcp_records_string(r, offset, &s, &len);
    if (e != AUD_SUCCESS) {
        return e;
    }
    if (channel_name && !arcp_channel_name_valid(s, len)) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (len >= dst_size) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    memcpy(dst, s, len + 1);
    return AUD_SUCCESS;
}

}  // namespace

bool arcp_write_head(aud_byte_writer* w, uint16_t version, uint16_t seqnum, uint16_t opcode) {
    return aud_write_be16(w, version) && aud_write_be16(w, ARCP_HEAD_SIZE) &&
           aud_write_be16(w, seqnum) && aud_write_be16(w, opcode) && aud_write_be16(w, 0);
}

bool arcp_finish(aud_byte_writer* w) {
    return w->pos <= 0xFFFF && aud_write_be16_at(w, 2, static_cast<uint16_t>(w->pos));
}

bool arcp_stamp_seqnum(uint8_t* packet, size_t size, uint16_t seqnum) {
    aud_byte_writer w = aud_writer_make(packet, size);
    return aud_write_be16_at(&w, 4, seqnum);
}

aud_error_t arcp_read_head(const uint8_t* data, size_t size, arcp_head_t* out) {
    aud_byte_reader r = aud_reader_make(data, size);
    if (!aud_read_be16(&r, &out->version) || !aud_read_be16(&r, &out->length) ||
        !aud_read_be16(&r, &out->seqnum) || !aud_read_be16(&r, &out->opcode) ||
        !aud_read_be16(&r, &out->status)) {
        return AUD_ERR_INVALIDDATA;
    }
    if (out->length < ARCP_HEAD_SIZE || out->length > size) {
        return AUD_ERR_INVALIDDATA;
    }
    return AUD_SUCCESS;
}

aud_error_t arcp_result_to_error(uint16_t status) {
    switch (status & 0x0FF0u) {
        case 0x000:
            return AUD_SUCCESS;
        case 0x010:
            return AUD_ERR_VERSION;
        case 0x030:
            return AUD_ERR_NOTSUPPORTED;
        case 0x020:
        case 0x110:
            return AUD_ERR_MSGSIZE;
        case 0x0F0:
            return AUD_ERR_INVALIDSTATE;
        case 0x100:
            return AUD_ERR_INVALIDDATA;
        default:
            return AUD_ERR_FAULT;
    }
}

aud_error_t arcp_parse_version(const char* text, size_t len, uint16_t* out) {
    if (!text || len == 0 || len > 63) {
        return AUD_ERR_INVALIDDATA;
    }
    unsigned parts[3] = {0, 0, 0};
    size_t part = 0;
    bool digit_seen = false;
    for (size_t i = 0; i < len; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (parts[part] > 100000) {
                return AUD_ERR_INVALIDDATA;
            }
            parts[part] = parts[part] * 10 + static_cast<unsigned>(c - '0');
            digit_seen = true;
        } else if (c == '.' && digit_seen && part < 2) {
            ++part;
            digit_seen = false;
        } else {
            return AUD_ERR_INVALIDDATA;
        }
    }
    if (part != 2 || !digit_seen) {
        return AUD_ERR_INVALIDDATA;
    }
    *out = static_cast<uint16_t>((parts[0] << 12) | ((parts[1] << 8) & 0x0FFF) | (parts[2] & 0xFF));
    return AUD_SUCCESS;
}

uint16_t arcp_cap_version(uint16_t device_version) {
    return device_version > ARCP_VERSION_MAX ? ARCP_VERSION_MAX : device_version;
}

bool arcp_device_name_valid(const char* name) {
    if (!name) {
        return false;
    }
    const size_t len = strnlen(name, 32);
    if (len == 0 || len > 31 || !is_alnum(name[0]) || !is_alnum(name[len - 1])) {
        return false;
    }
    for (size_t i = 0; i < len; ++i) {
        if (!is_alnum(name[i]) && name[i] != '-') {
            return false;
        }
    }
    return true;
}

bool arcp_channel_name_valid(const char* name, size_t len) {
    if (!name || len == 0 || len > 31) {
        return false;
    }
    for (size_t i = 0; i < len; ++i) {
        if (name[i] == '.' || name[i] == '=' || name[i] == '@' || name[i] == '\0') {
            return false;
        }
    }
    return true;
}

bool arcp_write_range_list(aud_byte_writer* w, const uint16_t* first_ids, uint8_t count) {
    bool ok = aud_write_u8(w, 0) && aud_write_u8(w, count);
    for (uint8_t i = 0; ok && i < count; ++i) {
        ok = aud_write_be16(w, first_ids[i]) && aud_write_be16(w, 0);
    }
    return ok;
}

aud_error_t arcp_decode_capabilities(const uint8_t* data, size_t size, arcp_capabilities_t* out) {
    arcp_head_t head;
    if (arcp_read_head(data, size, &head) != AUD_SUCCESS) {
        return AUD_ERR_INVALIDDATA;
    }
    *out = arcp_capabilities_t{};
    out->version = head.version;
    out->num_interfaces = 1;
    aud_byte_reader r = aud_reader_make(data, head.length);
    aud_reader_seek(&r, ARCP_HEAD_SIZE);
    uint16_t reserved = 0;
    if (!aud_read_be16(&r, &out->capability_word) || !aud_read_be16(&r, &out->num_txchannels) ||
        !aud_read_be16(&r, &out->num_rxchannels) || !aud_read_be16(&r, &reserved) ||
        !aud_read_be16(&r, &out->max_txflows) || !aud_read_be16(&r, &out->max_rxflows)) {
        return AUD_ERR_INVALIDDATA;
    }
    if (head.version >= 0x2600) {
        if (!aud_read_be16(&r, &out->txflow_limit) || !aud_read_be16(&r, &out->rxflow_limit) ||
            !aud_read_be16(&r, &out->max_txlabels) || !aud_read_be16(&r, &reserved) ||
            !aud_read_be16(&r, &out->num_interfaces)) {
            return AUD_ERR_INVALIDDATA;
        }
    }
    if (head.version >= 0x2703 && !aud_read_be32(&r, &out->capability_flags)) {
        return AUD_ERR_INVALIDDATA;
    }
    if (head.version >= 0x2711 && (!aud_read_be16(&r, &out->rxflow_error_flags) ||
                                   !aud_read_be16(&r, &out->rxflow_error_fields))) {
        return AUD_ERR_INVALIDDATA;
    }
    return AUD_SUCCESS;
}

aud_error_t arcp_decode_names(const uint8_t* data, size_t size, char name[ARCP_NAME_SIZE]) {
    arcp_head_t head;
    if (arcp_read_head(data, size, &head) != AUD_SUCCESS) {
        return AUD_ERR_INVALIDDATA;
    }
    aud_byte_reader r = aud_reader_make(data, head.length);
    const char* s = nullptr;
    size_t len = 0;
    if (!aud_peek_string_at(&r, ARCP_HEAD_SIZE, &s, &len) || len >= ARCP_NAME_SIZE) {
        return AUD_ERR_INVALIDDATA;
    }
    memcpy(name, s, len + 1);
    return AUD_SUCCESS;
}

aud_error_t arcp_records_init(const uint8_t* data, size_t size, size_t record_size,
                              arcp_records_t* out) {
    arcp_head_t head;
    if (arcp_read_head(data, size, &head) != AUD_SUCCESS) {
        return AUD_ERR_INVALIDDATA;
    }
    out->packet = aud_reader_make(data, head.length);
    out->record_size = record_size;
    out->count = 0;
    out->records_end = k_records_start;
    if (head.length == ARCP_HEAD_SIZE) {
        return AUD_SUCCESS;  // no body: no records
    }
    if (!aud_peek_u8_at(&out->packet, 11, &out->count)) {
        return AUD_ERR_INVALIDDATA;
    }
    out->records_end = k_records_start + static_cast<size_t>(out->count) * record_size;
    if (out->records_end > head.length) {
        out->count = 0;
        return AUD_ERR_INVALIDDATA;
    }
    return AUD_SUCCESS;
}

aud_byte_reader arcp_records_get(const arcp_records_t* records, size_t i) {
    if (i >= records->count) {
        return aud_reader_make(nullptr, 0);
    }
    return aud_reader_make(records->packet.data + k_records_start + i * records->record_size,
                           records->record_size);
}

aud_error_t arcp_records_string(const arcp_records_t* records, uint16_t offset, const char** out,
                                size_t* len) {
    if (offset < records->records_end || !aud_peek_string_at(&records->packet, offset, out, len)) {
        return AUD_ERR_INVALIDDATA;
    }
    return AUD_SUCCESS;
}

aud_error_t arcp_decode_txchannel(const arcp_records_t* records, size_t i, arcp_txchannel_t* out) {
    aud_byte_reader r = arcp_records_get(records, i);
    uint16_t format = 0;
    uint16_t name = 0;
    if (!aud_read_be16(&r, &out->id) || !aud_read_be16(&r, &out->flags) ||
        !aud_read_be16(&r, &format) || !aud_read_be16(&r, &name)) {
        return AUD_ERR_INVALIDDATA;
    }
    const aud_error_t e = read_format(records, format, &out->format);
    if (e != AUD_SUCCESS) {
        return e;
    }
    return read_name(records, name, out->name, sizeof out->name, true);
}

aud_error_t arcp_decode_rxchannel(const arcp_records_t* records, size_t i, arcp_rxchannel_t* out) {
    aud_byte_reader r = arcp_records_get(records, i);
    uint16_t format = 0;
    uint16_t tx_channel = 0;
    uint16_t tx_device = 0;
    uint16_t name = 0;
    uint16_t reserved = 0;
    uint16_t latency = 0;
    if (!aud_read_be16(&r, &out->id) || !aud_read_be16(&r, &out->flags) ||
        !aud_read_be16(&r, &format) || !aud_read_be16(&r, &tx_channel) ||
        !aud_read_be16(&r, &tx_device) || !aud_read_be16(&r, &name) ||
        !aud_read_u8(&r, &out->byte12) || !aud_read_u8(&r, &out->byte13) ||
        !aud_read_be16(&r, &out->status) || !aud_read_be16(&r, &reserved) ||
        !aud_read_be16(&r, &latency)) {
        return AUD_ERR_INVALIDDATA;
    }
    aud_error_t e = read_format(records, format, &out->format);
    if (e == AUD_SUCCESS) {
        e = read_name(records, name, out->name, sizeof out->name, true);
    }
    if (e != AUD_SUCCESS) {
        return e;
    }
    out->latency_ns = 0;
    if (latency != 0) {
        aud_byte_reader v;
        if (!referenced_view(records, latency, 4, &v)) {
            return AUD_ERR_INVALIDDATA;
        }
        aud_read_be32(&v, &out->latency_ns);
    }
    out->subscription[0] = '\0';
    if (tx_channel == 0 || tx_device == 0) {
        return AUD_SUCCESS;  // not subscribed
    }
    char channel[ARCP_CHANNEL_NAME_SIZE];
    char device[ARCP_CHANNEL_NAME_SIZE];
    e = read_name(records, tx_channel, channel, sizeof channel, true);
    if (e == AUD_SUCCESS) {
        e = read_name(records, tx_device, device, sizeof device, false);
    }
    if (e != AUD_SUCCESS) {
        return e;
    }
    const bool self = strcmp(device, ".") == 0;
    if (self ? !(out->flags & ARCP_RXCHANNEL_FLAG_SELF_SUBSCRIBE)
             : !arcp_device_name_valid(device)) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    // Both names are under 32 bytes, so the joined text always fits.
    size_t n = strlen(channel);
    memcpy(out->subscription, channel, n);
    out->subscription[n] = '@';
    memcpy(out->subscription + n + 1, device, strlen(device) + 1);
    return AUD_SUCCESS;
}

aud_error_t arcp_decode_label(const arcp_records_t* records, size_t i, arcp_label_t* out) {
    aud_byte_reader r = arcp_records_get(records, i);
    uint16_t name = 0;
    if (!aud_read_be16(&r, &out->channel_id) || !aud_read_be16(&r, &out->flags) ||
        !aud_read_be16(&r, &name)) {
        return AUD_ERR_INVALIDDATA;
    }
    return read_name(records, name, out->name, sizeof out->name, true);
}

aud_error_t arcp_decode_flow(const arcp_records_t* records, size_t i, arcp_flow_t* out) {
    aud_byte_reader r = arcp_records_get(records, i);
    uint16_t name = 0;
    if (!aud_read_be16(&r, &out->id) || !aud_read_be16(&r, &out->flags) ||
        !aud_read_be16(&r, &name)) {
        return AUD_ERR_INVALIDDATA;
    }
    out->name[0] = '\0';
    return name == 0 ? AUD_SUCCESS : read_name(records, name, out->name, sizeof out->name, false);
}

aud_error_t arcp_decode_property(const arcp_records_t* records, size_t i, arcp_property_t* out) {
    aud_byte_reader r = arcp_records_get(records, i);
    uint16_t offset = 0;
    if (!aud_read_be16(&r, &out->id) || !aud_read_be16(&r, &out->size) ||
        !aud_read_be16(&r, &offset)) {
        return AUD_ERR_INVALIDDATA;
    }
    return referenced_view(records, offset, out->size, &out->value) ? AUD_SUCCESS
                                                                    : AUD_ERR_INVALIDDATA;
}

aud_error_t arcp_decode_prop_avail(const arcp_records_t* records, size_t i, uint16_t* id,
                                   uint16_t* flags) {
    aud_byte_reader r = arcp_records_get(records, i);
    return aud_read_be16(&r, id) && aud_read_be16(&r, flags) ? AUD_SUCCESS : AUD_ERR_INVALIDDATA;
}
