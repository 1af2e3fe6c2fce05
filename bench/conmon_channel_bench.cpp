// Channel reception cost: checks, duplicate ring and delivery per datagram, fed as
// bytes (no socket), and the same through a loopback socket.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "dante/conmon/internal/conmon_channel.h"

namespace {

size_t g_delivered;

void deliver(conmon_channels_t*, conmon_channel_type_t, conmon_channel_direction_t,
             const conmon_message_head_t*, const uint8_t*, uint16_t, void*) {
    ++g_delivered;
}

std::vector<uint8_t> message(uint16_t seq, size_t body) {
    std::vector<uint8_t> out(CONMON_MESSAGE_HEAD_SIZE + body, 0x5A);
    conmon_instance_id_t sender{};
    sender.device_id[7] = 2;
    conmon_vendor_id_t vendor;
    conmon_vendor_id_from_string(&vendor, "Varnoll");
    conmon_message_head_init(reinterpret_cast<conmon_message_head_t*>(out.data()), 0xFFFF, seq,
                             &sender, &vendor, static_cast<uint16_t>(body));
    return out;
}

conmon_channels_t* make(uint32_t mask) {
    conmon_channels_config_t config{};
    config.channel_mask = mask;
    conmon_channels_t* set = nullptr;
    conmon_channels_new(nullptr, nullptr, &config, deliver, nullptr, &set);
    conmon_channel_network_t nets[2] = {{40, inet_addr("10.77.0.1"), true, 40, true},
                                        {41, inet_addr("10.77.1.1"), true, 41, true}};
    conmon_channels_set_networks(set, nets, 2);
    return set;
}

// Every datagram arrives twice, once per network: half are delivered, half dropped.
void BM_ProcessDatagramBothNetworks(benchmark::State& state) {
    conmon_channels_t* set = make(1u << CONMON_CHANNEL_TYPE_SERIAL);
    conmon_channel_t* ch = conmon_channels_get_channel(set, CONMON_CHANNEL_TYPE_SERIAL);
    std::vector<uint8_t> d = message(0, static_cast<size_t>(state.range(0)));
    conmon_channel_rx_info_t info{};
    info.has_from = info.has_to = info.has_index = true;
    info.from = {inet_addr("10.77.0.9"), 8705};
    info.to_address = inet_addr("224.0.0.232");
    uint16_t seq = 0;
    for (auto _ : state) {
        d[4] = static_cast<uint8_t>(seq >> 8);
        d[5] = static_cast<uint8_t>(seq);
        ++seq;
        for (uint32_t net : {40u, 41u}) {
            info.if_index = net;
            conmon_channel_rx_result_t r;
            conmon_channel_process_datagram(ch, d.data(), d.size(), &info, &r);
            benchmark::DoNotOptimize(r);
        }
    }
    state.SetItemsProcessed(state.iterations() * 2);
    conmon_channels_delete(set);
}
BENCHMARK(BM_ProcessDatagramBothNetworks)->Arg(64)->Arg(1448);

// METERING over a loopback socket: sendto, then one process_socket batch of 32.
void BM_MeteringLoopbackBatch(benchmark::State& state) {
    conmon_channels_t* set = make(1u << CONMON_CHANNEL_TYPE_METERING);
    conmon_channel_t* ch = conmon_channels_get_channel(set, CONMON_CHANNEL_TYPE_METERING);
    int tx = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = inet_addr("127.0.0.1");
    to.sin_port = htons(conmon_channel_get_unicast_port(ch));
    std::vector<uint8_t> d = message(0, 64);
    uint16_t seq = 0;
    for (auto _ : state) {
        for (int i = 0; i < 32; ++i, ++seq) {
            d[4] = static_cast<uint8_t>(seq >> 8);
            d[5] = static_cast<uint8_t>(seq);
            sendto(tx, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        }
        conmon_channel_process_socket(ch);
    }
    state.SetItemsProcessed(state.iterations() * 32);
    close(tx);
    conmon_channels_delete(set);
}
BENCHMARK(BM_MeteringLoopbackBatch);

}  // namespace
