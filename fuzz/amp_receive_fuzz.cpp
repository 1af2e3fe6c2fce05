// An amplifier session fed with several bodies in a row, as the network thread hands
// them over, with clock steps between them and an occasional foreign sender; after
// each body the session takes a step and applies what reached its inbox. Input:
// records of
//   op (bit 0 foreign sender, bit 1 repair length and checksum, bits 2-7 clock step
//   in 50 ms units), 16-bit big-endian body size, body.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "link/amp_session.h"
#include "platform/time_source.h"
#include "protocol/frame.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static null_control control;
    fake_time clock(5000);
    amp_session session({clock, control});
    session.start();
    session.choose("PA22");
    clock.advance(session.tick());

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
        session.on_amp_message((op & 0x01) ? "pa22" : "PA22", body.data(), body.size());
        clock.advance(session.tick());

        // The link is always in one of its states, and a refused firmware never lets
        // a command out.
        const link_view& v = session.view();
        if (v.link_open() && v.state() == link_state::idle)
            std::abort();
        if (v.gated() && session.outbox().ring_push(0x08, 0x10, nullptr, 0) == push_status::queued)
            std::abort();
    }
    return 0;
}
