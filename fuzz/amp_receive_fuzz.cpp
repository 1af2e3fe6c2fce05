// The receive path fed with several bodies in a row, with clock steps between them
// and an occasional foreign sender. Input: records of
//   op (bit 0 foreign sender, bit 1 repair length and checksum, bits 2-7 clock step
//   in 50 ms units), 16-bit big-endian body size, body.
// Whatever reaches the mailbox is then parsed as an answer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/core/answer_apply.h"
#include "platform/time_source.h"
#include "protocol/amp_params.h"
#include "protocol/amp_receiver.h"
#include "protocol/answer_mailbox.h"
#include "protocol/answer_parser.h"
#include "protocol/frame.h"
#include "protocol/link_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tavrin;
    selected_device device;
    device.set_name("PA22");
    device.renew_copy();
    answer_mailbox mailbox;
    fake_time clock(5000);
    amp_receiver receiver(device, mailbox, clock);
    amp_params params;
    link_flags flags;
    null_app_events events;
    answer_parser parser;
    std::vector<uint8_t> taken(answer_mailbox::capacity);

    size_t pos = 0;
    while (pos + 3 <= size) {
        const uint8_t op = data[pos];
        size_t n = (size_t{data[pos + 1]} << 8) | data[pos + 2];
        pos += 3;
        if (n > size - pos)
            n = size - pos;
        std::vector<uint8_t> body(data + pos, data + pos + n);
        pos += n;

        clock.advance(static_cast<uint32_t>(op >> 2) * 50);
        if ((op & 0x02) && body.size() >= 7) {
            const size_t length = body.size() - 7;
            if (length <= 0xFFFF) {
                body[5] = static_cast<uint8_t>(length >> 8);
                body[6] = static_cast<uint8_t>(length);
                if (body.size() > 7)
                    body.back() = frame_checksum(body.data(), body.size() - 1);
            }
        }
        receiver.on_amp_message((op & 0x01) ? "pa22" : "PA22", body.data(), body.size());

        const segment_state s = receiver.state();
        if (s.transfer_id == 0 && s.received != 0)
            std::abort();
        const size_t got = mailbox.take(taken.data());
        if (got > answer_mailbox::capacity)
            std::abort();
        if (const auto answer = parser.parse_answer(taken.data(), got))
            apply_answer(*answer, {params, flags, device, events});
    }
    return 0;
}
