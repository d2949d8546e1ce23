// Coefficient design of the strip and reverb-input filters. Every formula
// keeps the order of its defining expression, divisions by a0 included
// (rather than one reciprocal), since the rounding of each coefficient
// reaches the rendered output.
#include "effects/filter_design.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tarvex {

namespace {

constexpr double kPi = std::numbers::pi;

// The shared part of the reverb-input pair: Q of 1, so alpha = sin(w) / 2.
struct ReverbTerms {
    double k;     // cos(w)
    double a0;    // 1 + alpha
    double alpha; // sin(w) / 2
};

ReverbTerms reverbTerms(double corner, double rate) {
    const double w = 2.0 * kPi * corner / rate;
    const double alpha = std::sin(w) / 2.0;
    return {std::cos(w), 1.0 + alpha, alpha};
}

} // namespace

void eqTerms(double gain, double freq, double rate, double Q, double& A, double& w, double& alpha) {
    A = std::pow(10.0, gain / 40.0);
    w = 2.0 * kPi * freq / rate;
    alpha = std::sin(w) / (2.0 * Q);
}

HighPassCoefs designHighPass(double freq, double rate) {
    const double rc = 1.0 / (2.0 * kPi * freq);
    HighPassCoefs c;
    c.pole = (rate - 4.0 * freq) / rate;
    c.gain = rc / (rc + 1.0 / rate);
    return c;
}

BiquadCoefs designBell(double gain, double freq, double rate, double Q) {
    double A = 0.0, w = 0.0, alpha = 0.0;
    eqTerms(gain, freq, rate, Q, A, w, alpha);
    const double k = std::cos(w);
    const double a0 = 1.0 + alpha / A;
    BiquadCoefs c;
    c.b0 = (1.0 + alpha * A) / a0;
    c.b1 = -2.0 * k / a0;
    c.b2 = (1.0 - alpha * A) / a0;
    c.a1 = -2.0 * k / a0;
    c.a2 = (1.0 - alpha / A) / a0;
    return c;
}

BiquadCoefs designHighShelf(double gain, double freq, double rate, double Q) {
    double A = 0.0, w = 0.0, alpha = 0.0;
    eqTerms(gain, freq, rate, Q, A, w, alpha);
    const double k = std::cos(w);
    const double rootA = std::sqrt(A);
    const double a0 = (A + 1.0) - (A - 1.0) * k + 2.0 * rootA * alpha;
    BiquadCoefs c;
    c.b0 = A * ((A + 1.0) + (A - 1.0) * k + 2.0 * rootA * alpha) / a0;
    c.b1 = -2.0 * A * ((A - 1.0) + (A + 1.0) * k) / a0;
    c.b2 = A * ((A + 1.0) + (A - 1.0) * k - 2.0 * rootA * alpha) / a0;
    c.a1 = 2.0 * ((A - 1.0) - (A + 1.0) * k) / a0;
    c.a2 = ((A + 1.0) - (A - 1.0) * k - 2.0 * rootA * alpha) / a0;
    return c;
}

BiquadCoefs designLowShelf(double gain, double freq, double rate, double Q) {
    double A = 0.0, w = 0.0, alpha = 0.0;
    eqTerms(gain, freq, rate, Q, A, w, alpha);
    const double k = std::cos(w);
    const double rootA = std::sqrt(A);
    const double a0 = (A + 1.0) + (A - 1.0) * k + 2.0 * rootA * alpha;
    BiquadCoefs c;
    c.b0 = A * ((A + 1.0) - (A - 1.0) * k + 2.0 * rootA * alpha) / a0;
    c.b1 = 2.0 * A * ((A - 1.0) - (A + 1.0) * k) / a0;
    c.b2 = A * ((A + 1.0) - (A - 1.0) * k - 2.0 * rootA * alpha) / a0;
    c.a1 = -2.0 * ((A - 1.0) + (A + 1.0) * k) / a0;
    c.a2 = ((A + 1.0) + (A - 1.0) * k - 2.0 * rootA * alpha) / a0;
    return c;
}

BiquadCoefs designReverbHighPass(double corner, double rate) {
    const ReverbTerms t = reverbTerms(corner, rate);
    BiquadCoefs c;
    c.b0 = (1.0 + t.k) / (2.0 * t.a0);
    c.b1 = -(1.0 + t.k) / t.a0;
    c.b2 = c.b0;
    c.a1 = -2.0 * t.k / t.a0;
    c.a2 = (1.0 - t.alpha) / t.a0;
    return c;
}

BiquadCoefs designReverbLowPass(double corner, double rate) {
    const ReverbTerms t = reverbTerms(corner, rate);
    BiquadCoefs c;
    c.b0 = (1.0 - t.k) / (2.0 * t.a0);
    c.b1 = (1.0 - t.k) / t.a0;
    c.b2 = c.b0;
    c.a1 = -2.0 * t.k / t.a0;
    c.a2 = (1.0 - t.alpha) / t.a0;
    return c;
}

} // namespace tarvex
