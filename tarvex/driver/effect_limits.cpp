// Effect value ranges.
#include "driver/effect_limits.h"

#include <cmath>

namespace tarvex {

int64_t clampAttack(int64_t samples, double rate) {
    if (samples < 1) samples = 1;
    if (static_cast<double>(samples) > 2.0 * rate)
        samples = static_cast<int64_t>(std::trunc(2.0 * rate));
    return samples;
}

int64_t clampRelease(int64_t samples, double rate) {
    if (samples < 10) samples = 10;
    if (static_cast<double>(samples) > 5.0 * rate)
        samples = static_cast<int64_t>(std::trunc(5.0 * rate));
    return samples;
}

double clampRatio(double ratio) {
    if (ratio < 1.0) ratio = 1.0;
    if (ratio > 50.0) ratio = 50.0;
    return ratio;
}

double clampFilterFrequency(double hz, double rate) {
    if (hz > rate / 2.0) hz = rate / 2.0;
    if (hz < 1.0) hz = 1.0;
    return hz;
}

double clampEqGain(double dB) {
    if (dB < -15.0) dB = -15.0;
    if (dB > 15.0) dB = 15.0;
    return dB;
}

double clampEqQ(double q) {
    if (q < 0.01) q = 0.01;
    if (q > 100.0) q = 100.0;
    return q;
}

float clampReverbPosition(float percent) {
    if (percent < 0.0f) percent = 0.0f;
    if (percent > 100.0f) percent = 100.0f;
    return percent;
}

} // namespace tarvex
