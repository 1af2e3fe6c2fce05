#include "conmon_server_fixture.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace conmon_test {

scripted_server::scripted_server() {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
}

scripted_server::~scripted_server() {
    close_socket();
}

void scripted_server::close_socket() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

void scripted_server::reopen() {
    close_socket();
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port_);
    ASSERT_EQ(0, bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr));
    peer_.clear();
}

bool scripted_server::receive(request* out, int timeout_ms) {
    pollfd p{fd_, POLLIN, 0};
    if (fd_ < 0 || poll(&p, 1, timeout_ms) != 1) {
        return false;
    }
    uint8_t buf[CONMON_IPC_BUFFER_SIZE];
    sockaddr_in from{};
    socklen_t len = sizeof from;
    ssize_t n = recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0) {
        return false;
    }
    peer_.assign(reinterpret_cast<uint8_t*>(&from), reinterpret_cast<uint8_t*>(&from) + len);
    out->bytes.assign(buf, buf + n);
    out->head = {};
    conmon_ipc_head_decode(buf, static_cast<size_t>(n), &out->head);
    return true;
}

void scripted_server::send(const std::vector<uint8_t>& bytes) {
    ASSERT_FALSE(peer_.empty()) << "no request received yet";
    sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(peer_.data()),
           static_cast<socklen_t>(peer_.size()));
}

std::vector<uint8_t> scripted_server::status_response(const request& req, uint16_t status,
                                                      uint16_t version) {
    conmon_ipc_head_t head = {version, 0, req.head.seqnum, req.head.opcode, status};
    std::vector<uint8_t> out(CONMON_IPC_HEAD_SIZE);
    size_t size = 0;
    conmon_ipc_encode_head_only(&head, out.data(), out.size(), &size);
    return out;
}

std::vector<uint8_t> scripted_server::connect_response(const request& req, const char* device_name,
                                                       const conmon_instance_id_t& id,
                                                       uint16_t server_flags) {
    conmon_ipc_connect_response_t rsp{};
    rsp.server_flags = server_flags;
    snprintf(rsp.device_name, sizeof rsp.device_name, "%s", device_name);
    snprintf(rsp.dns_name, sizeof rsp.dns_name, "%s.local.", device_name);
    rsp.instance_id = id;
    rsp.interfaces.num_entries = 1;
    rsp.interfaces.entries[0].index = 1;
    rsp.interfaces.entries[0].ip_address = htonl(INADDR_LOOPBACK);
    rsp.stored_words[0] = 7;
    conmon_ipc_head_t head = {req.head.version, 0, req.head.seqnum, CONMON_IPC_OPCODE_CONNECT,
                              CONMON_IPC_STATUS_RESPONSE};
    std::vector<uint8_t> out(CONMON_IPC_BUFFER_SIZE);
    size_t size = 0;
    conmon_ipc_encode_connect_response(&head, &rsp, out.data(), out.size(), &size);
    out.resize(size);
    return out;
}

std::vector<uint8_t> scripted_server::remotes(
    uint16_t opcode, uint16_t status, uint16_t seqnum, uint16_t merge,
    const std::vector<conmon_ipc_remote_record_t>& records, uint16_t version) {
    conmon_ipc_head_t head = {version, 0, seqnum, opcode, status};
    std::vector<uint8_t> out(65535);
    size_t size = 0;
    EXPECT_EQ(AUD_SUCCESS, conmon_ipc_encode_remotes(&head, merge, records.data(),
                                                     static_cast<uint16_t>(records.size()),
                                                     out.data(), out.size(), &size));
    out.resize(size);
    return out;
}

namespace {

std::vector<uint8_t> encode_message_event(uint16_t opcode, conmon_ipc_message_event_t* ev,
                                          const conmon_instance_id_t& source,
                                          const std::vector<uint8_t>& body) {
    conmon_message_head_t mh;
    conmon_vendor_id_t vid;
    conmon_vendor_id_from_string(&vid, "Varnoll");
    conmon_message_head_init(&mh, 0xFFFF, 42, &source, &vid, static_cast<uint16_t>(body.size()));
    ev->message = &mh;
    ev->body = body.data();
    ev->body_size = static_cast<uint16_t>(body.size());
    conmon_ipc_head_t head = {CONMON_IPC_VERSION_DEFAULT, 0, 0, opcode, CONMON_IPC_STATUS_EVENT};
    std::vector<uint8_t> out(CONMON_IPC_BUFFER_SIZE);
    size_t size = 0;
    EXPECT_EQ(AUD_SUCCESS,
              conmon_ipc_encode_message_event(&head, ev, out.data(), out.size(), &size));
    out.resize(size);
    return out;
}

}  // namespace

std::vector<uint8_t> scripted_server::monitored_event(uint16_t channel, uint16_t direction,
                                                      const char* sender,
                                                      const conmon_instance_id_t& source,
                                                      const std::vector<uint8_t>& body) {
    conmon_ipc_message_event_t ev{};
    ev.channel = channel;
    ev.direction = direction;
    snprintf(ev.sender_name, sizeof ev.sender_name, "%s", sender);
    return encode_message_event(CONMON_IPC_OPCODE_EVENT_MONITORED_MESSAGE, &ev, source, body);
}

