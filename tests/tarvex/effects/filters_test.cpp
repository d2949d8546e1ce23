// Strip and reverb-input filters: the seeding of the high-pass and the
// biquads on their first samples, their arithmetic against plain reference
// loops, and history carried across block boundaries.
#include "effects/filters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "effects/filter_design.h"

using namespace tarvex;

namespace {

using Block = std::vector<double>;

// The rule for tiny magnitudes, written out.
double lifted(double x) {
    if (x >= 0.0 && x < 0.0001) return 0.0001;
    if (x < 0.0 && x > -0.0001) return -0.0001;
    return x;
}

// A test signal at 24-bit scale: two sines and noise, with a stretch of
// digital silence and some values below the floor.
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

HighPass highPass(const HighPassCoefs& c) {
    HighPass f;
    f.setUp({1, 0.0, c});
    return f;
}

Biquad biquad(const BiquadCoefs& c) {
    Biquad f;
    f.setUp(c);
    return f;
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

TEST(HighPass, FirstSampleSeedsAndPassesThenTheOnePoleRuns) {
    const HighPassCoefs c = designHighPass(80.0, 44100.0);
    Block left = signal(600, 1), right = signal(600, 2);
    const Block inL = left, inR = right;
    highPass(c).process(600, left, right);
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
}

TEST(HighPass, SilentFirstBlockSeedsFromTheLiftedSample) {
    Block left(4, 0.0), right(4, -0.0);
    highPass({0.99, 0.995}).process(4, left, right);
    EXPECT_EQ(left[0], 0.0001);
    EXPECT_EQ(right[0], 0.0001); // -0 counts as 0
    // A constant input leaves only the decaying feedback.
    EXPECT_EQ(left[1], 0.99 * 0.0001);
}

TEST(Biquad, FirstTwoSamplesPassAndSeedTheHistory) {
    Block left = signal(400, 9), right = signal(400, 10);
    const Block inL = left, inR = right;
    biquad(kBell).process(400, left, right);
    EXPECT_EQ(left[0], inL[0]);
    EXPECT_EQ(left[1], inL[1]);
    EXPECT_EQ(right[0], inR[0]);
    EXPECT_EQ(right[1], inR[1]);
    EXPECT_EQ(left, referenceBiquad(inL, kBell));
    EXPECT_EQ(right, referenceBiquad(inR, kBell));
}

TEST(Biquad, FirstTwoSamplesSeedEvenWhenTheyArriveInSeparateBlocks) {
    const BiquadCoefs& c = kBell;
    Biquad f = biquad(c);
    Block l1{1000.0}, r1{-1000.0};
    f.process(1, l1, r1);
    EXPECT_EQ(l1[0], 1000.0);
    Block left = signal(50, 11), right = signal(50, 12);
    const Block inL = left;
    f.process(50, left, right);
    EXPECT_EQ(left[0], inL[0]);
    EXPECT_EQ(left[1],
              c.b0 * inL[1] + c.b1 * inL[0] + c.b2 * 1000.0 - c.a1 * inL[0] - c.a2 * 1000.0);
}

TEST(Biquad, ZeroGainBandPassesTheSignal) {
    const BiquadCoefs c = designBell(0.0, 2500.0, 44100.0, 0.7);
    Block left = signal(3000, 13), right = signal(3000, 14);
    const Block inL = left;
    biquad(c).process(3000, left, right);
    for (std::size_t i = 0; i < inL.size(); ++i)
        ASSERT_NEAR(left[i], lifted(inL[i]), 1e-9 * std::max(1.0, std::fabs(inL[i]))) << i;
}

// Every filter gives the same output in pieces as in one block.
TEST(Filters, BlocksInPiecesMatchOneBlock) {
    const HighPassCoefs hp = designHighPass(150.0, 48000.0);
    struct Case {
        const char* name;
        std::function<void(int32_t, std::span<double>, std::span<double>)> whole, part;
        std::vector<std::size_t> pieces;
    };
    HighPass hp1 = highPass(hp), hp2 = highPass(hp);
    Biquad sh1 = biquad(designLowShelf(-9.0, 300.0, 44100.0, 0.8)), sh2 = sh1;
    Biquad rv1 = biquad(designReverbHighPass(200.0, 44100.0)), rv2 = rv1;
    auto run = [](auto& f) {
        return [&f](int32_t n, std::span<double> l, std::span<double> r) { f.process(n, l, r); };
    };
    const Case cases[] = {
        {"high-pass", run(hp1), run(hp2), {1, 2, 997, 2500, 1500}},
        {"low shelf", run(sh1), run(sh2), {2, 3, 1995, 3000}},
        {"reverb high-pass", run(rv1), run(rv2), {1, 1, 1, 4997}},
    };
    for (const Case& c : cases) {
        Block wholeL = signal(5000, 15), wholeR = signal(5000, 16);
        Block partL = wholeL, partR = wholeR;
        c.whole(5000, wholeL, wholeR);
        inPieces(partL, partR, c.pieces, c.part);
        EXPECT_EQ(partL, wholeL) << c.name;
        EXPECT_EQ(partR, wholeR) << c.name;
    }
}

TEST(Biquad, AgreesWithATransposedDirectFormFromTheSameState) {
    const BiquadCoefs c = designHighShelf(12.0, 5000.0, 48000.0, 0.7);
    Block left = signal(20000, 17), right = signal(20000, 18);
    const Block in = left;
    biquad(c).process(20000, left, right);
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
