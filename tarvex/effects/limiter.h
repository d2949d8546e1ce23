// The strip limiter, `Limiter` ("lim").
//
// Samples and the threshold are in the strip's integer units (2^23 full
// scale for channels, 2^31 for submixes and the master). Above a knee 1 dB
// under the threshold (threshold x 0.89125) a magnitude keeps only an eighth
// of its excess over the knee; magnitudes below 0.0001 are raised to it.
// Every sample is rewritten. The limiter keeps nothing between blocks.
#pragma once

#include <cstdint>
#include <span>

#include "effects/effect_settings.h"

namespace tarvex {

// The knee as a fraction of the threshold (-1 dB).
constexpr double kLimiterKnee = 0.89125;
// The part of the excess over the knee that remains.
constexpr double kLimiterSlope = 0.125;

class Limiter {
  public:
    // Takes the settings; before the first block.
    void setUp(const LimiterSettings& settings) { settings_ = settings; }
    // Limits one block. Runs in the mix loop.
    void process(int32_t count, std::span<double> left, std::span<double> right) const;

  private:
    LimiterSettings settings_;
};

} // namespace tarvex
