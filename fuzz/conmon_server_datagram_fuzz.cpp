// Server datagrams into a ConMon client: validation and dispatch, with a pending
// connect (seqnum 1), register (2), subscribe (3) and control message (4) so that
// responses find their requests. Input: datagrams, each behind a 16-bit
// little-endian length.
//
// The client is made and its requests are sent once; every input then starts from
// a copy of that client's state, so no input pays for making one and none sees what
// an earlier input left behind. Its socket is a number no file has: what it sends
// goes nowhere and closing it touches nothing of ours.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "dante/conmon/conmon_client.h"
#include "dante/conmon/internal/conmon_client_impl.h"
#include "fuzz/support/offline_net.h"

namespace {

const int k_no_file = 1 << 30;

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

// The client as it stands after its requests, and room to restore it from. The
// send and receive buffers, the client's last members, are left out: nothing in them
// outlives a datagram.
static_assert(offsetof(conmon_client, tx) < offsetof(conmon_client, rx) &&
                  offsetof(conmon_client, rx) < offsetof(conmon_client, rx_iov) &&
                  offsetof(conmon_client, rx_iov) < offsetof(conmon_client, rx_msgs) &&
                  sizeof(conmon_client) - offsetof(conmon_client, rx_msgs) <
                      sizeof(conmon_client::rx_msgs) + alignof(conmon_client),
              "state added after the buffers would not be restored");
struct primed_client {
    conmon_client_t* client = nullptr;
    std::vector<uint8_t> state;

    primed_client() {
        dapi_t* api = nullptr;
        if (dapi_new(&api) != AUD_SUCCESS) {
            return;
        }
        conmon_client_config_t* config = conmon_client_config_new("fuzz");
        conmon_client_config_set_server_port(config, 9);
        // The channel sockets have their own target (conmon_channel).
        conmon_client_config_set_channel_mask(config, 0);
        conmon_client_t* c = nullptr;
        const aud_error_t made = conmon_client_new(api, config, &c);
        conmon_client_config_delete(config);
        if (made != AUD_SUCCESS) {
            return;
        }
        conmon_client_set_remotes_changed_callback(c, on_remotes);
        conmon_client_request_id_t id = nullptr;
        conmon_client_connect(c, on_response, &id);
        for (uint16_t dir = 0; dir < CONMON_NUM_DIRECTIONS; ++dir) {
            for (uint16_t ch : {CONMON_CHANNEL_TYPE_CONTROL, CONMON_CHANNEL_TYPE_STATUS}) {
                c->handlers[ch][dir] = on_message;
            }
        }
        conmon_client_register_monitoring_messages(c, on_response, &id, CONMON_CHANNEL_TYPE_STATUS,
                                                   1, on_message);
        conmon_client_subscribe(c, on_response, &id, CONMON_CHANNEL_TYPE_STATUS, "Amp-1");
        const uint8_t body[8] = {0x07, 0x24, 0x00, 0xC1};
        conmon_client_send_control_message(c, on_response, &id, "Amp-1", 0xFFFF,
                                           &CONMON_VENDOR_ID_AUDINATE, body, sizeof body, nullptr);
        conmon_client_close_socket(c);
        c->sock = k_no_file;
        const auto* bytes = reinterpret_cast<const uint8_t*>(c);
        state.assign(bytes, bytes + offsetof(conmon_client, tx));
        client = c;
    }

    void restore() { memcpy(static_cast<void*>(client), state.data(), state.size()); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static primed_client primed;
    if (!primed.client) {
        return 0;
    }
    primed.restore();
    conmon_client_t* client = primed.client;
    size_t pos = 0;
    while (size - pos >= 2) {
        size_t len = data[pos] | (data[pos + 1] << 8);
        pos += 2;
        if (len > size - pos) {
            len = size - pos;
        }
        // Feed a copy of exactly len bytes so that any over-read is caught.
        std::vector<uint8_t> copy(data + pos, data + pos + len);
        conmon_client_process_local_message(client, copy.data(), copy.size());
        pos += len;
    }
    return 0;
}
