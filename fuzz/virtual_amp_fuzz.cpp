// Feeds arbitrary bodies to the virtual amplifier. The input is a series of
// chunks: [flags][size][size bytes], where size
// 0xFF means 514 and 0xFE 262. Flag bit 0 wraps the bytes (code, unit,
// data...) into a frame with a right length and sum so that the fuzzer gets past
// the checks; bit 1 then sends that frame as segments; bits 2-7 advance the clock
// by 100 ms steps. Every answer must be a well-formed frame or segment.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "protocol/frame.h"
#include "sim/amp_segments.h"
#include "sim/virtual_amp.h"

using namespace tavrin;
using namespace tavrin::sim;

namespace {

void check_replies(const std::vector<byte_vector>& replies) {
    for (const auto& r : replies) {
        if (r.size() < 8 || r[0] != 0x55)
            abort();
        if (static_cast<size_t>(r[5] << 8 | r[6]) + 7 != r.size())
            abort();
        if (frame_checksum(r.data(), r.size() - 1) != r.back())
            abort();
    }
}

void deliver(virtual_amp& amp, const uint8_t* body, size_t size) {
    check_replies(amp.on_control_body(body, size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fake_time clock(0);
    virtual_amp amp(clock);
    size_t pos = 0;
    while (pos + 2 <= size) {
        const uint8_t flags = data[pos];
        // 0xFF and 0xFE stand for a preset write and a firmware block.
        const size_t n = data[pos + 1] == 0xFF ? 514 : data[pos + 1] == 0xFE ? 262 : data[pos + 1];
        pos += 2;
        const size_t take = n < size - pos ? n : size - pos;
        const uint8_t* chunk = data + pos;
        pos += take;
        clock.advance(100u * (flags >> 2));
        if ((flags & 1) && take >= 2) {
            byte_vector frame(take - 2 + frame_overhead);
            build_frame(chunk[0], chunk[1], chunk + 2, take - 2, frame.data(), frame.size());
            if (flags & 2) {
                for (const auto& s : make_segments(frame.data(), frame.size(), chunk[0] | 1)) {
                    deliver(amp, s.data(), s.size());
                }
            } else {
                deliver(amp, frame.data(), frame.size());
            }
        } else {
            // A copy of exactly the chunk, so that any over-read is caught.
            std::vector<uint8_t> body(chunk, chunk + take);
            deliver(amp, body.data(), body.size());
        }
    }
    return 0;
}
