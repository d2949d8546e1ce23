// WAV output: the 44-byte header and the sample encoders.
//
// The mix file (and the reverb tap file) is plain integer PCM, 16 or 24 bits,
// mono or stereo. The header is written once, before the mix loop, with the
// final sizes; the loop then appends the encoded blocks. Output samples are
// the master (full scale 2^31) divided by 256 for 24-bit or 65536 for 16-bit
// output, rounded toward zero; the encoders take those divided values and
// write them little-endian, two's complement, left before right.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/scales.h"

namespace tarvex {

// Size of the header written before the samples.
constexpr int32_t kWavHeaderBytes = 44;
// Output shifts from the master scale (2^31) to 24-bit (2^23) and 16-bit
// (2^15) samples.
constexpr int kShift24 = outputShift(24);
constexpr int kShift16 = outputShift(16);

// Fills out with the header of a PCM file of `frames` frames. Sizes are
// computed in 64 bits and stored modulo 2^32; callers check dataSizeFits first.
// A negative frame count counts as 0.
void makeHeaderBytes(std::span<uint8_t, 44> out, uint32_t rate, uint32_t bits, int32_t channels,
                     int32_t frames);

// Creates or truncates the file at path and writes the header into it.
// Returns false when the file cannot be created, written or closed; errno
// then holds the reason. Prints nothing.
bool writeWavHeader(const std::string& path, uint32_t rate, uint32_t bits, int32_t channels,
                    int32_t frames);

// True when the data size of `frames` frames plus 36 fits the 32-bit size
// fields of the header.
bool dataSizeFits(int32_t channels, uint32_t bits, int64_t frames);

// Divides a master sample by 2^shift rounding toward zero (shift 8 for 24-bit
// output, 16 for 16-bit output). Runs in the mix loop.
inline int32_t divideTowardZero(int32_t v, int shift) {
    // Adding 2^shift - 1 to a negative value cannot overflow, and an
    // arithmetic right shift then rounds toward zero instead of down.
    if (v < 0) v += (int32_t{1} << shift) - 1;
    return v >> shift;
}

// Encoders: n frames (or samples) from the arrays into out, low byte first.
// Values outside the output range give their low 16 or 24 bits. Nothing is
// written when n is below 1. They run in the mix loop once per block.
void encodeStereo16(std::span<const int32_t> left, std::span<const int32_t> right,
                    std::span<uint8_t> out, int32_t n);
void encodeStereo24(std::span<const int32_t> left, std::span<const int32_t> right,
                    std::span<uint8_t> out, int32_t n);
void encodeMono16(std::span<const int32_t> in, std::span<uint8_t> out, int32_t n);
void encodeMono24(std::span<const int32_t> in, std::span<uint8_t> out, int32_t n);

} // namespace tarvex
