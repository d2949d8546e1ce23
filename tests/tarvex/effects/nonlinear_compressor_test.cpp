// Non-linear compressor: the first call's set-up, gains worked by hand from
// square waves, the stereo link, the minimum window, that it never raises the
// level, and history across block boundaries.
#include "effects/nonlinear_compressor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

using namespace tarvex;

namespace {

using Block = std::vector<double>;

Block square(std::size_t n, std::size_t half, double amp) {
    Block x(n);
    for (std::size_t i = 0; i < n; ++i)
        x[i] = (i / half) % 2 == 0 ? amp : -amp;
    return x;
}

struct Nlc {
    int64_t window = 3;
    double ratio = 4.0;
    int32_t threshold = 1000;
    NonlinearCompressor nlc;
    bool ready = false;
    const NonlinearCompressor::Memory& entry() const { return nlc.memory(); }
    // Sets the compressor up with these settings on its first block.
    void run(std::span<double> l, std::span<double> r) {
        if (!ready) nlc.setUp({1, threshold, window, ratio});
        ready = true;
        nlc.process(static_cast<int32_t>(l.size()), l, r);
    }
};

} // namespace

TEST(NonlinearCompressor, StartsAtUnityGain) {
    Nlc c;
    Block l{0.0, 500.0}, r{-0.0, -2e-5};
    c.run(l, r);
    EXPECT_EQ(c.entry().playedGainL, 1.0);
    EXPECT_EQ(c.entry().rawGainR, 1.0);
    EXPECT_EQ(c.entry().squaresL, 1e-8f + 250000.0f);
    // Every sample is rewritten: magnitudes below 0.0001 are raised.
    EXPECT_EQ(l, (Block{0.0001, 500.0}));
    EXPECT_EQ(r, (Block{0.0001, -0.0001}));
}

// Both sides a square wave of 4000 with half-cycles of 4 samples, T = 1000,
// ratio 4, window 3. The first crossing (sample 0) has too short a stretch;
// at sample 4 each side measures RMS 4000 over 5 samples, S = 4000 / 2,
// raw gain 0.5 + 0.5 / 4 = 0.625. The left side updates first and plays the
// average with the right's 1.0 until the right has updated too.
TEST(NonlinearCompressor, WorkedGainsOfASquareWave) {
    Nlc c;
    Block l = square(32, 4, 4000.0), r = square(32, 4, 4000.0);
    c.run(l, r);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(l[i], 4000.0) << i;
    for (std::size_t i = 4; i < 8; ++i) {
        EXPECT_EQ(l[i], -3250.0) << i; // 0.8125 = (0.625 + 1.0) / 2
        EXPECT_EQ(r[i], -2500.0) << i; // 0.625 = (0.625 + 0.625) / 2
    }
    // Sample 8: S = (3 x 4000 + 2 x 4000 + 0) / 6 = 3333.33, raw gain 0.475.
    const double s8 = static_cast<double>(static_cast<float>(20000.0 / 6.0));
    const double g8 = 1000.0 / s8 + (1.0 - 1000.0 / s8) / 4.0;
    EXPECT_NEAR(g8, 0.475, 1e-6);
    EXPECT_EQ(l[8], 4000.0 * (0.5 * g8 + 0.5 * 0.625));
    EXPECT_EQ(r[8], 4000.0 * g8);
    // Sample 12: S = 4000, raw gain 0.4375; the steady state from then on.
    EXPECT_EQ(l[12], -4000.0 * (0.5 * 0.4375 + 0.5 * g8));
    EXPECT_EQ(r[12], -1750.0);
    for (std::size_t i = 16; i < 32; ++i) {
        EXPECT_EQ(std::fabs(l[i]), 1750.0) << i;
        EXPECT_EQ(std::fabs(r[i]), 1750.0) << i;
    }
    EXPECT_EQ(c.entry().rmsL, 4000.0f);
    EXPECT_EQ(c.entry().earlierRmsL[0], 4000.0f);
    EXPECT_EQ(c.entry().earlierRmsL[1], 4000.0f);
}

