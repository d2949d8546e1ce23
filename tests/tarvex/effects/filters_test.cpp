// Strip and reverb-input filters: the Denormal rule, the seeding of the
// high-pass and the biquads on their first samples, their arithmetic against
// plain reference loops, and history carried across block boundaries.
#include "effects/filters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "effects/filter_design.h"

using namespace tarvex;

namespace {

using Block = std::vector<double>;

// The Denormal rule, written out.
double lifted(double x) {
    if (x >= 0.0 && x < 0.0001) return 0.0001;
    if (x < 0.0 && x > -0.0001) return -0.0001;
    return x;
}

// A test signal at 24-bit scale: two sines and noise, with a stretch of
// digital silence and some values below the Denormal floor.
Block signal(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Block x(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i);
        x[i] = 2.0e6 * std::sin(0.031 * t) + 7.0e5 * std::sin(0.7 * t + 1.0) +
               1.0e4 * (static_cast<double>(rng()) / 4294967295.0 - 0.5);
    }
    for (std::size_t i = n / 3; i < n / 3 + 40 && i < n; ++i)
        x[i] = (i % 3 == 0) ? 0.0 : 3e-5;
    return x;
}

std::unique_ptr<FilterMemory> freshMemory() {
    return std::make_unique<FilterMemory>();
}

// Runs `filter(count, left, right)` over the signal in pieces of the given sizes.
template <typename Filter>
void inPieces(Block& left, Block& right, const std::vector<std::size_t>& pieces, Filter filter) {
    std::size_t at = 0;
    for (std::size_t n : pieces) {
        filter(static_cast<int32_t>(n), std::span(left).subspan(at, n),
               std::span(right).subspan(at, n));
        at += n;
    }
    ASSERT_EQ(at, left.size());
}

// The direct-form biquad written out, from a history seeded with the first
// two inputs: x[-2] = y[-2] = s0, x[-1] = y[-1] = s1.
Block referenceBiquad(const Block& x, const BiquadCoefs& c) {
    Block y(x.size());
    std::transform(x.begin(), x.end(), y.begin(), lifted);
    double x2 = y[0], x1 = y[1], y2 = y[0], y1 = y[1];
    for (std::size_t i = 2; i < x.size(); ++i) {
        const double in = y[i];
        const double out = c.b0 * in + c.b1 * x1 + c.b2 * x2 - c.a1 * y1 - c.a2 * y2;
        x2 = x1, x1 = in, y2 = y1, y1 = out;
        y[i] = out;
    }
    return y;
}

const BiquadCoefs kBell = designBell(9.0, 700.0, 44100.0, 1.4);

} // namespace

TEST(Denormal, LiftsValuesBelowTheFloorKeepingTheirSign) {
    Block left{0.0, -0.0, 5e-5, -5e-5, 0.0001, -0.0001, 1e-300, -1e-300, 0.5, -3.0, 8388607.0};
    Block right(left.rbegin(), left.rend());
    const Block inLeft = left, inRight = right;
    Denormal(left, right, static_cast<int32_t>(left.size()));
    for (std::size_t i = 0; i < left.size(); ++i) {
        EXPECT_EQ(left[i], lifted(inLeft[i])) << i;
        EXPECT_EQ(right[i], lifted(inRight[i])) << i;
    }
    EXPECT_EQ(left[0], 0.0001);
    EXPECT_EQ(left[1], 0.0001); // -0 counts as 0
    EXPECT_EQ(left[3], -0.0001);
}

TEST(Denormal, ZerosBecomePositiveFloorAndCountBoundsTheWork) {
    Block left(8, 0.0), right(8, 0.0);
    Denormal(left, right, 5);
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(left[i], i < 5 ? 0.0001 : 0.0) << i;
        EXPECT_EQ(right[i], i < 5 ? 0.0001 : 0.0) << i;
    }
    Block l2(4, 0.0), r2(4, 0.0);
    Denormal(l2, r2, 0);
    Denormal(l2, r2, -3);
    EXPECT_EQ(l2, Block(4, 0.0));
}

TEST(HPF, FirstSampleSeedsAndPassesThenTheOnePoleRuns) {
    const HighPassCoefs c = designHighPass(80.0, 44100.0);
    Block left = signal(600, 1), right = signal(600, 2);
    const Block inL = left, inR = right;
    auto mem = freshMemory();
    HPF(600, 0, 7, left, right, c.pole, c.gain, *mem);
    EXPECT_EQ(mem->hpInit[7], 1);
    EXPECT_EQ(left[0], inL[0]);
    EXPECT_EQ(right[0], inR[0]);
    for (const auto& [in, out] : {std::pair{&inL, &left}, std::pair{&inR, &right}}) {
        double px = lifted((*in)[0]), py = px;
        for (std::size_t i = 1; i < in->size(); ++i) {
            const double x = lifted((*in)[i]);
            const double y = c.pole * py + c.gain * (x - px);
            ASSERT_EQ((*out)[i], y) << i;
            px = x, py = y;
        }
    }
    const HpfHistory& h = mem->hpf[7];
    EXPECT_EQ(h.OldXL, inL.back());
    EXPECT_EQ(h.OldYL, left.back());
    EXPECT_EQ(h.OldXR, inR.back());
    EXPECT_EQ(h.OldYR, right.back());
    EXPECT_EQ(h.NewYR, right.back());
    EXPECT_EQ(mem->hpInit[6], 0);
}

