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

// Unity comes back a hair off 0 dB; it prints as 0.00, not -0.00.
double tidyDb(double dB) {
    return std::fabs(dB) < 0.005 ? 0.0 : dB;
}

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

FilterSettings filterSettingsOf(const BiquadCoefs& c, BiquadKind kind, double rate) {
    FilterSettings f;
    double a0 = 0.0, k = 0.0, alpha = 0.0;
    if (kind == BiquadKind::bell) {
        // a0 (1 + a2) = 2, a1 a0 = -2 cos w, a2 a0 = 1 - alpha/A, b0 a0 = 1 + alpha A.
        a0 = 2.0 / (1.0 + c.a2);
        k = -c.a1 * a0 / 2.0;
        const double alphaOverA = 1.0 - c.a2 * a0;
        const double alphaTimesA = c.b0 * a0 - 1.0;
        const double a = std::sqrt(alphaTimesA / alphaOverA);
        alpha = std::sqrt(alphaTimesA * alphaOverA);
        f.gainDb = tidyDb(40.0 * std::log10(a));
    } else {
        // The shelf passes A^2 at one end of the band: Nyquist for the high
        // shelf, DC for the low one. Knowing A, the a0 and cos w of the
        // design follow from two linear equations in a1 and a2.
        const bool high = kind == BiquadKind::highShelf;
        const double end = high ? (c.b0 - c.b1 + c.b2) / (1.0 - c.a1 + c.a2)
                                : (c.b0 + c.b1 + c.b2) / (1.0 + c.a1 + c.a2);
        const double a = std::sqrt(end);
        const double sign = high ? 1.0 : -1.0;
        const double m11 = (1.0 + c.a2) / 2.0, m12 = sign * (a - 1.0);
        const double m21 = sign * c.a1 / 2.0, m22 = sign * (a + 1.0);
        const double r1 = a + 1.0, r2 = a - 1.0;
        const double det = m11 * m22 - m12 * m21;
        a0 = (r1 * m22 - m12 * r2) / det;
        k = (m11 * r2 - m21 * r1) / det;
        alpha = a0 * (1.0 - c.a2) / 2.0 / (2.0 * std::sqrt(a));
        f.gainDb = tidyDb(40.0 * std::log10(a));
    }
    const double w = std::acos(std::clamp(k, -1.0, 1.0));
    f.frequency = w * rate / (2.0 * kPi);
    f.q = alpha != 0.0 ? std::sin(w) / (2.0 * alpha) : 0.0;
    return f;
}

double highPassCornerOf(const HighPassCoefs& coef, double rate) {
    return rate * (1.0 - coef.pole) / 4.0;
}

} // namespace tarvex
