// Master RMS meter.
#include "meters/metering.h"

#include <cmath>

namespace tarvex {

namespace {

void meterSide(int32_t sample, int32_t divisor, float minInterval, float& sumSquares,
               float& countNow, int32_t& prevSign, float& rmsSum, float& intervals) {
    const int32_t sign = sample < 0 ? -1 : 1;
    const float v = static_cast<float>(sample / divisor);
    sumSquares += v * v;
    countNow += 1.0f;
    if (sign != prevSign && countNow > minInterval) {
        // The sample that closes an interval is counted in it.
        rmsSum += std::sqrt(sumSquares / countNow);
        intervals += 1.0f;
        sumSquares = 0.0f;
        countNow = 0.0f;
    }
    prevSign = sign;
}

} // namespace

void measureMasterRms(RmsMeter& m, std::span<const int32_t> left, std::span<const int32_t> right,
                      float minInterval, int32_t divisor, int32_t n) {
    if (m.first == 0) {
        m = RmsMeter{};
        m.first = 1;
    }
    for (int32_t i = 0; i < n; ++i) {
        meterSide(left[i], divisor, minInterval, m.sumSquaresL, m.countNowL, m.signL, m.sumL,
                  m.countL);
        meterSide(right[i], divisor, minInterval, m.sumSquaresR, m.countNowR, m.signR, m.sumR,
                  m.countR);
    }
}

} // namespace tarvex
