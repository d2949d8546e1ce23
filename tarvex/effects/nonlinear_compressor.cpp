// Non-linear compressor. One pass over the block with its memory in
// locals, stored back after the block. The stretch length is compared with
// the window as floats and the smoothed RMS is rounded to a float; the gains
// are worked in double precision.
#include "effects/nonlinear_compressor.h"

#include <cassert>
#include <cmath>

namespace tarvex {

namespace {

// Ends one side's stretch: its RMS joins the last two, and the side's raw
// gain and played gain follow; `otherRawGain` is the other side's raw gain.
inline void updateSide(float& squares, float& interval, float& rms, std::array<float, 2>& earlier,
                       double& rawGain, double& playedGain, double otherRawGain, double thresh,
                       double ratio) {
    const float now = std::sqrt(squares / interval);
    earlier[1] = earlier[0];
    earlier[0] = rms;
    rms = now;
    const auto smooth =
        static_cast<float>((3.0 * static_cast<double>(rms) + 2.0 * static_cast<double>(earlier[0]) +
                            static_cast<double>(earlier[1])) /
                           6.0);
    const double share = thresh / static_cast<double>(smooth);
    rawGain = share + (1.0 - share) / ratio;
    const double candidate = 0.5 * rawGain + 0.5 * otherRawGain;
    playedGain = candidate <= 1.0 ? candidate : 1.0;
    squares = interval = 0.0f;
}

} // namespace

void NonlinearCompressor::setUp(const NonlinearSettings& settings) {
    settings_ = settings;
    memory_ = Memory{};
    memory_.rawGainL = memory_.rawGainR = 1.0;
    memory_.playedGainL = memory_.playedGainR = 1.0;
}

void NonlinearCompressor::process(int32_t count, std::span<double> left, std::span<double> right) {
    assert(blockFits(count, left, right));
    if (count < 1) return;
    double* L = left.data();
    double* R = right.data();
    Memory m = memory_;
    const auto minStretch = static_cast<float>(settings_.window);
    const double thresh = settings_.threshold;
    const double ratio = settings_.ratio;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t polL = L[i] >= 0.0 ? 1 : -1;
        const int32_t polR = R[i] >= 0.0 ? 1 : -1;
        const double aL = magnitudeOf(L[i]), aR = magnitudeOf(R[i]);
        m.squaresL = static_cast<float>(m.squaresL + aL * aL);
        m.squaresR = static_cast<float>(m.squaresR + aR * aR);
        m.intervalL += 1.0f;
        m.intervalR += 1.0f;
        if (polL != m.lastPolarityL && m.intervalL > minStretch)
            updateSide(m.squaresL, m.intervalL, m.rmsL, m.earlierRmsL, m.rawGainL, m.playedGainL,
                       m.rawGainR, thresh, ratio);
        if (polR != m.lastPolarityR && m.intervalR > minStretch)
            updateSide(m.squaresR, m.intervalR, m.rmsR, m.earlierRmsR, m.rawGainR, m.playedGainR,
                       m.rawGainL, thresh, ratio);
        L[i] = static_cast<double>(polL) * aL * m.playedGainL;
        R[i] = static_cast<double>(polR) * aR * m.playedGainR;
        m.lastPolarityL = polL;
        m.lastPolarityR = polR;
    }
    memory_ = m;
}

} // namespace tarvex
