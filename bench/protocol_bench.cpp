// Throughput of the amplifier protocol's hot paths.
#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "app/core/answer_apply.h"
#include "platform/time_source.h"
#include "protocol/amp_params.h"
#include "protocol/amp_receiver.h"
#include "protocol/answer_mailbox.h"
#include "protocol/answer_parser.h"
#include "protocol/catalogue.h"
#include "protocol/frame.h"
#include "protocol/hex_text.h"
#include "protocol/link_state.h"

namespace {

using namespace tavrin;

// One command the way it travels: built, turned into hex text, parsed back into
// bytes, and read by the answer parser.
void BM_FrameHexParseRoundTrip(benchmark::State& state) {
    amp_params params;
    link_flags flags;
    selected_device device;
    device.set_name("PA22");
    answer_parser parser;
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
        benchmark::DoNotOptimize(parser.parse_answer(binary.data(), parsed));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FrameHexParseRoundTrip);

// A 520-byte parameter answer arriving as two segments and taken from the mailbox.
void BM_Reassembly520(benchmark::State& state) {
    selected_device device;
    device.set_name("PA22");
    device.renew_copy();
    answer_mailbox mailbox;
    fake_time clock;
    amp_receiver receiver(device, mailbox, clock);
    const auto frame = frames::parameter_write(param_block{});
    const auto segments = build_segments(frame.data(), frame.size(), 7, 400);
    const auto& a = segments[0];
    const auto& b = segments[1];
    std::vector<uint8_t> out(answer_mailbox::capacity);
    for (auto _ : state) {
        receiver.on_amp_message("PA22", a.data(), a.size());
        receiver.on_amp_message("PA22", b.data(), b.size());
        benchmark::DoNotOptimize(mailbox.take(out.data()));
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(frame.size()));
}
BENCHMARK(BM_Reassembly520);

// Full parameter answers through the parser, alternating so that each one is taken over.
void BM_ParserThroughput(benchmark::State& state) {
    amp_params params;
    link_flags flags;
    selected_device device;
    device.set_name("PA22");
    null_app_events events;
    answer_parser parser;
    param_block one{}, two{};
    one[508] = two[508] = 24;
    two[0] = 1;
    std::array<std::vector<uint8_t>, 2> answers{frames::parameter_write(one),
                                                frames::parameter_write(two)};
    size_t i = 0;
    for (auto _ : state) {
        const auto& f = answers[i++ & 1];
        if (const auto answer = parser.parse_answer(f.data(), f.size()))
            apply_answer(*answer, {params, flags, device, events});
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(answers[0].size()));
}
BENCHMARK(BM_ParserThroughput);

}  // namespace
