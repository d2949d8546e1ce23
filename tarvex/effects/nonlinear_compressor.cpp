// Non-linear compressor. One pass over the block with the entry's memory in
// locals, stored back after the block. The stretch length is compared with
// the window as floats and the smoothed RMS is rounded to a float; the gains
// are worked in double precision.
#include "effects/nonlinear_compressor.h"

#include <cassert>
#include <cmath>

namespace tarvex {

namespace {

// Ends one side's stretch: its RMS joins the last two, and the side's raw
// gain and played gain follow; `otherGamma` is the other side's raw gain.
inline void updateSide(float& squares, float& interval, float& rms, std::array<float, 2>& oldrms,
                       double& gamma, double& grandGamma, double otherGamma, double thresh,
                       double ratio) {
    const float now = std::sqrt(squares / interval);
    oldrms[1] = oldrms[0];
    oldrms[0] = rms;
    rms = now;
    const auto smooth =
        static_cast<float>((3.0 * static_cast<double>(rms) + 2.0 * static_cast<double>(oldrms[0]) +
                            static_cast<double>(oldrms[1])) /
                           6.0);
    const double share = thresh / static_cast<double>(smooth);
    gamma = share + (1.0 - share) / ratio;
    const double candidate = 0.5 * gamma + 0.5 * otherGamma;
    grandGamma = candidate <= 1.0 ? candidate : 1.0;
    squares = interval = 0.0f;
}

} // namespace

void NonLinCOMP(int entry, int32_t count, std::span<double> left, std::span<double> right,
                int64_t window, double ratio, int32_t threshold, int32_t* init,
                DynamicsMemory& memory) {
    assert(entry >= 0 && entry < kStripEntries);
    assert(blockFits(count, left, right));
    const auto e = static_cast<std::size_t>(entry);
    NlcEntry& stored = memory.nlc[e];
    if (*init == 0) {
        stored = NlcEntry{};
        stored.gammaL = stored.gammaR = 1.0;
        stored.GrandGammaL = stored.GrandGammaR = 1.0;
        *init = 1;
    }
    if (count < 1) return;
    double* L = left.data();
    double* R = right.data();
    NlcEntry m = stored;
    const auto minStretch = static_cast<float>(window);
    const double thresh = threshold;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t polL = L[i] >= 0.0 ? 1 : -1;
        const int32_t polR = R[i] >= 0.0 ? 1 : -1;
        const double aL = magnitudeOf(L[i]), aR = magnitudeOf(R[i]);
        m.squaresL = static_cast<float>(m.squaresL + aL * aL);
        m.squaresR = static_cast<float>(m.squaresR + aR * aR);
        m.intervalL += 1.0f;
        m.intervalR += 1.0f;
        if (polL != m.oldpolarL && m.intervalL > minStretch)
            updateSide(m.squaresL, m.intervalL, m.rmsL, m.oldrmsL, m.gammaL, m.GrandGammaL,
                       m.gammaR, thresh, ratio);
        if (polR != m.oldpolarR && m.intervalR > minStretch)
            updateSide(m.squaresR, m.intervalR, m.rmsR, m.oldrmsR, m.gammaR, m.GrandGammaR,
                       m.gammaL, thresh, ratio);
        L[i] = static_cast<double>(polL) * aL * m.GrandGammaL;
        R[i] = static_cast<double>(polR) * aR * m.GrandGammaR;
        m.oldpolarL = polL;
        m.oldpolarR = polR;
    }
    stored = m;
}

} // namespace tarvex