TEST(HPF, SilentFirstBlockSeedsFromTheLiftedSample) {
    Block left(4, 0.0), right(4, 0.0);
    auto mem = freshMemory();
    HPF(4, 0, 1, left, right, 0.99, 0.995, *mem);
    EXPECT_EQ(left[0], 0.0001);
    EXPECT_EQ(mem->hpf[1].OldXR, 0.0001);
    // A constant input leaves only the decaying feedback.
    EXPECT_EQ(left[1], 0.99 * 0.0001);
}

TEST(HPF, BlocksInPiecesMatchOneBlock) {
    const HighPassCoefs c = designHighPass(150.0, 48000.0);
    Block wholeL = signal(5000, 3), wholeR = signal(5000, 4);
    Block partL = wholeL, partR = wholeR;
    auto m1 = freshMemory(), m2 = freshMemory();
    HPF(5000, 0, 130, wholeL, wholeR, c.pole, c.gain, *m1);
    inPieces(partL, partR, {1, 2, 997, 2500, 1500},
             [&](int32_t n, auto l, auto r) { HPF(n, 0, 130, l, r, c.pole, c.gain, *m2); });
    EXPECT_EQ(partL, wholeL);
    EXPECT_EQ(partR, wholeR);
}

TEST(HPF, EntriesKeepTheirOwnHistory) {
    const HighPassCoefs c = designHighPass(60.0, 44100.0);
    Block aL = signal(1000, 5), aR = signal(1000, 6), bL = signal(1000, 7), bR = signal(1000, 8);
    Block soloL = aL, soloR = aR;
    auto shared = freshMemory(), alone = freshMemory();
    for (std::size_t at = 0; at < 1000; at += 250) {
        auto s = [at](Block& b) { return std::span(b).subspan(at, 250); };
        HPF(250, 0, 2, s(aL), s(aR), c.pole, c.gain, *shared);
        HPF(250, 0, 3, s(bL), s(bR), c.pole, c.gain, *shared);
        HPF(250, 0, 2, s(soloL), s(soloR), c.pole, c.gain, *alone);
    }
    EXPECT_EQ(aL, soloL);
    EXPECT_EQ(aR, soloR);
}

TEST(EQ, FirstTwoSamplesPassAndSeedTheHistory) {
    Block left = signal(400, 9), right = signal(400, 10);
    const Block inL = left, inR = right;
    auto mem = freshMemory();
    const BiquadCoefs& c = kBell;
    EQ(400, 0, 12, 3, left, right, c.b0, c.b1, c.b2, c.a1, c.a2, *mem);
    EXPECT_EQ(mem->eqInit[3][12], kBiquadRunning);
    EXPECT_EQ(left[0], inL[0]);
    EXPECT_EQ(left[1], inL[1]);
    EXPECT_EQ(right[0], inR[0]);
    EXPECT_EQ(right[1], inR[1]);
    EXPECT_EQ(left, referenceBiquad(inL, c));
    EXPECT_EQ(right, referenceBiquad(inR, c));
    const BiquadHistory& h = mem->eq[12 * kEqSlots + 3];
    EXPECT_EQ(h.in1L, inL[399]);
    EXPECT_EQ(h.in2L, inL[398]);
    EXPECT_EQ(h.out1L, left[399]);
    EXPECT_EQ(h.out2R, right[398]);
}

TEST(EQ, FirstTwoSamplesSeedEvenWhenTheyArriveInSeparateBlocks) {
    const BiquadCoefs& c = kBell;
    auto mem = freshMemory();
    Block l1{1000.0}, r1{-1000.0};
    EQ(1, 0, 4, 1, l1, r1, c.b0, c.b1, c.b2, c.a1, c.a2, *mem);
    EXPECT_EQ(l1[0], 1000.0);
    EXPECT_EQ(mem->eqInit[1][4], kBiquadHalfSeeded);
    Block left = signal(50, 11), right = signal(50, 12);
    const Block inL = left;
    EQ(50, 0, 4, 1, left, right, c.b0, c.b1, c.b2, c.a1, c.a2, *mem);
    EXPECT_EQ(mem->eqInit[1][4], kBiquadRunning);
    EXPECT_EQ(left[0], inL[0]);
    EXPECT_EQ(left[1],
              c.b0 * inL[1] + c.b1 * inL[0] + c.b2 * 1000.0 - c.a1 * inL[0] - c.a2 * 1000.0);
}

