#include "sim/arcp_responder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "dante/runtime/byte_view.h"

namespace tavrin::sim {
namespace {

// Written out here rather than shared with the library, so that the lab checks the
// library against an independent reading of the protocol.
constexpr size_t head_size = 10;
constexpr uint16_t status_ok = 0x001;
constexpr uint16_t status_more_records = 0x112;
constexpr uint16_t status_invalid_data = 0x100;
constexpr uint16_t status_not_supported = 0x030;

enum : uint16_t {
    op_ping = 0x0000,
    op_capabilities = 0x1000,
    op_set_name = 0x1001,
    op_names = 0x1002,
    op_names_ext = 0x1003,
    op_properties = 0x1100,
    op_prop_avail = 0x1102,
    op_tx_channels = 0x2000,
    op_tx_labels = 0x2010,
    op_tx_flows = 0x2200,
    op_rx_channels = 0x3000,
    op_rx_flows = 0x3200,
    op_rx_flow_errors = 0x3300,
};

struct request {
    uint16_t version = 0;
    uint16_t seqnum = 0;
    uint16_t opcode = 0;
    aud_byte_reader body{};
};

bool parse(const uint8_t* data, size_t size, request& out) {
    aud_byte_reader r = aud_reader_make(data, size);
    uint16_t length = 0;
    uint16_t status = 0;
    if (!aud_read_be16(&r, &out.version) || !aud_read_be16(&r, &length) ||
        !aud_read_be16(&r, &out.seqnum) || !aud_read_be16(&r, &out.opcode) ||
        !aud_read_be16(&r, &status)) {
        return false;
    }
    if (status != 0 || length < head_size || length > size) {
        return false;  // a response, or a lying length
    }
    out.body = aud_reader_make(data + head_size, length - head_size);
    return true;
}

// A response under construction; strings and referenced records go after the fixed
// part and are patched in by offset.
class answer {
  public:
    answer(const request& q, uint16_t version, uint16_t status) : bytes_(head_size) {
        put16(0, version);
        put16(4, q.seqnum);
        put16(6, q.opcode);
        put16(8, status);
    }
    void u8(uint8_t v) { bytes_.push_back(v); }
    void u16(uint16_t v) {
        bytes_.push_back(static_cast<uint8_t>(v >> 8));
        bytes_.push_back(static_cast<uint8_t>(v));
    }
    void u32(uint32_t v) {
        u16(static_cast<uint16_t>(v >> 16));
        u16(static_cast<uint16_t>(v));
    }
    size_t size() const { return bytes_.size(); }
    void put16(size_t at, uint16_t v) {
        bytes_[at] = static_cast<uint8_t>(v >> 8);
        bytes_[at + 1] = static_cast<uint8_t>(v);
    }
    // Appends a NUL-terminated string and returns its offset.
    uint16_t string(const std::string& s) {
        const size_t at = bytes_.size();
        bytes_.insert(bytes_.end(), s.begin(), s.end());
        bytes_.push_back(0);
        return static_cast<uint16_t>(at);
    }
    std::vector<uint8_t> finish() {
        put16(2, static_cast<uint16_t>(bytes_.size()));
        return std::move(bytes_);
    }

  private:
    std::vector<uint8_t> bytes_;
};

bool alnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool valid_device_name(const std::string& n) {
    if (n.empty() || n.size() > 31 || !alnum(n.front()) || !alnum(n.back())) {
        return false;
    }
    return std::all_of(n.begin(), n.end(), [](char c) { return alnum(c) || c == '-'; });
}

struct property {
    uint16_t id;
    uint16_t size;  // 2, 4 or 16 (text)
    uint32_t value;
};

const property properties[] = {
    {0x0201, 2, 1},  {0x8204, 4, 1000000}, {0x8205, 4, 250000},  {0x0210, 2, 16},
    {0x0211, 2, 16}, {0x8301, 4, 1000000}, {0x8302, 4, 5000000}, {0x8306, 4, 0},
    {0x0310, 2, 16}, {0x0311, 2, 4},       {0x0303, 2, 2},       {0x8021, 16, 0},
    {0x00F0, 2, 0},  {0x0022, 2, 0},
};

}  // namespace

uint16_t arcp_pack_version(const std::string& text) {
    unsigned major = 0;
    unsigned minor = 0;
    unsigned patch = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%u.%u.%u%c", &major, &minor, &patch, &tail) != 3) {
        return 0;
    }
    return static_cast<uint16_t>((major << 12) | ((minor << 8) & 0x0FFF) | (patch & 0xFF));
}

arcp_responder::arcp_responder(arcp_identity identity)
    : name_(identity.name), identity_(std::move(identity)) {}

