// The lab's receive paths for untrusted datagrams: conmon-server's client and
// device sockets, a virtual device's ConMon and ARCP ports, and the TXT record the
// server resolves. The first byte picks the path (0-4); the rest is the datagram.
#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/time_source.h"
#include "sim/arcp_responder.h"
#include "sim/conmon_server.h"
#include "sim/lab_device.h"

namespace {

using namespace tavrin::sim;

class null_port : public conmon_server_port {
  public:
    void send_to_client(const sockaddr_in&, const uint8_t*, size_t) override {}
    void send_to_device(const sockaddr_in&, const uint8_t*, size_t) override {}
};

sockaddr_in endpoint(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

// A server with one connected, registered and subscribed client and one device.
void prime(conmon_server& server) {
    server_device d;
    d.name = "Amp-1";
    d.address = endpoint(40001);
    d.instance_valid = true;
    server.device_up(d);
    uint8_t buf[128];
    size_t n = 0;
    conmon_ipc_head_t h{};
    h.version = CONMON_IPC_VERSION_DEFAULT;
    conmon_ipc_encode_connect(&h, "fuzz", 0, buf, sizeof buf, &n);
    server.on_client_datagram(endpoint(50000), buf, n, 0);
    h.opcode = CONMON_IPC_OPCODE_REGISTER_MONITORING;
    conmon_ipc_register_t reg{CONMON_CHANNEL_TYPE_STATUS, CONMON_CHANNEL_DIRECTION_RX, 0};
    conmon_ipc_encode_register(&h, &reg, buf, sizeof buf, &n);
    server.on_client_datagram(endpoint(50000), buf, n, 0);
    conmon_ipc_subscribe_t sub{};
    sub.channel = CONMON_CHANNEL_TYPE_STATUS;
    conmon_ipc_encode_subscribe(&h, &sub, buf, sizeof buf, &n);
    server.on_client_datagram(endpoint(50000), buf, n, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const uint8_t path = data[0] % 5;
    ++data;
    --size;
    switch (path) {
        case 0:
        case 1: {
            null_port port;
            conmon_server server(port, conmon_server_identity{});
            prime(server);
            if (path == 0) {
                server.on_client_datagram(endpoint(50000), data, size, 10);
            } else {
                server.on_device_datagram(endpoint(40001), data, size, 10);
            }
            server.on_tick(5000);
            break;
        }
        case 2: {
            tavrin::fake_time clock;
            lab_device_config config{"Amp-1", true, "Varnoll AB", "TAVRIN-PA22", {}};
            lab_device device(config, clock, "", 0);
            device.on_conmon_datagram(data, size, endpoint(8901));
            break;
        }
        case 3: {
            conmon_instance_id_t id{};
            parse_instance_txt(data, size, id);
            break;
        }
        case 4: {
            arcp_responder responder(arcp_identity{"Amp-1"});
            const std::vector<uint8_t> answer = responder.on_request(data, size);
            // An answer is a whole ARCP datagram: its length field counts every byte.
            if (!answer.empty() &&
                (answer.size() < 10 ||
                 static_cast<size_t>(answer[2] << 8 | answer[3]) != answer.size())) {
                abort();
            }
            break;
        }
    }
    return 0;
}