TEST(EQ, ZeroGainBandPassesTheSignal) {
    const BiquadCoefs c = designBell(0.0, 2500.0, 44100.0, 0.7);
    Block left = signal(3000, 13), right = signal(3000, 14);
    const Block inL = left;
    auto mem = freshMemory();
    EQ(3000, 0, 1, 2, left, right, c.b0, c.b1, c.b2, c.a1, c.a2, *mem);
    for (std::size_t i = 0; i < inL.size(); ++i)
        ASSERT_NEAR(left[i], lifted(inL[i]), 1e-9 * std::max(1.0, std::fabs(inL[i]))) << i;
}

TEST(EQ, BlocksInPiecesMatchOneBlock) {
    const BiquadCoefs c = designLowShelf(-9.0, 300.0, 44100.0, 0.8);
    Block wholeL = signal(6000, 15), wholeR = signal(6000, 16);
    Block partL = wholeL, partR = wholeR;
    auto m1 = freshMemory(), m2 = freshMemory();
    EQ(6000, 0, 135, kEqLowShelfSlot, wholeL, wholeR, c.b0, c.b1, c.b2, c.a1, c.a2, *m1);
    inPieces(partL, partR, {2, 3, 1995, 4000}, [&](int32_t n, auto l, auto r) {
        EQ(n, 0, 135, kEqLowShelfSlot, l, r, c.b0, c.b1, c.b2, c.a1, c.a2, *m2);
    });
    EXPECT_EQ(partL, wholeL);
    EXPECT_EQ(partR, wholeR);
}

TEST(EQ, AgreesWithATransposedDirectFormFromTheSameState) {
    const BiquadCoefs c = designHighShelf(12.0, 5000.0, 48000.0, 0.7);
    Block left = signal(20000, 17), right = signal(20000, 18);
    const Block in = left;
    auto mem = freshMemory();
    EQ(20000, 0, 0, kEqHighShelfSlot, left, right, c.b0, c.b1, c.b2, c.a1, c.a2, *mem);
    // Transposed direct form II, its two states set to what the seeded
    // direct-form history x[-1] = y[-1] = s1, x[-2] = y[-2] = s0 implies.
    const double s0 = lifted(in[0]), s1 = lifted(in[1]);
    double z1 = c.b1 * s1 + c.b2 * s0 - c.a1 * s1 - c.a2 * s0;
    double z2 = c.b2 * s1 - c.a2 * s1;
    for (std::size_t i = 2; i < in.size(); ++i) {
        const double x = lifted(in[i]);
        const double y = c.b0 * x + z1;
        z1 = c.b1 * x - c.a1 * y + z2;
        z2 = c.b2 * x - c.a2 * y;
        ASSERT_NEAR(left[i], y, 1e-6 * std::max(1.0, std::fabs(y))) << i;
    }
}

TEST(EQ, EachEntryAndSlotKeepsItsOwnHistory) {
    const BiquadCoefs c = kBell;
    Block aL = signal(800, 19), aR = signal(800, 20), bL = signal(800, 21), bR = signal(800, 22);
    Block soloL = aL, soloR = aR;
    Block cL = bL, cR = bR;
    auto shared = freshMemory(), alone = freshMemory();
    for (std::size_t at = 0; at < 800; at += 200) {
        auto s = [at](Block& b) { return std::span(b).subspan(at, 200); };
        EQ(200, 0, 9, 1, s(aL), s(aR), c.b0, c.b1, c.b2, c.a1, c.a2, *shared);
        EQ(200, 0, 9, 2, s(bL), s(bR), c.b0, c.b1, c.b2, c.a1, c.a2, *shared);
        EQ(200, 0, 10, 1, s(cL), s(cR), c.b0, c.b1, c.b2, c.a1, c.a2, *shared);
        Rev_EQ(200, 0, 1, s(cL), s(cR), c.b0, c.b1, c.b2, c.a1, c.a2, *shared);
        EQ(200, 0, 9, 1, s(soloL), s(soloR), c.b0, c.b1, c.b2, c.a1, c.a2, *alone);
    }
    EXPECT_EQ(aL, soloL);
    EXPECT_EQ(aR, soloR);
}

TEST(Rev_EQ, SeedsAndRunsLikeTheStripBiquad) {
    const BiquadCoefs c = designReverbHighPass(200.0, 44100.0);
    Block wholeL = signal(3000, 23), wholeR = signal(3000, 24);
    const Block in = wholeL;
    Block partL = wholeL, partR = wholeR;
    auto m1 = freshMemory(), m2 = freshMemory();
    Rev_EQ(3000, 0, 2, wholeL, wholeR, c.b0, c.b1, c.b2, c.a1, c.a2, *m1);
    EXPECT_EQ(m1->revEqInit[2], kBiquadRunning);
    EXPECT_EQ(m1->revEqInit[3], kBiquadUnseeded);
    EXPECT_EQ(wholeL, referenceBiquad(in, c));
    inPieces(partL, partR, {1, 1, 1, 2997}, [&](int32_t n, auto l, auto r) {
        Rev_EQ(n, 0, 2, l, r, c.b0, c.b1, c.b2, c.a1, c.a2, *m2);
    });
    EXPECT_EQ(partL, wholeL);
    EXPECT_EQ(partR, wholeR);
}
