// Tap reverb: tap count limits, first-order echoes, the path around the room,
// refusals, and agreement with a plain sample-by-sample rendering.
#include "effects/discrete_reverb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/saturate.h"
#include "core/slot_layout.h"
#include "effects/room_geometry.h"
#include "reverb_returns.h"

using namespace tarvex;

namespace {

constexpr int32_t kCapacity = kMaxBlockFrames;
using Echoes = std::map<int32_t, int32_t>;
// Tap delays [tap][wall], walls in the order left, right, front, rear,
// ceiling, floor.
using TapTable = std::vector<std::array<int32_t, 6>>;

Echoes nonzero(const std::vector<int32_t>& buf) {
    Echoes found;
    for (std::size_t i = 0; i < buf.size(); ++i)
        if (buf[i] != 0) found[static_cast<int32_t>(i)] = buf[i];
    return found;
}

// The tap path written out plainly from the room's wall distances.
TapTable plainTaps(int taps, float feet) {
    const auto e = surfaceDistances(44100.0, feet, 37.0f, 39.0f, 43.0f);
    const int64_t w[6] = {e[1], e[2], e[0], e[3], e[5], e[4]};
    TapTable d(static_cast<std::size_t>(taps));
    for (int j = 0; j < 6; ++j)
        d[0][j] = static_cast<int32_t>(2 * w[j]);
    for (int k = 1; k < taps; ++k)
        for (int j = 0; j < 6; ++j) {
            const int o = (j + (k - 1) % 5 + 1) % 6;
            const auto between = static_cast<float>(std::sqrt(double(w[j] * w[j] + w[o] * w[o])));
            d[k][j] = static_cast<int32_t>(static_cast<float>(w[j] + d[k - 1][o]) + between);
        }
    return d;
}

// Every sample's echoes added one after another in the described order.
void plainBlock(const TapTable& d, int32_t n, const std::vector<double>& sL,
                const std::vector<double>& sR, Returns& r) {
    auto add = [n](std::vector<int32_t>& cur, std::vector<int32_t>& next, int32_t t, double v) {
        int32_t& c = t < n ? cur[t] : next[t - n];
        c = truncToInt32(c + v);
    };
    for (int32_t i = 0; i < n; ++i)
        for (std::size_t k = 0; k < d.size(); ++k) {
            const double gain = 1.0 / std::pow(2.0, k + 1), left = sL[i] * gain,
                         right = sR[i] * gain;
            add(r.curL, r.nextL, i + d[k][0], left);
            add(r.curR, r.nextR, i + d[k][1], right);
            for (int wall : {5, 4, 2, 3}) { // floor, ceiling, front, rear
                add(r.curL, r.nextL, i + d[k][wall], left);
                add(r.curR, r.nextR, i + d[k][wall], right);
            }
        }
}

TapReverbSettings settingsOf(int32_t taps, float feet = 75.0f, float p1 = 37.0f, float p3 = 43.0f) {
    return {feet, taps, {p1, 39.0f, p3}};
}

class DiscreteReverbTest : public testing::Test {
  protected:
    // A fresh reverb with `taps` taps asked for.
    void start(int32_t taps) {
        m = TapReverb{};
        r = Returns{};
        ASSERT_EQ(m.setUp(settingsOf(taps), 44100.0, kCapacity).message, "");
    }
    void run(int32_t n) { m.process(n, sendL, sendR, r.nextL, r.nextR, r.curL, r.curR); }
    TapReverb m;
    Returns r;
    std::vector<double> sendL = std::vector<double>(kCapacity), sendR = sendL;
};

// One tap: each wall heard once at twice its distance (1844, 1046, 1386,
// 1082, 741, 1159 samples away), at half the send; a count below 1 runs one.
TEST_F(DiscreteReverbTest, OneTapGivesTheSixFirstOrderEchoes) {
    sendL[0] = 1000000.0;
    sendR[10] = -2000000.0;
    for (int32_t asked : {1, 0, -3}) {
        start(asked);
        run(8192);
        EXPECT_EQ(m.tapCount(), 1);
        // Left wall, floor, ceiling, front, rear; then the right wall in place of the left.
        EXPECT_EQ(
            nonzero(r.curL),
            (Echoes{
                {2092, 500000}, {1482, 500000}, {2318, 500000}, {3688, 500000}, {2164, 500000}}));
        EXPECT_EQ(nonzero(r.curR), (Echoes{{2782, -1000000},
                                           {1492, -1000000},
                                           {2328, -1000000},
                                           {3698, -1000000},
                                           {2174, -1000000}}));
    }
}

TEST(TapReverb, SetUpRefusesWhatDoesNotFit) {
    EXPECT_EQ(surfaceDistances(44100.0, 1400.0f, 37.0f, 39.0f, 43.0f)[0], 34421);
    // 500 feet with 11 taps reaches past 131072 samples.
    const auto last = plainTaps(11, 500.0f)[10];
    const int32_t longest = *std::max_element(last.begin(), last.end());
    ASSERT_GE(longest, kCapacity);
    const float ratio = static_cast<float>(kCapacity) / static_cast<float>(longest);
    char tooLong[128];
    std::snprintf(tooLong, sizeof tooLong,
                  ">>> Error:  Please decrease reverb tap number to %i or room length to %.0f "
                  "feet\n",
                  static_cast<int>(11 * ratio - 1), 500.0f * ratio - 1);
    // A position is checked before the size; one past the far wall is refused too.
    const struct {
        TapReverbSettings settings;
        std::string message;
    } cases[] = {
        {settingsOf(1, -1.0f, 50.0f, -2.0f),
         ">>> Error:  Illegal value for reverb position parameter\n"},
        {settingsOf(1, -1.0f, 50.0f, 101.0f),
         ">>> Error:  Illegal value for reverb position parameter\n"},
        {settingsOf(1, -1.0f), ">>> Error:  Illegal value for tap reverb room size\n"},
        {settingsOf(1, 1400.0f), ">>> Error: A tap reverb dimension has exceeded the limit\n"},
        {settingsOf(11, 500.0f), tooLong},
        {settingsOf(11, 75.0f), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TapReverb{}.setUp(c.settings, 44100.0, kCapacity).message, c.message);
}

// Random sends, some beyond the 32-bit range, through blocks of many lengths,
// the first and the last shorter than the longest tap, so that echoes land
// both in the next block's return and far into it. Twenty taps asked for run
// eleven. Tap 1's left-wall echo continues the right wall's tap 0 echo:
// 1046 + 2 x 1386 + sqrt(1046^2 + 1386^2) = 5554.4.
TEST_F(DiscreteReverbTest, MatchesPlainRenderingBitForBit) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> level(-5.0e9, 5.0e9);
    EXPECT_EQ(plainTaps(2, 75.0f)[1][0], 5554);
    for (int32_t taps : {3, 20}) {
        start(taps);
        EXPECT_EQ(m.tapCount(), std::min(taps, 11));
        Returns slow;
        const TapTable d = plainTaps(m.tapCount(), 75.0f);
        for (int32_t n : {5000, kCapacity, 20000, 777}) {
            for (int32_t i = 0; i < n; ++i) {
                sendL[i] = level(rng) * (i % 9 == 0 ? 1.0 : 0.001);
                sendR[i] = level(rng) * (i % 4 == 0 ? 1.0 : 0.001);
            }
            run(n);
            plainBlock(d, n, sendL, sendR, slow);
            ASSERT_TRUE(r.curL == slow.curL && r.curR == slow.curR) << n;
            ASSERT_TRUE(r.nextL == slow.nextL && r.nextR == slow.nextR) << n;
            r.rotate();
            slow.rotate();
        }
    }
}

} // namespace
