#include "pages/response_math.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tavrin {
namespace {

// The whole cascade of one filter with its first-order section where the code has one.
double hp_db(double fc, double f, int code) {
    return hpf2_gain_db(fc, f, code) + (slope_has_first_order(code) ? hpf1_gain_db(fc, f) : 0);
}
double lp_db(double fc, double f, int code) {
    return lpf2_gain_db(fc, f, code) + (slope_has_first_order(code) ? lpf1_gain_db(fc, f) : 0);
}

TEST(PeakingBand, WorkedValues) {
    EXPECT_NEAR(peak_gain_db(1000, 1000, 6, 1), 6.000, 5e-4);
    EXPECT_NEAR(peak_gain_db(1000, 2000, 6, 1), 1.884, 5e-4);
    // A cut is the mirror image of the boost.
    EXPECT_NEAR(peak_gain_db(1000, 2000, -6, 1), -1.884, 5e-4);
    // The centre returns the gain whatever the width.
    for (double q : {0.01, 0.707, 40.0})
        EXPECT_NEAR(peak_gain_db(250, 250, -12.5, q), -12.5, 1e-9) << q;
}

TEST(PeakingBand, FlatAtZeroHertzAndForZeroGain) {
    for (double f : {10.0, 1000.0, 56234.0}) {
        EXPECT_EQ(peak_gain_db(0, f, 20, 1), 0.0);
        EXPECT_EQ(peak_gain_db(0, f, -20, 0), 0.0);  // the raw formula gives 0/0 here
        EXPECT_NEAR(peak_gain_db(1000, f, 0, 3), 0.0, 1e-12);
    }
}

// The band is symmetric about f0 on the log axis, and larger Q means a narrower peak.
TEST(PeakingBand, SymmetricInLogFrequencyAndNarrowsWithQ) {
    for (double ratio : {1.1, 2.0, 5.0, 30.0}) {
        EXPECT_NEAR(peak_gain_db(800, 800 * ratio, 9, 2.5), peak_gain_db(800, 800 / ratio, 9, 2.5),
                    1e-9)
            << ratio;
        EXPECT_GT(peak_gain_db(800, 800 * ratio, 9, 0.5), peak_gain_db(800, 800 * ratio, 9, 4))
            << ratio;
    }
    EXPECT_LT(std::fabs(peak_gain_db(1000, 10, 20, 1)), 0.01);
}

// At the corner each second-order section gives 20 log10(Q) and a first-order one
// -3.0103 dB, so the literal Qs put code 4 (0.54 x 1.85 x 0.707) at -3.0203 dB, a
// hair below -3.02.
TEST(SlopeCodes, MinusThreeDecibelsAtTheCorner) {
    const double expected[slope_code_count] = {-3.0116, -3.0103, -3.0067, -3.0190, -3.0203};
    for (int code = 0; code < slope_code_count; ++code) {
        EXPECT_NEAR(hp_db(1000, 1000, code), expected[code], 5e-5) << code;
        EXPECT_DOUBLE_EQ(hp_db(1000, 1000, code), lp_db(1000, 1000, code)) << code;
    }
}

TEST(SlopeCodes, OneOctaveBeyondTheCorner) {
    const double expected[slope_code_count] = {-12.31, -18.13, -24.11, -30.63, -35.94};
    for (int code = 0; code < slope_code_count; ++code) {
        EXPECT_NEAR(hp_db(1000, 500, code), expected[code], 0.005) << code;
        EXPECT_NEAR(lp_db(1000, 2000, code), expected[code], 0.005) << code;
        // The corner sits anywhere on the axis: only the ratio counts.
        EXPECT_NEAR(hp_db(40, 20, code), expected[code], 0.005) << code;
    }
    EXPECT_TRUE(slope_has_first_order(1));
    EXPECT_TRUE(slope_has_first_order(3));
    EXPECT_FALSE(slope_has_first_order(0) || slope_has_first_order(2) || slope_has_first_order(4) ||
                 slope_has_first_order(5));
}

// Skirts fall monotonically away from the corner, at 6 dB/oct per order far out, and
// the pass band settles at 0 dB.
TEST(SlopeCodes, SkirtsAreMonotoneAtTheirNominalSlope) {
    const double per_order = 20 * std::log10(2.0);
    for (int code = 0; code < slope_code_count; ++code) {
        double prev_hp = 1e9, prev_lp = 1e9;
        for (double f = 1000; f >= 10; f /= 1.05) {
            const double v = hp_db(1000, f, code);
            EXPECT_LT(v, prev_hp) << code << " at " << f;
            prev_hp = v;
        }
        for (double f = 1000; f <= 56000; f *= 1.05) {
            const double v = lp_db(1000, f, code);
            EXPECT_LT(v, prev_lp) << code << " at " << f;
            prev_lp = v;
        }
        const int order = 2 + code;
        EXPECT_NEAR(hp_db(1000, 10, code) - hp_db(1000, 20, code), -order * per_order, 0.01)
            << code;
        EXPECT_NEAR(lp_db(1000, 100000, code) - lp_db(1000, 50000, code), -order * per_order, 0.01)
            << code;
        EXPECT_NEAR(hp_db(1000, 50000, code), 0.0, 0.01) << code;
    }
}

TEST(SlopeCodes, ZeroFrequencyAndUnknownCodesAreFlat) {
    for (int code : {0, 1, 2, 3, 4, 5, 255}) {
        EXPECT_EQ(hp_db(0, 440, code), 0.0) << code;
        EXPECT_EQ(lp_db(0, 440, code), 0.0) << code;
    }
    EXPECT_EQ(hpf2_gain_db(1000, 100, 5), 0.0);
    EXPECT_EQ(lpf2_gain_db(1000, 10000, -1), 0.0);
    EXPECT_EQ(hpf1_gain_db(0, 100), 0.0);
}

TEST(ChannelSums, IndependentBandsAdd) {
    band_set bands{};
    bands[0] = {100, 6, 1, true};
    bands[2] = {3000, -4.5, 2, true};
    bands[4] = {12000, 20, 0.5, false};  // off: no part of the sum
    for (double f : {10.0, 100.0, 550.0, 3000.0, 12000.0}) {
        EXPECT_NEAR(band_sum_db(bands, f),
                    peak_gain_db(100, f, 6, 1) + peak_gain_db(3000, f, -4.5, 2), 1e-12)
            << f;
    }
    // Two +6 dB bands on one frequency peak near +12 dB.
    band_set twin{};
    twin[0] = twin[1] = {1000, 6, 1, true};
    EXPECT_NEAR(band_sum_db(twin, 1000), 12.0, 1e-9);
    EXPECT_EQ(band_sum_db(band_set{}, 1000), 0.0);
}

TEST(ChannelSums, FilterSumHonoursSwitchesSlopesAndLevel) {
    filter_params f;
    f.hp_freq = 80;
    f.hp_slope = 3;
    f.lp_freq = 12000;
    f.lp_slope = 1;
    EXPECT_EQ(filter_sum_db(f, 80), 0.0);  // both off
    f.hp_on = true;
    EXPECT_NEAR(filter_sum_db(f, 40), hp_db(80, 40, 3), 1e-12);
    f.lp_on = true;
    EXPECT_NEAR(filter_sum_db(f, 24000), hp_db(80, 24000, 3) + lp_db(12000, 24000, 1), 1e-12);
    f.level = -2;
    EXPECT_NEAR(filter_sum_db(f, 1000), hp_db(80, 1000, 3) + lp_db(12000, 1000, 1) - 2, 1e-12);
    // A switched-off filter contributes nothing, even with an unusable corner.
    f.lp_on = false;
    f.lp_freq = std::nan("");
    EXPECT_NEAR(filter_sum_db(f, 1000), hp_db(80, 1000, 3) - 2, 1e-12);
}

}  // namespace
}  // namespace tavrin
