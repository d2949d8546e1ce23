// Strip and reverb-input filters: the one-pole `HighPass`, and the `Biquad`
// of the four bands, the two shelves and the reverb inputs.
//
// Each filter works in place on one block of stereo double samples at the
// strip's scale (2^23 full scale for channels, 2^31 for submixes and the
// master; the filters do not depend on it). Before a sample is read its
// magnitude is raised to kDenormalFloor, keeping its sign (0 and -0 become
// +kDenormalFloor), so that no history decays into subnormal numbers. The
// coefficients come ready from the settings (see filter_design.h); between
// blocks each filter keeps its history: the last input and output of the
// high-pass, the last two inputs and outputs of a biquad, and how far its
// seeding went: the first sample (high-pass) or the first two samples
// (biquad) a filter ever receives pass unchanged and seed its history.
// Nothing here allocates.
#pragma once

#include <cstdint>
#include <span>

#include "effects/effect_settings.h"

namespace tarvex {

// Magnitudes below this are raised to it, keeping sign.
constexpr double kDenormalFloor = 0.0001;

// One-pole high-pass, per side y = a y[-1] + b (x - x[-1]), with a the pole
// and b the gain of its coefficients.
class HighPass {
  public:
    // Takes the settings and starts unseeded; before the first block.
    void setUp(const HighPassSettings& settings);
    // One block. Runs in the mix loop.
    void process(int32_t count, std::span<double> left, std::span<double> right);

  private:
    HighPassCoefs coef_;
    double lastInL_ = 0.0, lastOutL_ = 0.0;
    double lastInR_ = 0.0, lastOutR_ = 0.0;
    bool seeded_ = false;
};

// Direct-form biquad.
class Biquad {
  public:
    // Takes the coefficients and starts unseeded; before the first block.
    void setUp(const BiquadCoefs& coef);
    // One block. Runs in the mix loop.
    void process(int32_t count, std::span<double> left, std::span<double> right);

  private:
    enum class Seeding : int32_t { none, half, done }; // nothing, one sample, history seeded
    BiquadCoefs coef_;
    double in1L_ = 0.0, in2L_ = 0.0, out1L_ = 0.0, out2L_ = 0.0;
    double in1R_ = 0.0, in2R_ = 0.0, out1R_ = 0.0, out2R_ = 0.0;
    Seeding seeding_ = Seeding::none;
};

} // namespace tarvex
