// Server datagrams into a ConMon client: validation and dispatch, with a pending
// connect (seqnum 1), register (2), subscribe (3) and control message (4) so that
// responses find their requests. Input: datagrams, each behind a 16-bit
// little-endian length.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "dante/conmon/conmon_client.h"
#include "dante/conmon/internal/conmon_client_impl.h"

namespace {

struct harness {
    dapi_t* api = nullptr;
    int sink = -1;  // stands in for the server: takes the requests, never answers
    uint16_t port = 0;

    harness() {
        dapi_new(&api);
        sink = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(sink, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        socklen_t len = sizeof addr;
        getsockname(sink, reinterpret_cast<sockaddr*>(&addr), &len);
        port = ntohs(addr.sin_port);
    }

    void drain() {
        uint8_t buf[CONMON_IPC_BUFFER_SIZE];
        while (recv(sink, buf, sizeof buf, 0) >= 0) {
        }
    }
};

volatile uint8_t g_sum;

void on_response(conmon_client_t*, conmon_client_request_id_t, aud_error_t) {}

void on_message(conmon_client_t* client, conmon_channel_type_t, conmon_channel_direction_t,
                const conmon_message_head_t* head, const uint8_t* body) {
    // Touch every byte the client claims is there.
    uint16_t n = conmon_message_head_get_body_size(head);
    for (uint16_t i = 0; i < n; ++i) {
        g_sum = static_cast<uint8_t>(g_sum + body[i]);
    }
    conmon_instance_id_t id;
    conmon_message_head_get_instance_id(head, &id);
    const char* name = conmon_client_get_source_name(client, &id);
    if (name) {
        g_sum = static_cast<uint8_t>(g_sum + strlen(name));
    }
}

void on_remotes(conmon_client_t*, const conmon_remote_t* const* changed, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        g_sum = static_cast<uint8_t>(g_sum + strlen(conmon_remote_get_device_name(changed[i])));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static harness h;
    conmon_client_config_t* config = conmon_client_config_new("fuzz");
    conmon_client_config_set_server_port(config, h.port);
    conmon_client_t* client = nullptr;
    if (conmon_client_new(h.api, config, &client) != AUD_SUCCESS) {
        conmon_client_config_delete(config);
        return 0;
    }
    conmon_client_config_delete(config);
    conmon_client_set_remotes_changed_callback(client, on_remotes);
    conmon_client_request_id_t id = nullptr;
    conmon_client_connect(client, on_response, &id);
    for (uint16_t dir = 0; dir < CONMON_NUM_DIRECTIONS; ++dir) {
        for (uint16_t ch : {CONMON_CHANNEL_TYPE_CONTROL, CONMON_CHANNEL_TYPE_STATUS}) {
            client->handlers[ch][dir] = on_message;
        }
    }
    conmon_client_register_monitoring_messages(client, on_response, &id, CONMON_CHANNEL_TYPE_STATUS,
                                               1, on_message);
    conmon_client_subscribe(client, on_response, &id, CONMON_CHANNEL_TYPE_STATUS, "Amp-1");
    const uint8_t body[8] = {0x07, 0x24, 0x00, 0xC1};
    conmon_client_send_control_message(client, on_response, &id, "Amp-1", 0xFFFF,
                                       &CONMON_VENDOR_ID_AUDINATE, body, sizeof body, nullptr);

    size_t pos = 0;
    while (size - pos >= 2) {
        size_t len = data[pos] | (data[pos + 1] << 8);
        pos += 2;
        if (len > size - pos) {
            len = size - pos;
        }
        // Feed a copy of exactly len bytes so that any over-read is caught.
        uint8_t* copy = new uint8_t[len ? len : 1];
        memcpy(copy, data + pos, len);
        conmon_client_process_local_message(client, copy, len);
        delete[] copy;
        pos += len;
    }
    conmon_client_delete(client);
    h.drain();
    return 0;
}
