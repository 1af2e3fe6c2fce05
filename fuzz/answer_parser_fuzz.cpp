// The answer parser fed in chunks, so that frames cross buffer boundaries. Input:
// records of one chunk-size byte followed by that many bytes (cut at the end).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/core/answer_apply.h"
#include "protocol/amp_params.h"
#include "protocol/answer_parser.h"
#include "protocol/link_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tavrin;
    amp_params params;
    link_flags flags;
    selected_device device;
    device.set_name("PA22");
    null_app_events events;
    answer_parser parser;

    size_t pos = 0;
    while (pos < size) {
        // A chunk-size byte of 0 stands for a long chunk, so one call can hold a
        // whole 520-byte answer.
        size_t n = data[pos++];
        if (n == 0)
            n = 600;
        if (n > size - pos)
            n = size - pos;
        if (const auto answer = parser.parse_answer(data + pos, n))
            apply_answer(*answer, {params, flags, device, events});
        pos += n;
        // Dispatch always returns the parser to its start state.
        if (parser.state() < 0 || parser.state() > 8)
            std::abort();
    }
    return 0;
}
