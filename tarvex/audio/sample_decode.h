// Sample decoding of input files.
//
// Turns the sample bytes of a WAV file into channel samples with full scale
// 2^23 = 8388608: 16-bit values are multiplied by 256, 24-bit values are kept
// as they are, and 32-bit floats are multiplied by 8388608 (so 1.0 becomes
// 8388608), truncated toward zero and saturated at the 32-bit limits. Nothing
// is kept between calls; both functions run in the mix loop.
#pragma once

#include <cstdint>
#include <span>

#include "core/scales.h"

namespace tarvex {

// Decodes one little-endian 32-bit float sample, b0 first in the file, to the
// channel scale. The result is (2m + 2) * sign * 2^(e - 105) for the mantissa
// fraction m and biased exponent e, truncated toward zero and saturated:
// every value of magnitude 256.0 or more, infinities and NaNs saturate with
// their sign; zero, denormals and values below 2^-23 give 0. Runs in the mix
// loop for every float sample.
int32_t floatBytesToSample(int b0, int b1, int b2, int b3);

// Decodes `frames` frames of raw sample bytes (frames * fileChannels *
// bytesPerSample bytes, in file order) into left and, for a stereo file,
// right. A mono file fills only left. bytesPerSample is 2, 3 or 4. Runs in
// the mix loop once per channel and block; allocates nothing.
void decodeSamples(std::span<const uint8_t> raw, int32_t bytesPerSample, int32_t fileChannels,
                   int32_t frames, std::span<int32_t> left, std::span<int32_t> right);

} // namespace tarvex
