// The ConMon wire codec: byte layouts, round trips and the validation of server
// datagrams, valid and invalid.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "dante/conmon/conmon_wire.h"

namespace {

using bytes = std::vector<uint8_t>;

conmon_ipc_head_t head_of(uint16_t opcode, uint16_t status,
                          uint16_t version = CONMON_IPC_VERSION_DEFAULT, uint16_t seq = 7) {
    return {version, 0, seq, opcode, status};
}

// Validation result: 0 when valid, else the failing status code.
uint16_t validate(const bytes& b) {
    conmon_ipc_head_t head;
    uint16_t failure = 0;
    return conmon_ipc_validate_from_server(b.data(), b.size(), &head, &failure) ? 0 : failure;
}

void set_h16(bytes* b, size_t at, uint16_t v) {
    memcpy(b->data() + at, &v, 2);
}

// Keeps the head's length in step after a test changes the size.
void resize(bytes* b, size_t n) {
    b->resize(n);
    set_h16(b, 2, static_cast<uint16_t>(n));
}

bytes message_event(uint16_t opcode, uint16_t body_size) {
    conmon_message_head_t mh;
    conmon_message_head_init(&mh, 0xFFFF, 1, nullptr, &CONMON_VENDOR_ID_AUDINATE, body_size);
    bytes body(body_size, 0xAB);
    conmon_ipc_message_event_t ev{};
    ev.channel = CONMON_CHANNEL_TYPE_STATUS;
    ev.direction = 1;
    ev.message = &mh;
    ev.body = body.data();
    ev.body_size = body_size;
    conmon_ipc_head_t head = head_of(opcode, CONMON_IPC_STATUS_EVENT);
    bytes out(CONMON_IPC_BUFFER_SIZE);
    size_t size = 0;
    EXPECT_EQ(AUD_SUCCESS,
              conmon_ipc_encode_message_event(&head, &ev, out.data(), out.size(), &size));
    out.resize(size);
    return out;
}

bytes remotes_datagram(uint16_t version, uint16_t count, uint16_t opcode = 0x0521,
                       uint16_t status = CONMON_IPC_STATUS_EVENT) {
    std::vector<conmon_ipc_remote_record_t> recs(count);
    for (uint16_t i = 0; i < count; ++i) {
        recs[i].flags = CONMON_REMOTE_FLAG_INSTANCE_ID_VALID | CONMON_REMOTE_FLAG_ADDRESSES_VALID;
        recs[i].channel = CONMON_CHANNEL_TYPE_STATUS;
        snprintf(recs[i].device_name, sizeof recs[i].device_name, "Amp-%u", i);
        recs[i].instance_id.device_id[7] = static_cast<uint8_t>(i);
        recs[i].instance_id.process_id = 300;
        recs[i].attribute = 11;
        recs[i].attribute2 = 12;
        recs[i].attribute3 = 13;
        recs[i].attribute4 = 14;
        recs[i].addresses.count = 2;
        recs[i].addresses.valid_mask = 3;
        recs[i].addresses.entries[1].address = 0x0100A8C0;
        recs[i].addresses.entries[1].port = 4440;
    }
    conmon_ipc_head_t head = head_of(opcode, status, version);
    bytes out(8192);
    size_t size = 0;
    EXPECT_EQ(AUD_SUCCESS, conmon_ipc_encode_remotes(&head, 1, recs.data(), count, out.data(),
                                                     out.size(), &size));
    out.resize(size);
    return out;
}

TEST(ConmonWire, StatusNamesAndErrors) {
    struct row {
        uint16_t code;
        const char* name;
        aud_error_t error;
    };
    const row rows[] = {
        {0, "Request", AUD_SUCCESS},
        {1, "Response", AUD_SUCCESS},
        {2, "Event", AUD_SUCCESS},
        {3, "Invalid version", AUD_ERR_VERSION},
        {4, "Invalid size", AUD_ERR_INVALIDDATA},
        {7, "Invalid data", AUD_ERR_INVALIDDATA},
        {8, "Internal error", AUD_ERR_SYSTEM},
        {9, "Not Supported", AUD_ERR_NOTSUPPORTED},
        {10, "Timeout", AUD_ERR_TIMEDOUT},
        {11, "Invalid State", AUD_ERR_INVALIDSTATE},
        {12, "No Buffers", AUD_ERR_NOBUFS},
        {13, "Not Found", AUD_ERR_NOTFOUND},
        {14, "Unknown", AUD_ERR_SYSTEM},
        {0x0FFF, "Unknown", AUD_ERR_SYSTEM},
    };
    for (const row& r : rows) {
        EXPECT_STREQ(r.name, conmon_ipc_status_name(r.code)) << r.code;
        EXPECT_EQ(r.error, conmon_ipc_status_to_error(r.code)) << r.code;
    }
    EXPECT_STREQ("vendor_broadcast", conmon_channel_type_log_name(CONMON_CHANNEL_TYPE_VBROADCAST));
    EXPECT_STREQ("unknown", conmon_channel_type_log_name(9));
}

TEST(ConmonWire, MessageHeadIsNetworkOrder) {
    conmon_instance_id_t src = {{1, 2, 3, 4, 5, 6, 7, 8}, 0x1234};
    conmon_vendor_id_t vid;
    conmon_vendor_id_from_string(&vid, "Varnoll");
    EXPECT_EQ(0, vid.data[7]);
    conmon_message_head_t mh;
    conmon_message_head_init(&mh, 0xFFFF, 0xBEEF, &src, &vid, 100);
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(&mh);
    EXPECT_EQ(0xFF, raw[0]);
    EXPECT_EQ(0x00, raw[2]);
    EXPECT_EQ(124, raw[3]);
    EXPECT_EQ(0xBE, raw[4]);
    EXPECT_EQ(0x12, raw[6]);
    EXPECT_EQ(1, raw[8]);
    EXPECT_EQ('V', raw[16]);
    EXPECT_EQ(100, conmon_message_head_get_body_size(&mh));
    EXPECT_EQ(0xBEEF, conmon_message_head_get_seqnum(&mh));
    conmon_instance_id_t back;
    conmon_message_head_get_instance_id(&mh, &back);
    EXPECT_TRUE(conmon_instance_id_equal(&src, &back));
    EXPECT_TRUE(conmon_vendor_id_equal(&vid, conmon_message_head_get_vendor_id(&mh)));

    // A length below the head never yields a wrapped body size.
    mh.length[0] = 0;
    mh.length[1] = 10;
    EXPECT_EQ(0, conmon_message_head_get_body_size(&mh));
    EXPECT_EQ(AUD_ERR_INVALIDDATA, conmon_message_check(raw, sizeof mh));
}

TEST(ConmonWire, RequestLayoutsByVersion) {
    uint8_t buf[CONMON_IPC_BUFFER_SIZE];
    size_t size = 0;
    conmon_ipc_head_t head = head_of(0, 0, 0x1503, 3);

    ASSERT_EQ(AUD_SUCCESS,
              conmon_ipc_encode_connect(&head, "a-client-name-longer-than-31-characters",
                                        CONMON_CONNECT_MANUAL, buf, sizeof buf, &size));
    EXPECT_EQ(44u, size);
    EXPECT_EQ(0x03, buf[0]);  // host order
    EXPECT_EQ(0x15, buf[1]);
    EXPECT_EQ(44, buf[2]);
    EXPECT_EQ(0, buf[10 + 31]);
    char name[CONMON_NAME_SIZE];
    uint16_t mode = 99;
    conmon_ipc_head_t got;
    ASSERT_EQ(AUD_SUCCESS, conmon_ipc_head_decode(buf, size, &got));
    ASSERT_EQ(AUD_SUCCESS, conmon_ipc_decode_connect(&got, buf, size, name, &mode));
    EXPECT_EQ(31u, strlen(name));
    EXPECT_EQ(0, mode);

    head.version = 0x1300;
    ASSERT_EQ(AUD_SUCCESS, conmon_ipc_encode_connect(&head, "morla", 0, buf, sizeof buf, &size));
    EXPECT_EQ(16u, size);
    ASSERT_EQ(AUD_SUCCESS, conmon_ipc_decode_connect(&head, buf, size, name, &mode));
    EXPECT_STREQ("morla", name);

    // Register: 16 bytes with the METERING port from 0x1100, 14 before.
    conmon_ipc_register_t reg = {CONMON_CHANNEL_TYPE_METERING, 0, 4321};
    head.opcode = CONMON_IPC_OPCODE_REGISTER_MONITORING;
    ASSERT_EQ(AUD_SUCCESS, conmon_ipc_encode_register(&head, &reg, buf, sizeof buf, &size));
    EXPECT_EQ(16u, size);
    conmon_ipc_register_t back;
    ASSERT_EQ(AUD_SUCCESS, conmon_ipc_decode_register(&head, buf, size, &back));
    EXPECT_EQ(4321, back.metering_port);
    head.version = 0x1000;
    ASSERT_EQ(AUD_SUCCESS, conmon_ipc_encode_register(&head, &reg, buf, sizeof buf, &size));
    EXPECT_EQ(14u, size);
    EXPECT_EQ(AUD_ERR_INVALIDDATA, conmon_ipc_decode_register(&head, buf, size + 2, &back));

    // Subscribe counts ten bytes beyond the name's NUL; the name starts at +14 or +12.
    conmon_ipc_subscribe_t sub{};
    sub.channel = CONMON_CHANNEL_TYPE_STATUS;
    strcpy(sub.device_name, "Amp-1");
    head.version = 0x1503;
    ASSERT_EQ(AUD_SUCCESS, conmon_ipc_encode_subscribe(&head, &sub, buf, sizeof buf, &size));
    EXPECT_EQ(30u, size);
    EXPECT_EQ('A', buf[14]);
    conmon_ipc_subscribe_t sub_back;
    ASSERT_EQ(AUD_SUCCESS, conmon_ipc_decode_subscribe(&head, buf, size, &sub_back));
    EXPECT_STREQ("Amp-1", sub_back.device_name);
    head.version = 0x1000;
    ASSERT_EQ(AUD_SUCCESS, conmon_ipc_encode_subscribe(&head, &sub, buf, sizeof buf, &size));
    EXPECT_EQ(28u, size);
    EXPECT_EQ('A', buf[12]);

    // Every encoder refuses a buffer that is too small rather than write past it.
    EXPECT_EQ(AUD_ERR_TRUNCATED, conmon_ipc_encode_subscribe(&head, &sub, buf, 20, &size));
    EXPECT_EQ(AUD_ERR_TRUNCATED, conmon_ipc_encode_head_only(&head, buf, 9, &size));
}

TEST(ConmonWire, ControlRequestCarriesACompleteMessage) {
    uint8_t buf[CONMON_IPC_BUFFER_SIZE];
    size_t size = 0;
    const uint8_t body[] = {0x55, 0x01, 0xAA, 0xD5, 0xE3};
    conmon_ipc_control_t ctl{};
    strcpy(ctl.device_name, "Amp-1");
    ctl.message_class = 0xFFFF;
    conmon_vendor_id_from_string(&ctl.vendor_id, "Varnoll");
    ctl.body = body;
    ctl.body_size = sizeof body;
    conmon_ipc_head_t head = head_of(0, 0);
    ASSERT_EQ(AUD_SUCCESS, conmon_ipc_encode_control(&head, &ctl, buf, sizeof buf, &size));
    ASSERT_EQ(76u + sizeof body, size);
    EXPECT_EQ(0xFF, buf[52]);
    EXPECT_EQ(0, buf[54]);
    EXPECT_EQ(24 + sizeof body, buf[55]);
    for (int i = 56; i < 68; ++i) {
        EXPECT_EQ(0, buf[i]) << "seqnum, process and device id stay zero at " << i;
    }
    EXPECT_EQ(0, memcmp(buf + 76, body, sizeof body));

    conmon_ipc_control_t back;
    ASSERT_EQ(AUD_SUCCESS, conmon_ipc_decode_control(&head, buf, size, &back));
    EXPECT_EQ(sizeof body, back.body_size);
    // An embedded length that disagrees with the datagram is refused.
    buf[55]++;
    EXPECT_EQ(AUD_ERR_INVALIDDATA, conmon_ipc_decode_control(&head, buf, size, &back));
    EXPECT_EQ(AUD_ERR_INVALIDDATA, conmon_ipc_decode_control(&head, buf, 60, &back));
}

TEST(ConmonWire, HeadValidation) {
    conmon_ipc_head_t head = head_of(CONMON_IPC_OPCODE_REGISTER_MONITORING, 1);
    bytes b(CONMON_IPC_HEAD_SIZE);
    size_t size = 0;
    ASSERT_EQ(AUD_SUCCESS, conmon_ipc_encode_head_only(&head, b.data(), b.size(), &size));
    EXPECT_EQ(0, validate(b));

    EXPECT_EQ(CONMON_IPC_STATUS_INVALID_SIZE, validate(bytes(b.begin(), b.begin() + 9)));
    bytes v = b;
    set_h16(&v, 0, 0x0FFF);
    EXPECT_EQ(CONMON_IPC_STATUS_INVALID_VERSION, validate(v));
    set_h16(&v, 0, 0x2000);
    EXPECT_EQ(CONMON_IPC_STATUS_INVALID_VERSION, validate(v));
    bytes longer = b;
    longer.push_back(0);
    EXPECT_EQ(CONMON_IPC_STATUS_INVALID_SIZE, validate(longer));

    bytes s = b;
    set_h16(&s, 8, CONMON_IPC_STATUS_EVENT);
    EXPECT_EQ(CONMON_IPC_STATUS_INVALID_STATUS, validate(s));
    set_h16(&s, 6, 0x0777);
    set_h16(&s, 8, CONMON_IPC_STATUS_RESPONSE);
    EXPECT_EQ(CONMON_IPC_STATUS_NOT_SUPPORTED, validate(s));
    // Error statuses skip the layout rules, even for a connect response.
    set_h16(&s, 6, CONMON_IPC_OPCODE_CONNECT);
    set_h16(&s, 8, CONMON_IPC_STATUS_INVALID_SIZE);
    EXPECT_EQ(0, validate(s));
    set_h16(&s, 8, CONMON_IPC_STATUS_REQUEST);
    EXPECT_EQ(CONMON_IPC_STATUS_INVALID_STATUS, validate(s));
    // An event opcode needs the Event status.
    set_h16(&s, 6, CONMON_IPC_OPCODE_EVENT_DEVICE_NAME);
    set_h16(&s, 8, CONMON_IPC_STATUS_RESPONSE);
    EXPECT_EQ(CONMON_IPC_STATUS_INVALID_STATUS, validate(s));
}

TEST(ConmonWire, ConnectResponseLayoutAndSizeRule) {
    conmon_ipc_connect_response_t rsp{};
    rsp.server_flags = 1;
    strcpy(rsp.device_name, "Host-PC");
    strcpy(rsp.dns_name, "host-pc.local.");
    rsp.instance_id = {{9, 8, 7, 6, 5, 4, 3, 2}, 0x4242};
    rsp.interfaces.num_entries = 2;
    rsp.interfaces.entries[0].index = 3;
    rsp.interfaces.entries[0].ip_address = 0x0100007F;
    rsp.interfaces.entries[1].index = 4;
    rsp.interfaces.entries[1].bytes10[5] = 0x66;
    rsp.stored_words[1] = 0xCAFE;
    conmon_ipc_head_t head = head_of(0, CONMON_IPC_STATUS_RESPONSE);
    bytes b(1024);
    size_t size = 0;
    ASSERT_EQ(AUD_SUCCESS,
              conmon_ipc_encode_connect_response(&head, &rsp, b.data(), b.size(), &size));
    b.resize(size);
    ASSERT_EQ(324u + 72u, size);
    EXPECT_EQ(0, validate(b));
    conmon_ipc_connect_response_t back;
    ASSERT_EQ(AUD_SUCCESS, conmon_ipc_decode_connect_response(&head, b.data(), b.size(), &back));
    EXPECT_STREQ("Host-PC", back.device_name);
    EXPECT_STREQ("host-pc.local.", back.dns_name);
    EXPECT_TRUE(conmon_instance_id_equal(&rsp.instance_id, &back.instance_id));
    ASSERT_EQ(2, back.interfaces.num_entries);
    EXPECT_EQ(0x0100007Fu, back.interfaces.entries[0].ip_address);
    EXPECT_EQ(0x66, back.interfaces.entries[1].bytes10[5]);
    EXPECT_EQ(0xCAFEu, back.stored_words[1]);

    bytes shortened = b;
    resize(&shortened, 323);
    EXPECT_EQ(CONMON_IPC_STATUS_INVALID_SIZE, validate(shortened));
    bytes padded = b;
    resize(&padded, b.size() + 1);  // count × size + offset no longer adds up
    EXPECT_EQ(CONMON_IPC_STATUS_INVALID_SIZE, validate(padded));

    // Records shorter than 36 bytes are not used; more than two are cut to two.
    bytes small = b;
    set_h16(&small, 310, 4);
    set_h16(&small, 312, 18);
    EXPECT_EQ(0, validate(small));
    ASSERT_EQ(AUD_SUCCESS,
              conmon_ipc_decode_connect_response(&head, small.data(), small.size(), &back));
    EXPECT_EQ(0, back.interfaces.num_entries);
}

TEST(ConmonWire, RemoteRecordsByVersion) {
    for (uint16_t version : {0x1503, 0x1300, 0x1200, 0x1100}) {
        bytes b = remotes_datagram(version, 3);
        ASSERT_EQ(16u + 3 * 72u, b.size()) << std::hex << version;
        EXPECT_EQ(0, validate(b));
        conmon_ipc_head_t head = head_of(0x0521, 2, version);
        conmon_ipc_remotes_t rem;
        ASSERT_EQ(AUD_SUCCESS, conmon_ipc_decode_remotes(&head, b.data(), b.size(), &rem));
        EXPECT_EQ(3, rem.count);
        EXPECT_EQ(1, rem.merge);
        conmon_ipc_remote_record_t rec;
        ASSERT_EQ(AUD_SUCCESS, conmon_ipc_decode_remote_record(&head, b.data(), b.size(), 2, &rec));
        EXPECT_STREQ("Amp-2", rec.device_name);
        EXPECT_EQ(2, rec.instance_id.device_id[7]);
        EXPECT_EQ(300, rec.instance_id.process_id);
        EXPECT_EQ(12, rec.attribute2);
        EXPECT_EQ(version >= 0x1300 ? 13 : 0, rec.attribute3);
        EXPECT_EQ(4440, rec.addresses.entries[1].port);
        EXPECT_EQ(0x0100A8C0u, rec.addresses.entries[1].address);
        EXPECT_EQ(AUD_ERR_INVALIDDATA,
                  conmon_ipc_decode_remote_record(&head, b.data(), b.size(), 3, &rec));

        resize(&b, b.size() - 1);
        EXPECT_EQ(CONMON_IPC_STATUS_INVALID_SIZE, validate(b));
    }
    // Before 0x1100: 48-byte records from +12, always merged.
    bytes old = remotes_datagram(0x1000, 2);
    ASSERT_EQ(12u + 2 * 48u, old.size());
    EXPECT_EQ(0, validate(old));
    conmon_ipc_head_t head = head_of(0x0521, 2, 0x1000);
    conmon_ipc_remote_record_t rec;
    ASSERT_EQ(AUD_SUCCESS, conmon_ipc_decode_remote_record(&head, old.data(), old.size(), 1, &rec));
    EXPECT_STREQ("Amp-1", rec.device_name);
    EXPECT_EQ(0, rec.addresses.count);

    // A subscribe response with records is held to the same rule; a bare one is fine.
    bytes sub = remotes_datagram(0x1503, 1, CONMON_IPC_OPCODE_SUBSCRIBE, 1);
    EXPECT_EQ(0, validate(sub));
    resize(&sub, 80);
    EXPECT_EQ(CONMON_IPC_STATUS_INVALID_SIZE, validate(sub));
    resize(&sub, 10);
    EXPECT_EQ(0, validate(sub));
}

TEST(ConmonWire, InterfaceAndNameEventSizeRules) {
    conmon_interface_entry_t entries[2] = {};
    entries[0].index = 5;
    entries[1].index = 6;
    conmon_ipc_head_t head = head_of(CONMON_IPC_OPCODE_EVENT_INTERFACES, 2);
    bytes b(256);
    size_t size = 0;
    ASSERT_EQ(AUD_SUCCESS,
              conmon_ipc_encode_interfaces_event(&head, entries, 2, b.data(), b.size(), &size));
    b.resize(size);
    EXPECT_EQ(16u + 72u, size);
    EXPECT_EQ(0, validate(b));
    conmon_interface_list_t list;
    ASSERT_EQ(AUD_SUCCESS, conmon_ipc_decode_interfaces_event(&head, b.data(), b.size(), &list));
    EXPECT_EQ(6u, list.entries[1].index);
    resize(&b, b.size() - 1);
    EXPECT_EQ(CONMON_IPC_STATUS_INVALID_SIZE, validate(b));
    // A record offset beyond the datagram is an error, not an over-read.
    resize(&b, b.size() + 1);
    set_h16(&b, 14, 80);
    EXPECT_EQ(AUD_ERR_INVALIDDATA,
              conmon_ipc_decode_interfaces_event(&head, b.data(), b.size(), &list));

    head = head_of(CONMON_IPC_OPCODE_EVENT_DEVICE_NAME, 2);
    bytes n(64);
    ASSERT_EQ(AUD_SUCCESS,
              conmon_ipc_encode_name_event(&head, "New-Name", n.data(), n.size(), &size));
    n.resize(size);
    EXPECT_EQ(42u, size);
    EXPECT_EQ(0, validate(n));
    resize(&n, 41);
    EXPECT_EQ(CONMON_IPC_STATUS_INVALID_SIZE, validate(n));

    head = head_of(CONMON_IPC_OPCODE_EVENT_DNS_NAME, 2);
    bytes d(300);
    ASSERT_EQ(AUD_SUCCESS,
              conmon_ipc_encode_name_event(&head, "x.local.", d.data(), d.size(), &size));
    d.resize(size);
    EXPECT_EQ(266u, size);
    EXPECT_EQ(0, validate(d));
    // A full 256-byte name without a terminator is cut, never read past.
    memset(d.data() + 10, 'a', 256);
    char name[CONMON_DNS_NAME_SIZE];
    ASSERT_EQ(AUD_SUCCESS,
              conmon_ipc_decode_name_event(&head, d.data(), d.size(), name, sizeof name));
    EXPECT_EQ(255u, strlen(name));
    resize(&d, 265);
    EXPECT_EQ(CONMON_IPC_STATUS_INVALID_SIZE, validate(d));
}

TEST(ConmonWire, MessageEventRules) {
    for (uint16_t opcode :
         {CONMON_IPC_OPCODE_EVENT_MESSAGE, CONMON_IPC_OPCODE_EVENT_MONITORED_MESSAGE}) {
        const size_t offset = opcode == CONMON_IPC_OPCODE_EVENT_MESSAGE ? 16 : 48;
        bytes b = message_event(opcode, 5);
        ASSERT_EQ(offset + 24 + 5, b.size());
        EXPECT_EQ(0, validate(b));
        conmon_ipc_head_t head = head_of(opcode, 2);
        conmon_ipc_message_event_t ev;
        ASSERT_EQ(AUD_SUCCESS, conmon_ipc_decode_message_event(&head, b.data(), b.size(), &ev));
        EXPECT_EQ(5, ev.body_size);
        EXPECT_EQ(b.data() + offset + 24, ev.body);

        // Trailing bytes after the message are allowed; a message beyond the datagram is not.
        bytes longer = b;
        resize(&longer, b.size() + 3);
        EXPECT_EQ(0, validate(longer));
        bytes overlong = b;
        overlong[offset + 3] = 30;  // embedded length 30 > 29 available
        EXPECT_EQ(CONMON_IPC_STATUS_INVALID_SIZE, validate(overlong));
        // A length below the message head would wrap the body size.
        bytes underlong = b;
        underlong[offset + 3] = 23;
        EXPECT_EQ(CONMON_IPC_STATUS_INVALID_SIZE, validate(underlong));
        // Channel and direction index the handler table.
        bytes channel = b;
        set_h16(&channel, 10, CONMON_NUM_CHANNELS);
        EXPECT_EQ(CONMON_IPC_STATUS_INVALID_DATA, validate(channel));
        bytes direction = b;
        set_h16(&direction, 12, 2);
        EXPECT_EQ(CONMON_IPC_STATUS_INVALID_DATA, validate(direction));
    }
    // Minimum sizes: 40 for 0x0510 and 72 for 0x0511, even with an empty body.
    bytes small = message_event(CONMON_IPC_OPCODE_EVENT_MESSAGE, 0);
    EXPECT_EQ(0, validate(small));
    resize(&small, 39);
    EXPECT_EQ(CONMON_IPC_STATUS_INVALID_SIZE, validate(small));
    bytes monitored = message_event(CONMON_IPC_OPCODE_EVENT_MONITORED_MESSAGE, 0);
    resize(&monitored, 71);
    EXPECT_EQ(CONMON_IPC_STATUS_INVALID_SIZE, validate(monitored));
}

}  // namespace
