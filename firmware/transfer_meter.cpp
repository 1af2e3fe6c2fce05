#include "firmware/transfer_meter.h"

#include <algorithm>
#include <cstdio>

namespace tavrin {
namespace {

std::string rate_and_left(const transfer_meter& m, const char* between) {
    char buf[64];
    std::string out;
    if (m.rate() > 0) {
        std::snprintf(buf, sizeof buf, "%s%.1f blocks/s", between, m.rate());
        out += buf;
    }
    if (const auto left = m.seconds_left()) {
        std::snprintf(buf, sizeof buf, "%s%u:%02u left", between, *left / 60, *left % 60);
        out += buf;
    }
    return out;
}

}  // namespace

void transfer_meter::report(uint32_t position, uint32_t total, uint32_t now_ms) {
    final_rate_.reset();
    // A report that goes back (a new run) starts the rate anew.
    if (!started_ || position < position_) {
        started_ = true;
        moved_ = false;
        start_ = position;
    } else if (!moved_ && position != position_) {
        moved_ = true;
        first_position_ = position;
        first_ms_ = now_ms;
    }
    position_ = position;
    total_ = total;
    last_ms_ = now_ms;
}

void transfer_meter::complete() {
    if (!started_)
        return;
    final_rate_ = rate();
    position_ = total_;
}

double transfer_meter::rate() const {
    if (final_rate_)
        return *final_rate_;
    const uint32_t elapsed = last_ms_ - first_ms_;
    if (!moved_ || position_ <= first_position_ || elapsed == 0)
        return 0;
    return (position_ - first_position_) * 1000.0 / elapsed;
}

std::optional<uint32_t> transfer_meter::seconds_left() const {
    const double r = rate();
    if (r <= 0 || position_ > total_)
        return std::nullopt;
    return static_cast<uint32_t>((total_ - position_) / r + 0.5);
}

std::string progress_bar_text(const transfer_meter& m, size_t width) {
    const size_t filled = m.total() == 0 ? 0 : size_t{m.position()} * width / m.total();
    std::string bar = "[" + std::string(std::min(filled, width), '#') +
                      std::string(width - std::min(filled, width), '.') + "]";
    char counts[48];
    std::snprintf(counts, sizeof counts, "  %u/%u blocks", m.position(), m.total());
    return bar + counts + rate_and_left(m, "  ");
}

std::string progress_line_text(const transfer_meter& m) {
    char buf[64];
    const unsigned percent =
        m.total() == 0 ? 0 : unsigned(uint64_t{m.position()} * 100 / m.total());
    std::snprintf(buf, sizeof buf, "%u/%u blocks (%u%%)", m.position(), m.total(), percent);
    return buf + rate_and_left(m, ", ");
}

}  // namespace tavrin
