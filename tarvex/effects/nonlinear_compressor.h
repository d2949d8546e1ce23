// The non-linear compressor of the strips, `NonLinCOMP` ("nlc").
//
// Samples and the threshold are in the strip's integer units (2^23 full
// scale for channels, 2^31 for submixes and the master). Each side measures
// the RMS of stretches of at least `window` samples that end on one of its
// zero crossings (single precision), smooths the last three as
// S = (3 new + 2 previous + older) / 6 and takes the raw gain
// T/S + (1 - T/S)/ratio for threshold T. Each side then plays the average of
// both sides' raw gains, never more than 1, until its next update; every
// sample is rewritten with it. Between blocks it keeps, per strip entry, the
// running sums, the last three RMS values, the raw and played gains and the
// last polarities in `DynamicsMemory` (compressors.h), which the run owns.
#pragma once

#include <cstdint>
#include <span>

#include "effects/compressors.h"

namespace tarvex {

// Non-linear compressor over one block of strip entry `entry`, with a
// minimum stretch of `window` samples. While the first-call flag *init
// (normally &memory.nlcInit[entry]) is 0, the call first sets the entry's
// memory up (gains 1.0) and sets it to 1. Runs in the mix loop.
void NonLinCOMP(int entry, int32_t count, std::span<double> left, std::span<double> right,
                int64_t window, double ratio, int32_t threshold, int32_t* init,
                DynamicsMemory& memory);

} // namespace tarvex
