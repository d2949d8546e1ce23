// The non-linear compressor of the strips, `NonlinearCompressor` ("nlc").
//
// Samples and the threshold are in the strip's integer units (2^23 full
// scale for channels, 2^31 for submixes and the master). Each side measures
// the RMS of stretches of at least `window` samples that end on one of its
// zero crossings (single precision), smooths the last three as
// S = (3 new + 2 previous + older) / 6 and takes the raw gain
// T/S + (1 - T/S)/ratio for threshold T. Each side then plays the average of
// both sides' raw gains, never more than 1, until its next update; every
// sample is rewritten with it. Between blocks it keeps the running sums, the
// last three RMS values, the raw and played gains and the last polarities.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "effects/compressors.h"

namespace tarvex {

class NonlinearCompressor {
  public:
    // Takes the settings and starts with gains of 1.0; before the first block.
    void setUp(const NonlinearSettings& settings);
    // One block, with a minimum stretch of the settings' window. Runs in the mix loop.
    void process(int32_t count, std::span<double> left, std::span<double> right);

    struct Memory {
        float rmsL, rmsR;                 // RMS of the last measured stretch, sample units
        std::array<float, 2> earlierRmsL; // the RMS before it [0] and the one before that [1]
        std::array<float, 2> earlierRmsR;
        double rawGainL, rawGainR;            // raw gain of each side's last update (1.0 at first)
        double playedGainL, playedGainR;      // gain played on each side, at most 1.0
        float squaresL, squaresR;             // sum of squares of the running stretch
        float intervalL, intervalR;           // samples in the running stretch
        int32_t lastPolarityL, lastPolarityR; // polarity of the previous sample (+-1; 0 before any)
    };
    const Memory& memory() const { return memory_; }

  private:
    NonlinearSettings settings_;
    Memory memory_{};
};

} // namespace tarvex
