// Linear peak and RMS compressors. Each walks its block once with the entry's
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

void armCompressors(DynamicsMemory& memory, const EffectSettings& settings) {
    for (std::size_t e = 0; e < static_cast<std::size_t>(kStripEntries); ++e) {
        if (settings.compOn[e] != 0) memory.compState[e] = kCompIdle;
        if (settings.rmsOn[e] != 0) memory.rmsState[e] = kCompIdle;
    }
}

void PEAKCOMPRESSOR(int entry, int32_t* state, int32_t count, std::span<double> left,
                    std::span<double> right, int32_t attack, int32_t release, double ratio,
                    int32_t threshold, DynamicsMemory& memory) {
    assert(entry >= 0 && entry < kStripEntries);
    assert(blockFits(count, left, right));
    if (count < 1) return;
    const auto e = static_cast<std::size_t>(entry);
    double* L = left.data();
    double* R = right.data();
    PeakCompEntry m = memory.peak[e];
    int32_t s = *state;
    const double thresh = threshold;
    const double quiet = thresh * 0.5;
    const double r = ratio;
    for (int32_t i = 0; i < count; ++i) {
        const double polL = polarityOf(L[i]), polR = polarityOf(R[i]);
        const double aL = magnitudeOf(L[i]), aR = magnitudeOf(R[i]);
        switch (s) {
        case kCompIdle:
            if (!(thresh < aL || thresh < aR)) break;
            m.oldpeakL = m.oldpeakR = m.newpeakL = m.newpeakR = 0.0;
            m.attackCount = m.releaseCount = 1;
            m.passTL = m.passTR = 0;
            s = kCompAttack;
            [[fallthrough]];
        case kCompAttack:
            if (aL > m.newpeakL) m.newpeakL = aL;
            if (aR > m.newpeakR) m.newpeakR = aR;
            attackSample(L[i], R[i], polL, polR, aL, aR, r, attack, m.attackCount, s);
            break;
        case kCompCompressing:
            L[i] = polL * (aL / r);
            R[i] = polR * (aR / r);
            if (aL > m.newpeakL) m.newpeakL = aL;
            if (aR > m.newpeakR) m.newpeakR = aR;
            if (polL != m.oldpolarL) {
                m.oldpeakL = m.newpeakL;
                m.newpeakL = 0.0;
                m.passTL = m.oldpeakL < quiet ? m.passTL + 1 : 0;
            }
            if (polR != m.oldpolarR) {
                m.oldpeakR = m.newpeakR;
                m.newpeakR = 0.0;
                m.passTR = m.oldpeakR < quiet ? m.passTR + 1 : 0;
            }
            if (m.passTL > 3 && m.passTR > 3) s = kCompRelease;
            break;
        case kCompRelease: {
            if (aL > m.newpeakL) m.newpeakL = aL;
            if (aR > m.newpeakR) m.newpeakR = aR;
            if (polL != m.oldpolarL) {
                m.oldpeakL = m.newpeakL;
                m.newpeakL = 0.0;
            }
            if (polR != m.oldpolarR) {
                m.oldpeakR = m.newpeakR;
                m.newpeakR = 0.0;
            }
            releaseSample(L[i], R[i], polL, polR, aL, aR, r, release,
                          m.oldpeakL < thresh && m.oldpeakR < thresh, m.releaseCount, s);
            break;
        }
        default:
            break;
        }
        m.oldpolarL = polL;
        m.oldpolarR = polR;
    }
    memory.peak[e] = m;
    *state = s;
}

void RMSCOMPRESSOR(int entry, int32_t* state, int32_t count, std::span<double> left,
                   std::span<double> right, int32_t attack, int32_t release, double ratio,
                   int32_t threshold, int32_t* init, DynamicsMemory& memory) {
    assert(entry >= 0 && entry < kStripEntries);
    assert(blockFits(count, left, right));
    const auto e = static_cast<std::size_t>(entry);
    RmsCompEntry& stored = memory.rms[e];
    if (*init == 0) {
        stored.rmsL = stored.rmsR = 0.0f;
        stored.squaresL = stored.squaresR = 0.0f;
        stored.intervalL = stored.intervalR = 0.0f;
        stored.oldpolarL = stored.oldpolarR = 0.0;
        *init = 1;
    }
    if (count < 1) return;
    double* L = left.data();
    double* R = right.data();
    RmsCompEntry m = stored;
    int32_t s = *state;
    // The RMS values are floats: against the threshold they are compared as
    // floats, against half of it (a double) as doubles.
    const float thresh = static_cast<float>(threshold);
    const double quiet = threshold * 0.5;
    const double r = ratio;
    for (int32_t i = 0; i < count; ++i) {
        const double polL = polarityOf(L[i]), polR = polarityOf(R[i]);
        const double aL = magnitudeOf(L[i]), aR = magnitudeOf(R[i]);
        m.squaresL = static_cast<float>(m.squaresL + aL * aL);
        m.squaresR = static_cast<float>(m.squaresR + aR * aR);
        m.intervalL += 1.0f;
        m.intervalR += 1.0f;
        const bool crossL = polL != m.oldpolarL;
        const bool crossR = polR != m.oldpolarR;
        if (crossL) {
            m.rmsL = std::sqrt(m.squaresL / m.intervalL);
            m.squaresL = m.intervalL = 0.0f;
        }
        if (crossR) {
            m.rmsR = std::sqrt(m.squaresR / m.intervalR);
            m.squaresR = m.intervalR = 0.0f;
        }
        m.oldpolarL = polL;
        m.oldpolarR = polR;
        switch (s) {
        case kCompIdle:
            if (!(m.rmsL > thresh || m.rmsR > thresh)) break;
            m.attackCount = m.releaseCount = 1;
            m.passTL = m.passTR = 0;
            s = kCompAttack;
            [[fallthrough]];
        case kCompAttack:
            attackSample(L[i], R[i], polL, polR, aL, aR, r, attack, m.attackCount, s);
            break;
        case kCompCompressing:
            L[i] = polL * (aL / r);
            R[i] = polR * (aR / r);
            if (crossL) m.passTL = m.rmsL < quiet ? m.passTL + 1 : 0;
            if (crossR) m.passTR = m.rmsR < quiet ? m.passTR + 1 : 0;
            if (m.passTL > 3 && m.passTR > 3) s = kCompRelease;
            break;
        case kCompRelease:
            releaseSample(L[i], R[i], polL, polR, aL, aR, r, release,
                          m.rmsL < thresh && m.rmsR < thresh, m.releaseCount, s);
            break;
        default:
            break;
        }
    }
    stored = m;
    *state = s;
}

} // namespace tarvex