std::vector<uint8_t> scripted_server::message_event(uint16_t channel, uint16_t direction,
                                                    uint8_t flags,
                                                    const conmon_instance_id_t& source,
                                                    const std::vector<uint8_t>& body) {
    conmon_ipc_message_event_t ev{};
    ev.channel = channel;
    ev.direction = direction;
    ev.flags = flags;
    return encode_message_event(CONMON_IPC_OPCODE_EVENT_MESSAGE, &ev, source, body);
}

conmon_instance_id_t make_id(uint8_t first, uint16_t process) {
    conmon_instance_id_t id{};
    for (int i = 0; i < 8; ++i) {
        id.device_id[i] = static_cast<uint8_t>(first + i);
    }
    id.process_id = process;
    return id;
}

conmon_ipc_remote_record_t make_remote(uint16_t channel, const char* name, uint8_t flags,
                                       const conmon_instance_id_t& id) {
    conmon_ipc_remote_record_t rec{};
    rec.flags = flags;
    rec.channel = channel;
    snprintf(rec.device_name, sizeof rec.device_name, "%s", name);
    rec.instance_id = id;
    rec.addresses.count = 1;
    rec.addresses.valid_mask = 1;
    rec.addresses.entries[0].address = htonl(0xA9FE0001);
    rec.addresses.entries[0].port = 8800;
    return rec;
}

// ---------------------------------------------------------------------------

void client_fixture::SetUp() {
    ASSERT_EQ(AUD_SUCCESS, dapi_new(&api_));
    config_ = conmon_client_config_new("morla");
    ASSERT_NE(nullptr, config_);
    conmon_client_config_set_server_port(config_, server_.port());
}

void client_fixture::make_client() {
    ASSERT_EQ(AUD_SUCCESS, conmon_client_new(api_, config_, &client_));
    conmon_client_set_context(client_, this);
    conmon_client_set_event_callback(client_, on_event);
    conmon_client_set_remotes_changed_callback(client_, on_remotes);
}

void client_fixture::TearDown() {
    conmon_client_delete(client_);
    conmon_client_config_delete(config_);
    dapi_delete(api_);
}

void client_fixture::pump(int ms) {
    for (int waited = 0; waited < ms; waited += 5) {
        dante_runtime_run_once(dapi_get_runtime(api_), 5);
    }
}

request client_fixture::expect(uint16_t opcode) {
    request req;
    // The client may first have to process an answer before it sends.
    bool got = pump_until([&] { return server_.receive(&req, 0); });
    EXPECT_TRUE(got) << "no request for opcode " << opcode;
    EXPECT_EQ(opcode, req.head.opcode);
    return req;
}

void client_fixture::connect_ok(uint16_t server_flags) {
    if (!client_) {
        make_client();
    }
    conmon_client_request_id_t id = nullptr;
    ASSERT_EQ(AUD_SUCCESS, conmon_client_connect(client_, on_response, &id));
    request req = expect(CONMON_IPC_OPCODE_CONNECT);
    server_.send(scripted_server::connect_response(req, "Host-PC", own_id_, server_flags));
    ASSERT_TRUE(pump_until([&] { return conmon_client_is_connected(client_); }));
    responses_.clear();
    events_.clear();
}

void client_fixture::answer(const std::vector<uint8_t>& bytes, size_t n) {
    const size_t want = responses_.size() + n;
    server_.send(bytes);
    EXPECT_TRUE(pump_until([&] { return responses_.size() >= want; }));
}

void client_fixture::on_response(conmon_client_t* client, conmon_client_request_id_t id,
                                 aud_error_t result) {
    auto* self = static_cast<client_fixture*>(conmon_client_get_context(client));
    self->responses_.push_back({id, result});
}

void client_fixture::on_event(const conmon_client_event_t* event) {
    auto* self = static_cast<client_fixture*>(conmon_client_get_context(event->client));
    self->events_.push_back(event->flags);
}

void client_fixture::on_message(conmon_client_t* client, conmon_channel_type_t channel,
                                conmon_channel_direction_t direction,
                                const conmon_message_head_t* head, const uint8_t* body) {
    auto* self = static_cast<client_fixture*>(conmon_client_get_context(client));
    conmon_instance_id_t source;
    conmon_message_head_get_instance_id(head, &source);
    const char* name = conmon_client_get_source_name(client, &source);
    self->messages_.push_back(
        {static_cast<uint16_t>(channel), static_cast<uint16_t>(direction),
         std::vector<uint8_t>(body, body + conmon_message_head_get_body_size(head)),
         name ? name : "(null)", conmon_client_get_control_flags(client)});
}

void client_fixture::on_remotes(conmon_client_t* client, const conmon_remote_t* const* changed,
                                size_t count) {
    auto* self = static_cast<client_fixture*>(conmon_client_get_context(client));
    std::vector<std::string> names;
    for (size_t i = 0; i < count; ++i) {
        names.emplace_back(conmon_remote_get_device_name(changed[i]));
    }
    self->remote_reports_.push_back(names);
}

}  // namespace conmon_test
