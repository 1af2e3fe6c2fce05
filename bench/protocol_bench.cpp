// Throughput of the amplifier protocol's hot paths.
#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "link/amp_session.h"
#include "link/session_receiver.h"
#include "platform/time_source.h"
#include "protocol/amp_params.h"
#include "protocol/catalogue.h"
#include "protocol/frame.h"
#include "protocol/hex_text.h"
#include "protocol/selected_device.h"

namespace {

using namespace tavrin;

class null_control : public control_sender {
  public:
    int send_control(const std::string&, uint16_t, const vendor_id_bytes&, const uint8_t*,
                     size_t) override {
        return 0;
    }
    std::string error_text(int) override { return {}; }
};

// One command the way it travels: built, turned into hex text, parsed back into
// bytes, and decoded as a frame.
void BM_FrameHexParseRoundTrip(benchmark::State& state) {
    const amp_command command = cmd::location("Hall B");
    std::array<uint8_t, 64> frame{};
    std::string text;
    hex_binary_buffer binary;
    for (auto _ : state) {
        const size_t size = build_frame(command.code, command.unit, command.data.data(),
                                        command.data.size(), frame.data(), frame.size());
        text.clear();
        append_hex_text(text, frame.data(), size);
        size_t parsed = 0;
        parse_hex_text(text, binary, parsed);
        frame_view view;
        benchmark::DoNotOptimize(decode_frame(binary.data(), parsed, view));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FrameHexParseRoundTrip);

// A 520-byte parameter answer arriving as two segments and taken from the inbox.
void BM_Reassembly520(benchmark::State& state) {
    selected_device device;
    device.set_name("PA22");
    device.renew_copy();
    frame_inbox inbox;
    fake_time clock;
    session_receiver receiver(device, inbox, clock);
    const auto frame = frames::parameter_write(param_block{});
    const auto segments = build_segments(frame.data(), frame.size(), 7, 400);
    const auto& a = segments[0];
    const auto& b = segments[1];
    inbox_frame out;
    for (auto _ : state) {
        receiver.on_amp_message("PA22", a.data(), a.size());
        receiver.on_amp_message("PA22", b.data(), b.size());
        benchmark::DoNotOptimize(inbox.pop(out));
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(frame.size()));
}
BENCHMARK(BM_Reassembly520);

// Full parameter answers through a session, received and taken over, alternating so
// that each one changes the mirror.
void BM_AnswerThroughput(benchmark::State& state) {
    null_control control;
    fake_time clock;
    amp_session session({clock, control});
    session.start();
    session.choose("PA22");
    session.tick();
    param_block one{}, two{};
    one[508] = two[508] = 24;
    two[0] = 1;
    std::array<std::vector<uint8_t>, 2> answers{
        build_frame(0xE3, 0x11, std::vector<uint8_t>(one.begin(), one.end())),
        build_frame(0xE3, 0x11, std::vector<uint8_t>(two.begin(), two.end()))};
    size_t i = 0;
    for (auto _ : state) {
        const auto& f = answers[i++ & 1];
        session.on_amp_message("PA22", f.data(), f.size());
        clock.advance(session.tick());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(answers[0].size()));
}
BENCHMARK(BM_AnswerThroughput);

}  // namespace
