#include "pages/channel_response.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

// Channel 2's band 3 and filters written as the amplifier stores them.
param_block stored_block() {
    param_block b{};
    b[52 + 2] = 1;                       // peq_ch2_enable[2]
    b[57 + 2] = 52;                      // gain code: +6 dB
    b[62 + 2] = 0x01, b[67 + 2] = 0x2C;  // Q x 100 = 300
    b[72 + 2] = 0x83, b[77 + 2] = 0xE8;  // on/off bit set over 1000 Hz
    b[13] = 1;                           // hpf_ch2_enable
    b[14] = 0x00, b[15] = 0x50;          // 80 Hz
    b[16] = 3;                           // 30 dB/oct
    b[17] = 2;                           // lpf_ch2_enable: any non-zero byte is on
    b[18] = 0x2E, b[19] = 0xE0;          // 12000 Hz
    b[20] = 7;                           // no such slope: the amplifier takes it as 12 dB/oct
    return b;
}

TEST(ChannelData, DecodesTheStoredBandsAndFilters) {
    const channel_data ch = load_channel_data(stored_block(), amp_channel::ch2);
    const band_params& b = ch.bands[2];
    EXPECT_TRUE(b.enabled);
    EXPECT_EQ(b.freq, 1000);  // bit 7 of the high byte is not frequency
    EXPECT_EQ(b.gain, 6);
    EXPECT_EQ(b.q, 3);
    // Zeroed bands read as stored, without replacement: off, -20 dB, Q 0, 0 Hz.
    EXPECT_FALSE(ch.bands[0].enabled);
    EXPECT_EQ(ch.bands[0].gain, -20);
    EXPECT_EQ(ch.bands[0].q, 0);
    EXPECT_EQ(ch.bands[0].freq, 0);
    EXPECT_TRUE(ch.filters.hp_on);
    EXPECT_EQ(ch.filters.hp_freq, 80);
    EXPECT_EQ(ch.filters.hp_slope, 3);
    EXPECT_TRUE(ch.filters.lp_on);
    EXPECT_EQ(ch.filters.lp_freq, 12000);
    EXPECT_EQ(ch.filters.lp_slope, 0);
    EXPECT_EQ(ch.filters.level, 0);

    // Channel 1 of the same block is empty.
    const channel_data ch1 = load_channel_data(stored_block(), amp_channel::ch1);
    for (const band_params& band : ch1.bands)
        EXPECT_FALSE(band.enabled);
    EXPECT_FALSE(ch1.filters.hp_on || ch1.filters.lp_on);
}

TEST(ChannelResponse, EveryGridPointIsBandsPlusFilters) {
    amp_params params;
    params.replace(stored_block());
    const channel_response_curve curve = channel_response(params, amp_channel::ch2);
    const channel_data ch = load_channel_data(params, amp_channel::ch2);
    const auto& sweep = log_sweep();
    for (size_t i = 0; i < sweep_points; ++i) {
        EXPECT_EQ(curve[i].freq, sweep[i]);
        EXPECT_DOUBLE_EQ(curve[i].db,
                         band_sum_db(ch.bands, sweep[i]) + filter_sum_db(ch.filters, sweep[i]))
            << i;
    }
    // The EQ peak and the 30 dB/oct high-pass: +6 dB at 1 kHz, deep cut at 10 Hz.
    EXPECT_NEAR(curve[200].db, 6.0, 0.05);  // 10^3, just above the high-pass
    EXPECT_LT(curve[0].db, -60);
    // A zeroed block is flat.
    const channel_response_curve flat = channel_response(amp_params{}, amp_channel::ch1);
    for (const response_point& p : flat)
        EXPECT_EQ(p.db, 0.0);
}

TEST(ChannelResponse, ShowFlagsSelectTheParts) {
    const channel_data ch = load_channel_data(stored_block(), amp_channel::ch2);
    const double f = 60;
    EXPECT_EQ(channel_total_db(ch, false, false, f), 0.0);
    EXPECT_DOUBLE_EQ(channel_total_db(ch, true, false, f), band_sum_db(ch.bands, f));
    EXPECT_DOUBLE_EQ(channel_total_db(ch, false, true, f), filter_sum_db(ch.filters, f));
}

}  // namespace
}  // namespace tavrin