std::vector<uint8_t> arcp_responder::on_request(const uint8_t* data, size_t size) {
    request q;
    if (!parse(data, size, q)) {
        return {};
    }
    const uint16_t version = std::min(q.version, identity_.version);
    switch (q.opcode) {
        case op_ping:
            return answer(q, version, status_ok).finish();

        case op_capabilities: {
            answer a(q, version, status_ok);
            a.u16(0);  // capability word: names through 0x1002
            a.u16(static_cast<uint16_t>(identity_.tx_channels.size()));
            a.u16(static_cast<uint16_t>(identity_.rx_channels.size()));
            a.u16(0);
            a.u16(2);  // maximum TX flows
            a.u16(2);  // maximum RX flows
            if (version >= 0x2600) {
                a.u16(2);                                                        // TX flow limit
                a.u16(2);                                                        // RX flow limit
                a.u16(static_cast<uint16_t>(identity_.tx_channels.size() * 2));  // TX labels
                a.u16(0);
                a.u16(1);  // interfaces
            }
            if (version >= 0x2703) {
                // Capability flags: no lockdown, licensed; bit 17 a name conflict.
                a.u32(name_conflict_ ? 1u << 17 : 0u);
            }
            if (version >= 0x2711) {
                a.u16(0);
                a.u16(0);
            }
            return a.finish();
        }

        case op_set_name: {
            const char* text = reinterpret_cast<const char*>(q.body.data);
            const void* nul = q.body.size ? std::memchr(text, 0, q.body.size) : nullptr;
            std::string wanted = nul ? std::string(text) : std::string();
            if (!nul || (!wanted.empty() && !valid_device_name(wanted))) {
                return answer(q, version, status_invalid_data).finish();
            }
            if (wanted.empty()) {
                wanted = identity_.name;  // an empty name restores the factory name
            }
            if (wanted != name_) {
                name_ = wanted;
                renamed_ = true;
            }
            return answer(q, version, status_ok).finish();
        }

        case op_names:
        case op_names_ext: {
            answer a(q, version, status_ok);
            char field[32] = {};
            std::memcpy(field, name_.data(), std::min<size_t>(name_.size(), 31));
            for (char c : field) {
                a.u8(static_cast<uint8_t>(c));
            }
            return a.finish();
        }

        case op_prop_avail: {
            answer a(q, version, status_ok);
            a.u8(0);
            a.u8(static_cast<uint8_t>(std::size(properties)));
            for (const property& p : properties) {
                a.u16(p.id);
                a.u16(1);  // available
            }
            return a.finish();
        }

        case op_properties: {
            uint8_t zero = 0;
            uint8_t count = 0;
            if (!aud_read_u8(&q.body, &zero) || !aud_read_u8(&q.body, &count)) {
                return answer(q, version, status_invalid_data).finish();
            }
            std::vector<const property*> found;
            for (uint8_t i = 0; i < count; ++i) {
                uint16_t id = 0;
                if (!aud_read_be16(&q.body, &id)) {
                    return answer(q, version, status_invalid_data).finish();
                }
                for (const property& p : properties) {
                    if (p.id == id) {
                        found.push_back(&p);
                    }
                }
            }
            answer a(q, version, status_ok);
            a.u8(0);
            a.u8(static_cast<uint8_t>(found.size()));
            const size_t records = a.size();
            for (size_t i = 0; i < found.size(); ++i) {
                a.u16(found[i]->id);
                a.u16(found[i]->size);
                a.u16(0);  // value offset, patched below
                a.u16(0);
            }
            for (size_t i = 0; i < found.size(); ++i) {
                const property& p = *found[i];
                a.put16(records + i * 8 + 4, static_cast<uint16_t>(a.size()));
                if (p.size == 16) {
                    char text[16] = {};
                    std::memcpy(text, identity_.clock_subdomain.data(),
                                std::min<size_t>(identity_.clock_subdomain.size(), 16));
                    for (char c : text) {
                        a.u8(static_cast<uint8_t>(c));
                    }
                } else if (p.size == 2) {
                    a.u16(static_cast<uint16_t>(p.value));
                } else {
                    a.u32(p.value);
                }
            }
            return a.finish();
        }

        case op_tx_channels:
        case op_rx_channels: {
            const bool tx = q.opcode == op_tx_channels;
            const auto& names = tx ? identity_.tx_channels : identity_.rx_channels;
            uint8_t zero = 0;
            uint8_t ranges = 0;
            uint16_t first = 0;
            if (!aud_read_u8(&q.body, &zero) || !aud_read_u8(&q.body, &ranges) || ranges == 0 ||
                !aud_read_be16(&q.body, &first) || first == 0) {
                return answer(q, version, status_invalid_data).finish();
            }
            const size_t begin = std::min<size_t>(first - 1, names.size());
            const size_t end = std::min(names.size(), begin + max_records);
            answer a(q, version, end < names.size() ? status_more_records : status_ok);
            a.u8(0);
            a.u8(static_cast<uint8_t>(end - begin));
            const size_t records = a.size();
            const size_t record_size = tx ? 8 : 20;
            for (size_t i = begin; i < end; ++i) {
                for (size_t k = 0; k < record_size / 2; ++k) {
                    a.u16(0);
                }
            }
            // One format record shared by every channel: rate, encoding, 0.
            const uint16_t format = static_cast<uint16_t>(a.size());
            a.u32(identity_.sample_rate);
            a.u16(identity_.encoding);
            a.u16(0);
            for (size_t i = begin; i < end; ++i) {
                const size_t at = records + (i - begin) * record_size;
                a.put16(at, static_cast<uint16_t>(i + 1));
                a.put16(at + 4, format);
                a.put16(at + (tx ? 6 : 10), a.string(names[i]));
            }
            return a.finish();
        }

        case op_tx_labels:
        case op_tx_flows:
        case op_rx_flows:
        case op_rx_flow_errors: {
            answer a(q, version, status_ok);
            a.u8(0);
            a.u8(0);  // none
            return a.finish();
        }

        default:
            return answer(q, version, status_not_supported).finish();
    }
}

}  // namespace tavrin::sim