// A side whose raw gain stays above 1 still plays less than 1 when the
// other side's raw gain pulls the average under it.
TEST(NonlinearCompressor, QuietSideFollowsTheAverageBelowUnity) {
    Nlc c;
    Block l = square(16, 4, 4000.0), r(16, 0.0);
    c.run(l, r);
    EXPECT_EQ(l[4], -3250.0);
    EXPECT_EQ(c.entry().playedGainR, 1.0); // the silent side never crossed
    Nlc d;
    Block l2 = square(16, 4, 4000.0), r2 = square(16, 4, 500.0);
    d.run(std::span(l2).first(8), std::span(r2).first(8));
    // Right: S = 250, raw 4 + (1 - 4) / 4 = 3.25; average with 0.625 above 1.
    EXPECT_EQ(r2[4], -500.0);
    EXPECT_EQ(d.entry().rawGainR, 3.25);
    d.run(std::span(l2).subspan(8), std::span(r2).subspan(8));
    // Left at 8: its new raw gain averaged with the right's 3.25 passes 1.
    EXPECT_EQ(l2[8], 4000.0);
}

TEST(NonlinearCompressor, StretchesShorterThanTheWindowKeepSumming) {
    Nlc c;
    c.window = 9;
    Block l = square(20, 4, 4000.0), r = square(20, 4, 4000.0);
    c.run(l, r);
    // Crossings at 0, 4 and 8 close stretches of 1, 5 and 9 samples: no
    // update, since a stretch must be longer than the window.
    for (std::size_t i = 0; i < 12; ++i)
        EXPECT_EQ(std::fabs(l[i]), 4000.0) << i;
    // At 12 the stretch holds 13 samples; RMS 4000, S = 2000.
    EXPECT_EQ(l[12], -3250.0);
    EXPECT_EQ(r[12], -2500.0);
}

TEST(NonlinearCompressor, NeverRaisesTheLevel) {
    Nlc c;
    c.window = 64;
    c.ratio = 3.0;
    c.threshold = 500000;
    std::mt19937 rng(42);
    Block l(40000), r(40000);
    for (std::size_t i = 0; i < l.size(); ++i) {
        const double level = (i / 5000) % 2 == 0 ? 2.0e5 : 3.0e6;
        l[i] = level * std::sin(0.01 * static_cast<double>(i)) +
               1.0e4 * (static_cast<double>(rng()) / 4294967295.0 - 0.5);
        r[i] = 0.3 * level * std::sin(0.023 * static_cast<double>(i));
        if (i % 1000 < 3) l[i] = r[i] = 0.0;
    }
    const Block inL = l, inR = r;
    Block pl = l, pr = r;
    c.run(l, r);
    int compressed = 0;
    for (std::size_t i = 0; i < l.size(); ++i) {
        ASSERT_LE(std::fabs(l[i]), std::max(std::fabs(inL[i]), 0.0001)) << i;
        ASSERT_LE(std::fabs(r[i]), std::max(std::fabs(inR[i]), 0.0001)) << i;
        if (std::fabs(l[i]) < 0.9 * std::fabs(inL[i])) ++compressed;
    }
    EXPECT_GT(compressed, 1000);
    // The same in uneven pieces, bit for bit.
    Nlc d;
    d.window = 64, d.ratio = 3.0, d.threshold = 500000;
    for (std::size_t at = 0, n = 1; at < pl.size(); at += n, n = n * 2 + 5) {
        n = std::min(n, pl.size() - at);
        d.run(std::span(pl).subspan(at, n), std::span(pr).subspan(at, n));
    }
    EXPECT_EQ(std::memcmp(pl.data(), l.data(), l.size() * sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(pr.data(), r.data(), r.size() * sizeof(double)), 0);
}
