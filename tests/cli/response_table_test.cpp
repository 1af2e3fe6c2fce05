#include "cli/response_table.h"

#include <gtest/gtest.h>

#include <sstream>

#include "pages/channel_response.h"

namespace tavrin::cli {
namespace {

// The printed table is the page's curve: the same grid, the same sums.
TEST(ResponseTable, EveryGridFrequencyWithBothChannels) {
    param_block block{};
    block[22] = 1;                       // peq_ch1_enable[0]
    block[27] = 52;                      // +6 dB
    block[32] = 0, block[37] = 141;      // Q 1.41
    block[42] = 0x03, block[47] = 0xE8;  // 1000 Hz
    const std::string csv = response_table(block, true);
    std::istringstream in(csv);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "frequency_hz,ch1_db,ch2_db");
    const channel_response_curve ch1 = channel_response(load_channel_data(block, amp_channel::ch1));
    size_t rows = 0;
    double peak = -100;
    while (std::getline(in, line)) {
        double f = 0, a = 0, b = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%lf,%lf", &f, &a, &b), 3) << line;
        EXPECT_NEAR(f, ch1[rows].freq, 0.01);
        EXPECT_NEAR(a, ch1[rows].db, 0.001);
        EXPECT_EQ(b, 0.0);  // channel 2 is flat
        peak = std::max(peak, a);
        ++rows;
    }
    EXPECT_EQ(rows, sweep_points);
    EXPECT_NEAR(peak, 6.0, 0.05);
    // The plain form has the same rows without the header.
    const std::string plain = response_table(block, false);
    EXPECT_EQ(std::count(plain.begin(), plain.end(), '\n'), static_cast<long>(sweep_points));
}

}  // namespace
}  // namespace tavrin::cli
