// Coefficient design: the shared bell and shelf terms, the one-pole
// high-pass, and the magnitude responses of the designed biquads, evaluated
// from their coefficients on the unit circle.
#include "effects/filter_design.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

using namespace tarvex;

namespace {

constexpr double kPi = std::numbers::pi;

// |H(e^jw)| of a biquad normalised to a0 = 1.
double magnitudeAt(const BiquadCoefs& c, double w) {
    const std::complex<double> z1 = std::polar(1.0, -w);
    const std::complex<double> z2 = z1 * z1;
    return std::abs((c.b0 + c.b1 * z1 + c.b2 * z2) / (1.0 + c.a1 * z1 + c.a2 * z2));
}

double linear(double dB) {
    return std::pow(10.0, dB / 20.0);
}

struct Design {
    double gain, freq, rate, Q;
};

// Gains, frequencies, rates and Q over the whole accepted range.
const Design kDesigns[] = {
    {-15.0, 40.0, 44100.0, 0.5},  {-6.0, 1000.0, 48000.0, 0.7}, {3.0, 250.0, 44100.0, 4.0},
    {15.0, 8000.0, 96000.0, 1.0}, {9.5, 12000.0, 44100.0, 0.1}, {-12.0, 100.0, 48000.0, 30.0},
};

} // namespace

TEST(EqTerms, GivesGainRootAngleAndAlpha) {
    double A = 0.0, w = 0.0, alpha = 0.0;
    eqTerms(6.0, 1000.0, 48000.0, 0.7, A, w, alpha);
    EXPECT_DOUBLE_EQ(A, std::pow(10.0, 0.15));
    EXPECT_DOUBLE_EQ(w, kPi / 24.0);
    EXPECT_DOUBLE_EQ(alpha, std::sin(kPi / 24.0) / 1.4);
    EXPECT_DOUBLE_EQ(A * A, linear(6.0));

    eqTerms(0.0, 11025.0, 44100.0, 2.0, A, w, alpha);
    EXPECT_EQ(A, 1.0);
    EXPECT_DOUBLE_EQ(w, kPi / 2.0);
    EXPECT_DOUBLE_EQ(alpha, 0.25);
}

TEST(HighPassDesign, FeedbackAndInputCoefficientsDiffer) {
    const HighPassCoefs c = designHighPass(100.0, 44100.0);
    const double rc = 1.0 / (2.0 * kPi * 100.0);
    EXPECT_DOUBLE_EQ(c.pole, 43700.0 / 44100.0);
    EXPECT_DOUBLE_EQ(c.gain, rc / (rc + 1.0 / 44100.0));
    EXPECT_NE(c.pole, c.gain);

    // A quarter of the rate has no feedback; half the rate feeds back -1.
    EXPECT_EQ(designHighPass(11025.0, 44100.0).pole, 0.0);
    EXPECT_EQ(designHighPass(22050.0, 44100.0).pole, -1.0);
}

TEST(BellDesign, ReachesItsGainAtTheCentreAndUnityAtBothEnds) {
    for (const Design& d : kDesigns) {
        SCOPED_TRACE(testing::Message() << d.gain << " dB at " << d.freq << " Hz, Q " << d.Q);
        const BiquadCoefs c = designBell(d.gain, d.freq, d.rate, d.Q);
        const double centre = 2.0 * kPi * d.freq / d.rate;
        EXPECT_NEAR(magnitudeAt(c, centre), linear(d.gain), 1e-9 * linear(d.gain));
        EXPECT_NEAR(magnitudeAt(c, 0.0), 1.0, 1e-9);
        EXPECT_NEAR(magnitudeAt(c, kPi), 1.0, 1e-9);
    }
}

TEST(BellDesign, ZeroGainIsTheIdentity) {
    const BiquadCoefs c = designBell(0.0, 1000.0, 44100.0, 0.7);
    EXPECT_DOUBLE_EQ(c.b0, 1.0);
    EXPECT_DOUBLE_EQ(c.b1, c.a1);
    EXPECT_DOUBLE_EQ(c.b2, c.a2);
}

TEST(ShelfDesign, HighShelfRisesFromUnityAtDcToItsGainAtNyquist) {
    for (const Design& d : kDesigns) {
        SCOPED_TRACE(testing::Message() << d.gain << " dB at " << d.freq << " Hz, Q " << d.Q);
        const BiquadCoefs c = designHighShelf(d.gain, d.freq, d.rate, d.Q);
        EXPECT_NEAR(magnitudeAt(c, kPi), linear(d.gain), 1e-9 * linear(d.gain));
        EXPECT_NEAR(magnitudeAt(c, 0.0), 1.0, 1e-9);
        // Half the gain in dB at the corner, whatever the Q.
        EXPECT_NEAR(magnitudeAt(c, 2.0 * kPi * d.freq / d.rate), linear(d.gain / 2.0), 1e-9);
    }
}

TEST(ShelfDesign, LowShelfHasItsGainAtDcAndUnityAtNyquist) {
    for (const Design& d : kDesigns) {
        SCOPED_TRACE(testing::Message() << d.gain << " dB at " << d.freq << " Hz, Q " << d.Q);
        const BiquadCoefs c = designLowShelf(d.gain, d.freq, d.rate, d.Q);
        EXPECT_NEAR(magnitudeAt(c, 0.0), linear(d.gain), 1e-9 * linear(d.gain));
        EXPECT_NEAR(magnitudeAt(c, kPi), 1.0, 1e-9);
        EXPECT_NEAR(magnitudeAt(c, 2.0 * kPi * d.freq / d.rate), linear(d.gain / 2.0), 1e-9);
    }
}

TEST(ReverbInputDesign, HighPassBlocksDcAndPassesNyquist) {
    for (const double corner : {20.0, 150.0, 2000.0, 12000.0}) {
        SCOPED_TRACE(corner);
        const BiquadCoefs c = designReverbHighPass(corner, 44100.0);
        EXPECT_NEAR(magnitudeAt(c, 0.0), 0.0, 1e-12);
        EXPECT_NEAR(magnitudeAt(c, kPi), 1.0, 1e-9);
        // A Q of 1 passes the corner at unity.
        EXPECT_NEAR(magnitudeAt(c, 2.0 * kPi * corner / 44100.0), 1.0, 1e-9);
        EXPECT_EQ(c.b0, c.b2);
    }
}

TEST(ReverbInputDesign, LowPassPassesDcAndBlocksNyquist) {
    for (const double corner : {500.0, 4000.0, 16000.0}) {
        SCOPED_TRACE(corner);
        const BiquadCoefs c = designReverbLowPass(corner, 48000.0);
        EXPECT_NEAR(magnitudeAt(c, kPi), 0.0, 1e-12);
        EXPECT_NEAR(magnitudeAt(c, 0.0), 1.0, 1e-9);
        EXPECT_NEAR(magnitudeAt(c, 2.0 * kPi * corner / 48000.0), 1.0, 1e-9);
        EXPECT_EQ(c.b0, c.b2);
    }
}
