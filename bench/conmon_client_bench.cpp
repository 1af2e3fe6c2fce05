// Monitored-message events (0x0511) processed per second by one ConMon client, fed by
// a loopback server thread that sends as fast as the client keeps up (a bounded
// window of datagrams in flight, so none is lost in the socket buffer).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "dante/conmon/conmon_client.h"

namespace {

constexpr uint64_t kWindow = 64;
constexpr uint64_t kBatch = 1000;

std::atomic<uint64_t> g_processed{0};

void on_message(conmon_client_t*, conmon_channel_type_t, conmon_channel_direction_t,
                const conmon_message_head_t*, const uint8_t*) {
    g_processed.fetch_add(1, std::memory_order_relaxed);
}

void on_response(conmon_client_t*, conmon_client_request_id_t, aud_error_t) {}

std::vector<uint8_t> make_event(size_t body_size) {
    conmon_instance_id_t src = {{1, 2, 3, 4, 5, 6, 7, 8}, 9};
    conmon_vendor_id_t vid;
    conmon_vendor_id_from_string(&vid, "Varnoll");
    conmon_message_head_t mh;
    conmon_message_head_init(&mh, 0xFFFF, 1, &src, &vid, static_cast<uint16_t>(body_size));
    std::vector<uint8_t> body(body_size, 0x55);
    conmon_ipc_message_event_t ev{};
    ev.channel = CONMON_CHANNEL_TYPE_STATUS;
    ev.direction = CONMON_CHANNEL_DIRECTION_RX;
    strcpy(ev.sender_name, "Amp-1");
    ev.message = &mh;
    ev.body = body.data();
    ev.body_size = static_cast<uint16_t>(body_size);
    conmon_ipc_head_t head = {CONMON_IPC_VERSION_DEFAULT, 0, 0,
                              CONMON_IPC_OPCODE_EVENT_MONITORED_MESSAGE, CONMON_IPC_STATUS_EVENT};
    std::vector<uint8_t> out(CONMON_IPC_BUFFER_SIZE);
    size_t size = 0;
    conmon_ipc_encode_message_event(&head, &ev, out.data(), out.size(), &size);
    out.resize(size);
    return out;
}

void BM_MonitoredEvents(benchmark::State& state) {
    const size_t body_size = static_cast<size_t>(state.range(0));
    int server = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(server, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(server, reinterpret_cast<sockaddr*>(&addr), &len);

    dapi_t* api = nullptr;
    dapi_new(&api);
    dante_runtime_t* rt = dapi_get_runtime(api);
    conmon_client_config_t* config = conmon_client_config_new("bench");
    conmon_client_config_set_server_port(config, ntohs(addr.sin_port));
    conmon_client_t* client = nullptr;
    conmon_client_new(api, config, &client);
    conmon_client_config_delete(config);

    // Connect: answer the connect request by hand.
    conmon_client_request_id_t id = nullptr;
    conmon_client_connect(client, on_response, &id);
    uint8_t buf[CONMON_IPC_BUFFER_SIZE];
    sockaddr_in peer{};
    socklen_t peer_len = sizeof peer;
    ssize_t n = recvfrom(server, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&peer), &peer_len);
    conmon_ipc_head_t req{};
    conmon_ipc_head_decode(buf, n > 0 ? static_cast<size_t>(n) : 0, &req);
    conmon_ipc_connect_response_t rsp{};
    strcpy(rsp.device_name, "Host-PC");
    conmon_ipc_head_t head = {req.version, 0, req.seqnum, CONMON_IPC_OPCODE_CONNECT,
                              CONMON_IPC_STATUS_RESPONSE};
    size_t size = 0;
    conmon_ipc_encode_connect_response(&head, &rsp, buf, sizeof buf, &size);
    sendto(server, buf, size, 0, reinterpret_cast<sockaddr*>(&peer), peer_len);
    for (int i = 0; i < 200 && !conmon_client_is_connected(client); ++i) {
        dante_runtime_run_once(rt, 5);
    }
    conmon_client_register_monitoring_messages(client, nullptr, nullptr, CONMON_CHANNEL_TYPE_STATUS,
                                               1, on_message);
    recv(server, buf, sizeof buf, 0);  // the register request
    if (!conmon_client_is_connected(client)) {
        state.SkipWithError("client did not connect");
    }

    const std::vector<uint8_t> event = make_event(body_size);
    std::atomic<uint64_t> target{0};
    std::atomic<bool> stop{false};
    g_processed = 0;
    std::thread sender([&] {
        uint64_t sent = 0;
        while (!stop.load(std::memory_order_relaxed)) {
            if (sent < target.load(std::memory_order_acquire) &&
                sent - g_processed.load(std::memory_order_relaxed) < kWindow) {
                sendto(server, event.data(), event.size(), 0, reinterpret_cast<sockaddr*>(&peer),
                       peer_len);
                ++sent;
            } else {
                std::this_thread::yield();
            }
        }
    });

    for (auto _ : state) {
        const uint64_t want = target.load() + kBatch;
        target.store(want, std::memory_order_release);
        auto last_progress = std::chrono::steady_clock::now();
        uint64_t seen = g_processed.load();
        while (g_processed.load(std::memory_order_relaxed) < want) {
            dante_runtime_run_once(rt, 10);
            uint64_t now_seen = g_processed.load(std::memory_order_relaxed);
            if (now_seen != seen) {
                seen = now_seen;
                last_progress = std::chrono::steady_clock::now();
            } else if (std::chrono::steady_clock::now() - last_progress > std::chrono::seconds(1)) {
                state.SkipWithError("events lost");
                break;
            }
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kBatch));
    stop = true;
    sender.join();
    conmon_client_delete(client);
    dapi_delete(api);
    close(server);
}

BENCHMARK(BM_MonitoredEvents)->Arg(64)->Arg(520)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
