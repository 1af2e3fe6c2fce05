#pragma once
// How far a firmware transfer has come, for a text display: blocks sent of the total,
// the rate since the position first moved in this run (so neither the wait before
// the first block nor a resume's jump part-way counts), and the time left at it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tavrin {

class transfer_meter {
  public:
    // A progress report (position blocks of total) at `now_ms`.
    void report(uint32_t position, uint32_t total, uint32_t now_ms);
    // The last block was confirmed (its report came when it was sent): the position
    // reaches the total and the rate stays what the blocks made it.
    void complete();

    bool started() const { return started_; }
    // Where this run began: 0, or the block a resumed transfer went on from.
    uint32_t start() const { return start_; }
    uint32_t position() const { return position_; }
    uint32_t total() const { return total_; }
    // Blocks per second since the position first moved; 0 until it moved again.
    double rate() const;
    // Whole seconds left at that rate; nothing while the rate is unknown.
    std::optional<uint32_t> seconds_left() const;

  private:
    bool started_ = false;
    bool moved_ = false;
    std::optional<double> final_rate_;
    uint32_t start_ = 0;
    uint32_t first_position_ = 0;
    uint32_t first_ms_ = 0;
    uint32_t position_ = 0;
    uint32_t total_ = 0;
    uint32_t last_ms_ = 0;
};

// "[##########..........]  128/256 blocks  4.5 blocks/s  0:28 left" for a terminal
// line; `width` is the bar's inside.
std::string progress_bar_text(const transfer_meter& meter, size_t width = 30);
// "128/256 blocks (50%), 4.5 blocks/s, 0:28 left" for a log.
std::string progress_line_text(const transfer_meter& meter);

}  // namespace tavrin
