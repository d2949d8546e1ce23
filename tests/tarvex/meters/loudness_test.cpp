// The loudness meter against the reference signals of EBU R128: a 1 kHz sine
// at -23 dBFS on both sides reads -23 LUFS, and a sine whose samples miss its
// crests reads a true peak above its sample peak.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "meters/loudness.h"

using namespace tarvex;

namespace {

constexpr uint32_t kRate = 48000;
constexpr int32_t kBlock = 131072;

// Feeds `seconds` of a sine (24-bit steps) to both sides, block by block.
void feedSine(LoudnessMeter& m, double amplitude, double hz, double phase, double seconds) {
    std::vector<int32_t> l(kBlock), r(kBlock);
    const auto total = static_cast<int64_t>(seconds * kRate);
    for (int64_t at = 0; at < total;) {
        const auto n = static_cast<int32_t>(std::min<int64_t>(kBlock, total - at));
        for (int32_t i = 0; i < n; ++i) {
            const double t = static_cast<double>(at + i) / kRate;
            l[i] = r[i] = static_cast<int32_t>(std::lround(
                amplitude * 8388608.0 * std::sin(2.0 * std::numbers::pi * hz * t + phase)));
        }
        m.addBlock(l, r, n);
        at += n;
    }
}

} // namespace

TEST(Loudness, SineAtMinus23dBFSReadsMinus23LUFSEverywhere) {
    LoudnessMeter m;
    std::string error;
    ASSERT_TRUE(m.open(kRate, 2, 24, kBlock, error)) << error;
    feedSine(m, std::pow(10.0, -23.0 / 20.0), 1000.0, 0.0, 20.0);
    const LoudnessResult r = m.result();
    EXPECT_NEAR(r.integrated, -23.0, 0.1);
    // A steady tone: every momentary and short-term window reads the same.
    EXPECT_NEAR(r.momentaryMax, -23.0, 0.1);
    EXPECT_NEAR(r.shortTermMax, -23.0, 0.1);
    EXPECT_NEAR(r.range, 0.0, 0.1);
    EXPECT_NEAR(r.samplePeakL, -23.0, 0.05);
    EXPECT_NEAR(r.truePeakR, -23.0, 0.2);
}

TEST(Loudness, QuarterRateSineAt45DegreesHasItsTruePeakThreeDecibelsUp) {
    LoudnessMeter m;
    std::string error;
    ASSERT_TRUE(m.open(kRate, 2, 24, kBlock, error)) << error;
    // Samples land at ±sin(45°) of the crest: 3.01 dB below it.
    feedSine(m, 0.5, kRate / 4.0, std::numbers::pi / 4.0, 2.0);
    const LoudnessResult r = m.result();
    EXPECT_NEAR(r.samplePeakL, 20.0 * std::log10(0.5) - 3.01, 0.05);
    EXPECT_NEAR(r.truePeakL - r.samplePeakL, 3.01, 0.3);
    EXPECT_NEAR(r.truePeakR - r.samplePeakR, 3.01, 0.3);
}

TEST(Loudness, SilenceAndShortRendersHaveNoValues) {
    LoudnessMeter m;
    std::string error;
    ASSERT_TRUE(m.open(44100, 1, 16, kBlock, error)) << error;
    std::vector<int32_t> zeros(1000, 0);
    m.addBlock(zeros, zeros, 1000); // under 400 ms: no momentary window yet
    const LoudnessResult r = m.result();
    EXPECT_TRUE(std::isinf(r.integrated) && r.integrated < 0);
    EXPECT_TRUE(std::isinf(r.momentaryMax) && r.momentaryMax < 0);
    EXPECT_TRUE(std::isinf(r.shortTermMax) && r.shortTermMax < 0);
    EXPECT_EQ(r.truePeakL, r.truePeakR); // mono: one side serves both
    EXPECT_FALSE(m.open(5, 2, 24, kBlock, error));
    EXPECT_FALSE(error.empty());
}
