// Level meters of the mix: the master RMS meter and the peak helpers.
//
// The RMS meter measures each output side in intervals that run from zero
// crossing to zero crossing and last more than a tenth of a second; the report
// shows the mean of the interval RMS values. Intervals continue across blocks;
// the part of an interval still open after the last block is not counted.
// All meter arithmetic is single precision.
#pragma once

#include <cstdint>
#include <span>

namespace tarvex {

// State of the master RMS meter, owned by the run.
struct RmsMeter {
    int32_t first = 0;        // 0 until the first call has cleared the sums
    float sumSquaresL = 0.0f; // squares of the open interval, left (output steps^2)
    float sumSquaresR = 0.0f; // squares of the open interval, right
    float countNowL = 0.0f;   // samples in the open interval, left
    float countNowR = 0.0f;   // samples in the open interval, right
    int32_t signL = 0;        // sign of the previous left sample (-1, +1; 0 at start)
    int32_t signR = 0;        // sign of the previous right sample
    float sumL = 0.0f;        // sum of the closed intervals' RMS values, left
    float sumR = 0.0f;        // sum of the closed intervals' RMS values, right
    float countL = 0.0f;      // number of closed intervals, left
    float countR = 0.0f;      // number of closed intervals, right
};

// Runs the meter over one block of master samples (2^31 full scale); each
// sample is divided by `divisor` (toward zero) before it is squared.
// Runs in the mix loop, once per block.
void measureMasterRms(RmsMeter& meter, std::span<const int32_t> left,
                      std::span<const int32_t> right, float minInterval, int32_t divisor,
                      int32_t n);

// |v| as an unsigned integer, so the most negative sample counts as 2^31.
inline uint32_t magnitudeOf(int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    return v < 0 ? 0u - u : u;
}

// The largest |v| of a block, in one pass the compiler can vectorise.
inline uint32_t largestMagnitude(const int32_t* v, int32_t n) {
    uint32_t most = 0;
    for (int32_t i = 0; i < n; ++i) {
        const uint32_t magnitude = magnitudeOf(v[i]);
        most = magnitude > most ? magnitude : most;
    }
    return most;
}

// Raises a peak entry to the largest |v| of a block; the block's maximum is
// converted once. Runs in the mix loop.
inline void raisePeak(double& peak, const int32_t* v, int32_t n) {
    const double a = static_cast<double>(largestMagnitude(v, n));
    if (a > peak) peak = a;
}

} // namespace tarvex
