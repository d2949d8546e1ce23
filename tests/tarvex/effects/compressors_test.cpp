// Linear peak and RMS compressors and the limiter: untouched signal below the
// threshold, every state change of the four-state machine on hand-built
// half-cycles, the gain laws against reference arithmetic, history across
// block boundaries, and the limiter's knee.
#include "effects/compressors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include "effects/limiter.h"

using namespace tarvex;

namespace {

using Block = std::vector<double>;
constexpr double kHalfPi = std::numbers::pi / 2.0;

// Square wave: `half` samples at +amp, `half` at -amp, ..., starting negative
// when `negativeFirst`.
Block square(std::size_t n, std::size_t half, double amp, bool negativeFirst = false) {
    Block x(n);
    for (std::size_t i = 0; i < n; ++i) {
        const bool negative = ((i / half) % 2 == 0) == negativeFirst;
        x[i] = negative ? -amp : amp;
    }
    return x;
}

Block concat(Block a, const Block& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

bool sameBits(const Block& a, const Block& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

enum class Kind { Peak, Rms };

// A linear compressor under test, set up with these settings on its first
// block; idle until then.
struct Compressor {
    explicit Compressor(Kind k = Kind::Peak) : kind(k) {}
    Kind kind;
    int32_t attack = 1, release = 1000, threshold = 1000;
    double ratio = 4.0;
    PeakCompressor peak;
    RmsCompressor rmsComp;
    bool ready = false;
    int32_t state() const {
        if (!ready) return kCompIdle;
        return kind == Kind::Peak ? peak.state() : rmsComp.state();
    }
    int32_t releaseCount() const {
        return kind == Kind::Peak ? peak.memory().releaseStep : rmsComp.memory().releaseStep;
    }
    const RmsCompressor::Memory& rms() const { return rmsComp.memory(); }
    void run(std::span<double> l, std::span<double> r) {
        if (!ready) {
            const CompressorSettings settings{1, threshold, attack, release, ratio};
            peak.setUp(settings);
            rmsComp.setUp(settings);
            ready = true;
        }
        const auto n = static_cast<int32_t>(l.size());
        if (kind == Kind::Peak)
            peak.process(n, l, r);
        else
            rmsComp.process(n, l, r);
    }
    // Runs sample by sample; returns the state after each sample.
    std::vector<int32_t> stepThrough(Block& l, Block& r) {
        std::vector<int32_t> states;
        for (std::size_t i = 0; i < l.size(); ++i) {
            run(std::span(l).subspan(i, 1), std::span(r).subspan(i, 1));
            states.push_back(state());
        }
        return states;
    }
};

double attacked(double x, double r, int k, int attack) {
    const double a = std::fabs(x);
    return std::copysign(a - (a - a / r) * std::sin(k * kHalfPi / attack), x);
}

double released(double x, double r, int k, int release) {
    const double a = std::fabs(x);
    return std::copysign(a / r + (a - a / r) * std::sin(k * kHalfPi / release), x);
}

// Loud and quiet stretches with zeros and values below 0.0001, both sides.
Block programme(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Block x(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double level = (i / 3000) % 3 == 1 ? 3.0e6 : 2.0e5;
        const double noise = static_cast<double>(rng()) / 4294967295.0 - 0.5;
        x[i] = level * std::sin(0.013 * static_cast<double>(i)) + 1.0e4 * noise;
        if (i % 997 < 5) x[i] = (i % 2 == 0) ? 0.0 : -4e-5;
    }
    return x;
}

// Half-cycles of 2 samples after a trigger at sample 0: quiet ones
// (crossings 3, 5), then, when `interrupted`, two at 700, between half the
// threshold and the threshold, which count as loud while compressing and
// start the count again (crossings 7, 9, 11 each close a half-cycle holding a
// 700 sample), then quiet ones: the fourth quiet crossing after them, at 19,
// starts the release. Without the interruption the count would pass 3 at 9.
Block interruptedQuiet(bool interrupted) {
    Block x{5000.0};
    const double middle = interrupted ? 700.0 : 100.0;
    const double levels[] = {100, 100, 100, middle, middle, 100, 100, 100, 100, 100, 100, 100};
    double sign = -1.0;
    for (const double level : levels) {
        x.push_back(sign * level);
        x.push_back(sign * level);
        sign = -sign;
    }
    return x;
}

Limiter limiter(int32_t threshold) {
    Limiter l;
    l.setUp({1, threshold});
    return l;
}

} // namespace

TEST(LinearCompressors, SignalUnderTheThresholdPassesBitForBit) {
    for (const Kind kind : {Kind::Peak, Kind::Rms}) {
        SCOPED_TRACE(kind == Kind::Peak ? "peak" : "rms");
        Compressor c(kind);
        c.threshold = 2000;
        Block l = concat(square(300, 7, 1999.0), Block{0.0, -0.0, 3e-5, -3e-5, 2000.0, -2000.0});
        Block r = concat(square(300, 11, 1500.0, true), Block{-0.0, 0.0, 2000.0, 1e-9, 0.0, 0.0});
        const Block inL = l, inR = r;
        c.run(l, r);
        EXPECT_TRUE(sameBits(l, inL));
        EXPECT_TRUE(sameBits(r, inR));
        EXPECT_EQ(c.state(), kCompIdle);
    }
}

TEST(PeakCompressor, OneSampleAttackGivesFullGainAtOnce) {
    Compressor c;
    Block l{500.0, 900.0, -5000.0, -300.0}, r{100.0, 100.0, 100.0, 100.0};
    const auto states = c.stepThrough(l, r);
    EXPECT_EQ(states,
              (std::vector<int32_t>{kCompIdle, kCompIdle, kCompCompressing, kCompCompressing}));
    EXPECT_EQ(l[1], 900.0);
    EXPECT_DOUBLE_EQ(l[2], -1250.0);
    EXPECT_DOUBLE_EQ(r[2], 25.0);
    EXPECT_EQ(l[3], -75.0);
}

TEST(PeakCompressor, AttackFollowsTheQuarterSineForItsLength) {
    Compressor c;
    c.attack = 5;
    c.ratio = 3.0;
    Block l = {100.0, 4000.0, -3000.0, 2500.0, 2000.0, -1500.0, 1200.0, 800.0};
    Block r = {-100.0, 100.0, 200.0, -300.0, 400.0, 500.0, -600.0, 700.0};
    const Block inL = l, inR = r;
    const auto states = c.stepThrough(l, r);
    EXPECT_EQ(states, (std::vector<int32_t>{1, 2, 2, 2, 2, 3, 3, 3}));
    for (int k = 1; k <= 5; ++k) {
        EXPECT_EQ(l[k], attacked(inL[k], 3.0, k, 5)) << k;
        EXPECT_EQ(r[k], attacked(inR[k], 3.0, k, 5)) << k;
    }
    EXPECT_NEAR(l[5], -500.0, 1e-9); // the attack's last sample has the full gain
    EXPECT_EQ(l[6], 400.0);
    EXPECT_EQ(r[7], 700.0 / 3.0);
}

// In state 3, quiet half-cycles (under half the threshold) count on each side
// at its crossings; release starts after the crossing that makes both counts
// pass 3. For the peak compressor the first crossing closes the half-cycle
// that held the trigger, so release comes on the fifth crossing of the slower
// side; for RMS a loud first sample closes its own half-cycle, so the quiet
// crossings count from the first one and release comes on the fourth.
TEST(LinearCompressors, ReleaseStartsOnTheLastQuietCrossingOfTheSlowerSideAndReturnsToIdle) {
    const struct {
        Kind kind;
        bool leftSlower;
        int32_t release;
        std::size_t start;
    } rows[] = {
        // clang-format off
        {Kind::Peak, false, 10, 13},
        {Kind::Peak, true,  10, 13},
        {Kind::Rms,  false, 6,  10},
        {Kind::Rms,  true,  6,  10},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << (row.kind == Kind::Peak ? "peak " : "rms ") << row.leftSlower);
        Compressor c(row.kind);
        c.release = row.release;
        // Sample 0 triggers; then half-cycles of 2 samples (crossings at 1, 3,
        // 5, 7, 9) and of 3 samples (crossings at 1, 4, 7, 10, 13).
        Block fast = concat({5000.0}, square(40, 2, 100.0, true));
        Block slow = concat({5000.0}, square(40, 3, 100.0, true));
        Block& l = row.leftSlower ? slow : fast;
        Block& r = row.leftSlower ? fast : slow;
        const auto states = c.stepThrough(l, r);
        EXPECT_EQ(fast[0], 1250.0);
        EXPECT_EQ(slow[0], 1250.0);
        for (std::size_t i = 0; i < row.start; ++i)
            EXPECT_EQ(states[i], kCompCompressing) << i;
        EXPECT_EQ(std::fabs(slow[row.start]), 25.0);
        // Quiet on both sides: one release step per sample, k = 1..release, then idle.
        for (int32_t k = 1; k <= row.release; ++k) {
            const std::size_t i = row.start + static_cast<std::size_t>(k);
            EXPECT_EQ(states[i - 1], kCompRelease) << i - 1;
            EXPECT_EQ(fast[i], released(fast[i] < 0 ? -100.0 : 100.0, 4.0, k, row.release)) << i;
            EXPECT_EQ(slow[i], released(slow[i] < 0 ? -100.0 : 100.0, 4.0, k, row.release)) << i;
        }
        EXPECT_EQ(states[row.start + static_cast<std::size_t>(row.release)], kCompIdle);
        for (std::size_t i = row.start + static_cast<std::size_t>(row.release) + 1; i < l.size();
             ++i) {
            EXPECT_EQ(std::fabs(l[i]), 100.0) << i;
            EXPECT_EQ(std::fabs(r[i]), 100.0) << i;
        }
    }
}

// A loud half-cycle during release: from its first sample (a crossing, which
// closes the half-cycle it belongs to) the release count falls one step per
// sample and stays at 0 (full compression) while the level is high, without
// a new attack; the crossing after a quiet half-cycle lets it climb again.
TEST(PeakCompressor, BurstDuringReleaseCountsDownToZeroWithoutANewAttack) {
    Compressor c;
    c.release = 1000;
    Block l = concat({5000.0}, square(30, 2, 100.0, true)); // release from sample 14
    Block r = concat({5000.0}, square(30, 3, 100.0, true));
    c.stepThrough(l, r);
    ASSERT_EQ(c.state(), kCompRelease);
    const int32_t k0 = c.releaseCount();
    ASSERT_EQ(k0, 18); // one step up per quiet sample 14..30
    ASSERT_LT(l.back(), 0.0);
    Block bl = concat(Block(4, 9000.0), Block(30, -100.0));
    bl = concat(bl, Block(3, 100.0));
    Block br = square(bl.size(), 3, 100.0);
    std::vector<int32_t> counts;
    for (std::size_t i = 0; i < bl.size(); ++i) {
        c.run(std::span(bl).subspan(i, 1), std::span(br).subspan(i, 1));
        ASSERT_EQ(c.state(), kCompRelease) << i;
        counts.push_back(c.releaseCount());
    }
    for (std::size_t i = 0; i < 34; ++i)
        EXPECT_EQ(counts[i], std::max(0, k0 - 1 - static_cast<int32_t>(i))) << i;
    EXPECT_EQ(counts[34], 1);
    EXPECT_EQ(counts[35], 2);
    EXPECT_EQ(bl[0], released(9000.0, 4.0, k0, 1000));
    EXPECT_EQ(bl[2], released(9000.0, 4.0, k0 - 2, 1000));
    EXPECT_EQ(bl[33], -25.0); // release law at k = 0: a / r
    EXPECT_EQ(bl[35], released(100.0, 4.0, 1, 1000));
}

// In RMS the half-cycles closed at 7 and 11 hold one sample of 100 and one
// of 700: RMS exactly 500, which is not under half the threshold.
TEST(LinearCompressors, HalfCyclesOverHalfTheThresholdHoldCompressionAndRestartTheCount) {
    for (const Kind kind : {Kind::Peak, Kind::Rms}) {
        for (const bool leftInterrupted : {true, false}) {
            SCOPED_TRACE(testing::Message()
                         << (kind == Kind::Peak ? "peak " : "rms ") << leftInterrupted);
            Compressor c(kind);
            Block l = interruptedQuiet(leftInterrupted), r = interruptedQuiet(!leftInterrupted);
            std::vector<int32_t> states;
            for (std::size_t i = 0; i < l.size(); ++i) {
                c.run(std::span(l).subspan(i, 1), std::span(r).subspan(i, 1));
                states.push_back(c.state());
                if (kind == Kind::Rms && i == 7) {
                    EXPECT_EQ(leftInterrupted ? c.rms().rmsL : c.rms().rmsR, 500.0f);
                }
            }
            for (std::size_t i = 0; i <= 18; ++i)
                EXPECT_EQ(states[i], kCompCompressing) << i;
            EXPECT_EQ(states[19], kCompRelease);
        }
    }
}

TEST(LinearCompressors, RatioOneChangesOnlySamplesBelowTheFloor) {
    const auto lifted = [](double x) {
        return std::fabs(x) < 0.0001 ? (x >= 0.0 ? 0.0001 : -0.0001) : x;
    };
    for (const Kind kind : {Kind::Peak, Kind::Rms}) {
        SCOPED_TRACE(kind == Kind::Peak ? "peak" : "rms");
        Compressor c(kind);
        c.ratio = 1.0;
        c.attack = 3;
        c.release = 10;
        Block l = programme(20000, 1), r = programme(20000, 2);
        const Block inL = l, inR = r;
        c.run(l, r);
        int raised = 0;
        for (std::size_t i = 0; i < l.size(); ++i) {
            ASSERT_TRUE(l[i] == inL[i] || l[i] == lifted(inL[i])) << i;
            ASSERT_TRUE(r[i] == inR[i] || r[i] == lifted(inR[i])) << i;
            raised += l[i] != inL[i];
        }
        EXPECT_GT(raised, 0); // it did compress
    }
}

TEST(LinearCompressors, BlocksInPiecesMatchOneBlock) {
    for (const Kind kind : {Kind::Peak, Kind::Rms}) {
        SCOPED_TRACE(kind == Kind::Peak ? "peak" : "rms");
        Compressor whole(kind), pieces(kind);
        for (Compressor* c : {&whole, &pieces})
            c->attack = 40, c->release = 900, c->threshold = 1000000;
        Block l = programme(30000, 3), r = programme(30000, 4);
        Block pl = l, pr = r;
        whole.run(l, r);
        for (std::size_t at = 0, n = 1; at < pl.size(); at += n, n = n * 3 + 1) {
            n = std::min(n, pl.size() - at);
            pieces.run(std::span(pl).subspan(at, n), std::span(pr).subspan(at, n));
        }
        EXPECT_TRUE(sameBits(l, pl));
        EXPECT_TRUE(sameBits(r, pr));
        EXPECT_EQ(whole.state(), pieces.state());
    }
}

// The RMS of a half-cycle is taken at the crossing that ends it, over the
// samples after the previous crossing up to and including this one, in
// single precision; the first sample ever counts as a crossing.
TEST(RmsCompressor, TriggersOnTheCrossingThatEndsALoudHalfCycle) {
    Compressor c(Kind::Rms);
    c.attack = 2;
    Block l = concat(concat(Block(4, 100.0), Block(4, -1500.0)), Block(4, 100.0));
    Block r(12, 50.0);
    std::vector<int32_t> states;
    for (std::size_t i = 0; i < l.size(); ++i) {
        c.run(std::span(l).subspan(i, 1), std::span(r).subspan(i, 1));
        states.push_back(c.state());
        if (i == 0) {
            EXPECT_EQ(c.rms().rmsL, 100.0f);
        } else if (i == 4) {
            // Samples 1..4: three quiet and the first loud one, under the threshold.
            EXPECT_EQ(c.rms().rmsL, std::sqrt((30000.0f + 2250000.0f) / 4.0f));
        } else if (i == 8) {
            // Samples 5..8: three loud and the first quiet one.
            EXPECT_EQ(c.rms().rmsL, 1300.0f);
        }
    }
    EXPECT_EQ(c.rms().rmsR, 50.0f);
    EXPECT_EQ(states, (std::vector<int32_t>{1, 1, 1, 1, 1, 1, 1, 1, 2, 3, 3, 3}));
    EXPECT_EQ(l[7], -1500.0);
    EXPECT_EQ(l[8], attacked(100.0, 4.0, 1, 2));
    EXPECT_EQ(l[9], attacked(100.0, 4.0, 2, 2));
    EXPECT_EQ(l[10], 25.0);
    EXPECT_EQ(r[10], 12.5);
}

TEST(RmsCompressor, LoudHalfCycleDuringReleaseCountsDown) {
    Compressor c(Kind::Rms);
    c.release = 1000;
    Block l = concat({5000.0}, square(20, 2, 100.0, true));
    Block r = concat({5000.0}, square(20, 3, 100.0, true));
    c.stepThrough(l, r);
    ASSERT_EQ(c.state(), kCompRelease);
    const int32_t k0 = c.releaseCount();
    // Loud left half-cycle; its RMS is known from the crossing at sample 3.
    Block bl = concat(Block(3, 8000.0), Block(20, -100.0));
    Block br(bl.size(), r.back());
    std::vector<int32_t> counts;
    for (std::size_t i = 0; i < bl.size(); ++i) {
        c.run(std::span(bl).subspan(i, 1), std::span(br).subspan(i, 1));
        ASSERT_EQ(c.state(), kCompRelease) << i;
        counts.push_back(c.releaseCount());
    }
    EXPECT_EQ(counts[2], k0 + 3);
    for (std::size_t i = 3; i < counts.size(); ++i)
        EXPECT_EQ(counts[i], std::max(0, k0 + 2 - static_cast<int32_t>(i - 3))) << i;
    EXPECT_EQ(counts.back(), 0);
    EXPECT_EQ(bl.back(), -25.0);
}

TEST(Limiter, KneeOneDecibelUnderTheThresholdThenAnEighthOfTheExcess) {
    Block l{7476346.88, -7476346.88, 8388608.0, -8388608.0, 0.0, -3e-5, 1000.0};
    Block r{8388608.0 * 2.0, 7476346.0, 7476347.88, 0.0001, -0.0, 5e-5, -1000.0};
    limiter(8388608).process(static_cast<int32_t>(l.size()), l, r);
    EXPECT_EQ(l[0], 7476346.88);
    EXPECT_EQ(l[1], -7476346.88);
    EXPECT_NEAR(l[2], 7590379.52, 1e-6);
    EXPECT_NEAR(l[3], -7590379.52, 1e-6);
    EXPECT_EQ(l[4], 0.0001);
    EXPECT_EQ(l[5], -0.0001);
    EXPECT_EQ(l[6], 1000.0);
    EXPECT_NEAR(r[0], 7476346.88 + 8388608.0 * 1.10875 * 0.125, 1e-6);
    EXPECT_EQ(r[1], 7476346.0);
    EXPECT_NEAR(r[2], 7476346.88 + 0.125, 1e-6);
    EXPECT_EQ(r[4], 0.0001);
    EXPECT_EQ(r[5], 0.0001);
}

TEST(Limiter, BusThresholdAndCountBound) {
    Block l{2147483647.0, 1.0e9}, r{-2147483647.0, 3.0e9};
    limiter(2147483647).process(1, l, r);
    const double knee = 2147483647.0 * 0.89125;
    EXPECT_DOUBLE_EQ(l[0], knee + (2147483647.0 - knee) * 0.125);
    EXPECT_DOUBLE_EQ(r[0], -(knee + (2147483647.0 - knee) * 0.125));
    EXPECT_EQ(l[1], 1.0e9);
    EXPECT_EQ(r[1], 3.0e9);
}
