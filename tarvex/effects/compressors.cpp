// Linear peak and RMS compressors. Each walks its block once with its
// memory copied into locals (the sample buffers could otherwise alias it and
// force a reload per sample) and stores it back after the block. The state is
// read per sample: a change made by one sample takes effect at the next,
// except that the sample which leaves the idle state is already an attack
// sample.
#include "effects/compressors.h"

#include <cassert>
#include <numbers>

namespace tarvex {

namespace {

constexpr double kHalfPi = std::numbers::pi / 2.0;

// Quarter-sine position of step k of a ramp of `length` samples.
inline double rampSine(int32_t k, int32_t length) {
    return std::sin(static_cast<double>(k) * kHalfPi / static_cast<double>(length));
}

// Attack law: the magnitude a falls from a (sine 0) to a/r (sine 1).
inline double attackLaw(double a, double r, double sine) {
    return a - (a - a / r) * sine;
}

// Release law: the magnitude rises from a/r (sine 0) to a (sine 1).
inline double releaseLaw(double a, double r, double sine) {
    return a / r + (a - a / r) * sine;
}

// One attack sample on both sides at step `count`; the state moves on to
// compressing after the sample with the full gain 1/r.
inline void attackSample(double& l, double& r, double polL, double polR, double aL, double aR,
                         double ratio, int32_t attack, int32_t& count, int32_t& state) {
    const int32_t k = count;
    const double g = rampSine(k, attack);
    l = polL * attackLaw(aL, ratio, g);
    r = polR * attackLaw(aR, ratio, g);
    if (attack > k)
        count = k + 1;
    else
        state = kCompCompressing;
}

// One release sample on both sides at step `count`: the step rises while both
// sides are under the threshold and falls back (not below 0) while either is
// not; past the release length the compressor is idle again.
inline void releaseSample(double& l, double& r, double polL, double polR, double aL, double aR,
                          double ratio, int32_t release, bool bothUnder, int32_t& count,
                          int32_t& state) {
    int32_t k = count;
    const double g = rampSine(k, release);
    l = polL * releaseLaw(aL, ratio, g);
    r = polR * releaseLaw(aR, ratio, g);
    if (bothUnder)
        ++k;
    else if (k > 0)
        --k;
    count = k;
    if (k > release) state = kCompIdle;
}

} // namespace

void PeakCompressor::setUp(const CompressorSettings& settings) {
    settings_ = settings;
    memory_ = Memory{};
    state_ = settings.on != 0 ? kCompIdle : kCompOff;
}

void RmsCompressor::setUp(const CompressorSettings& settings) {
    settings_ = settings;
    memory_ = Memory{};
    state_ = settings.on != 0 ? kCompIdle : kCompOff;
}

void PeakCompressor::process(int32_t count, std::span<double> left, std::span<double> right) {
    assert(blockFits(count, left, right));
    if (count < 1) return;
    double* L = left.data();
    double* R = right.data();
    Memory m = memory_;
    int32_t s = state_;
    const int32_t attack = settings_.attack;
    const int32_t release = settings_.release;
    const double thresh = settings_.threshold;
    const double quiet = thresh * 0.5;
    const double r = settings_.ratio;
    for (int32_t i = 0; i < count; ++i) {
        const double polL = polarityOf(L[i]), polR = polarityOf(R[i]);
        const double aL = magnitudeOf(L[i]), aR = magnitudeOf(R[i]);
        switch (s) {
        case kCompIdle:
            if (!(thresh < aL || thresh < aR)) break;
            m.lastPeakL = m.lastPeakR = m.runningPeakL = m.runningPeakR = 0.0;
            m.attackStep = m.releaseStep = 1;
            m.quietCyclesL = m.quietCyclesR = 0;
            s = kCompAttack;
            [[fallthrough]];
        case kCompAttack:
            if (aL > m.runningPeakL) m.runningPeakL = aL;
            if (aR > m.runningPeakR) m.runningPeakR = aR;
            attackSample(L[i], R[i], polL, polR, aL, aR, r, attack, m.attackStep, s);
            break;
        case kCompCompressing:
            L[i] = polL * (aL / r);
            R[i] = polR * (aR / r);
            if (aL > m.runningPeakL) m.runningPeakL = aL;
            if (aR > m.runningPeakR) m.runningPeakR = aR;
            if (polL != m.lastPolarityL) {
                m.lastPeakL = m.runningPeakL;
                m.runningPeakL = 0.0;
                m.quietCyclesL = m.lastPeakL < quiet ? m.quietCyclesL + 1 : 0;
            }
            if (polR != m.lastPolarityR) {
                m.lastPeakR = m.runningPeakR;
                m.runningPeakR = 0.0;
                m.quietCyclesR = m.lastPeakR < quiet ? m.quietCyclesR + 1 : 0;
            }
            if (m.quietCyclesL > 3 && m.quietCyclesR > 3) s = kCompRelease;
            break;
        case kCompRelease: {
            if (aL > m.runningPeakL) m.runningPeakL = aL;
            if (aR > m.runningPeakR) m.runningPeakR = aR;
            if (polL != m.lastPolarityL) {
                m.lastPeakL = m.runningPeakL;
                m.runningPeakL = 0.0;
            }
            if (polR != m.lastPolarityR) {
                m.lastPeakR = m.runningPeakR;
                m.runningPeakR = 0.0;
            }
            releaseSample(L[i], R[i], polL, polR, aL, aR, r, release,
                          m.lastPeakL < thresh && m.lastPeakR < thresh, m.releaseStep, s);
            break;
        }
        default:
            break;
        }
        m.lastPolarityL = polL;
        m.lastPolarityR = polR;
    }
    memory_ = m;
    state_ = s;
}

void RmsCompressor::process(int32_t count, std::span<double> left, std::span<double> right) {
    assert(blockFits(count, left, right));
    if (count < 1) return;
    double* L = left.data();
    double* R = right.data();
    Memory m = memory_;
    int32_t s = state_;
    const int32_t threshold = settings_.threshold;
    const int32_t attack = settings_.attack;
    const int32_t release = settings_.release;
    // The RMS values are floats: against the threshold they are compared as
    // floats, against half of it (a double) as doubles.
    const float thresh = static_cast<float>(threshold);
    const double quiet = threshold * 0.5;
    const double r = settings_.ratio;
    for (int32_t i = 0; i < count; ++i) {
        const double polL = polarityOf(L[i]), polR = polarityOf(R[i]);
        const double aL = magnitudeOf(L[i]), aR = magnitudeOf(R[i]);
        m.squaresL = static_cast<float>(m.squaresL + aL * aL);
        m.squaresR = static_cast<float>(m.squaresR + aR * aR);
        m.intervalL += 1.0f;
        m.intervalR += 1.0f;
        const bool crossL = polL != m.lastPolarityL;
        const bool crossR = polR != m.lastPolarityR;
        if (crossL) {
            m.rmsL = std::sqrt(m.squaresL / m.intervalL);
            m.squaresL = m.intervalL = 0.0f;
        }
        if (crossR) {
            m.rmsR = std::sqrt(m.squaresR / m.intervalR);
            m.squaresR = m.intervalR = 0.0f;
        }
        m.lastPolarityL = polL;
        m.lastPolarityR = polR;
        switch (s) {
        case kCompIdle:
            if (!(m.rmsL > thresh || m.rmsR > thresh)) break;
            m.attackStep = m.releaseStep = 1;
            m.quietCyclesL = m.quietCyclesR = 0;
            s = kCompAttack;
            [[fallthrough]];
        case kCompAttack:
            attackSample(L[i], R[i], polL, polR, aL, aR, r, attack, m.attackStep, s);
            break;
        case kCompCompressing:
            L[i] = polL * (aL / r);
            R[i] = polR * (aR / r);
            if (crossL) m.quietCyclesL = m.rmsL < quiet ? m.quietCyclesL + 1 : 0;
            if (crossR) m.quietCyclesR = m.rmsR < quiet ? m.quietCyclesR + 1 : 0;
            if (m.quietCyclesL > 3 && m.quietCyclesR > 3) s = kCompRelease;
            break;
        case kCompRelease:
            releaseSample(L[i], R[i], polL, polR, aL, aR, r, release,
                          m.rmsL < thresh && m.rmsR < thresh, m.releaseStep, s);
            break;
        default:
            break;
        }
    }
    memory_ = m;
    state_ = s;
}

} // namespace tarvex
