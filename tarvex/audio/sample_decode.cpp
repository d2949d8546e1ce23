// Sample decoding of 16-bit, 24-bit and float input.
//
// The float decoder works on the float's own value: scaling a float by 2^23
// in double precision is exact, so truncating that product gives the same
// integer as assembling sign, exponent and mantissa by hand. Only the
// exponent-255 patterns (infinities and NaNs) have no float value to scale;
// by the same rule they are far beyond full scale and saturate with their sign.
#include "audio/sample_decode.h"
#include "core/vector_clones.h"

#include <cassert>
#include <cstring>
#include <limits>

namespace tarvex {

namespace {

// Truncates toward zero and saturates at the 32-bit limits.
int32_t truncateSaturate(double v) {
    if (v >= 2147483648.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483649.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

int32_t decode16(const uint8_t* b) {
    return b[0] * 256 + static_cast<int8_t>(b[1]) * 65536;
}

int32_t decode24(const uint8_t* b) {
    return b[0] + b[1] * 256 + static_cast<int8_t>(b[2]) * 65536;
}

int32_t decodeFloat(const uint8_t* b) {
    return floatBytesToSample(b[0], b[1], b[2], b[3]);
}

// The sample width is a constant of each instance, so the stride through the
// bytes is known to the compiler.
template <int32_t (*Decode)(const uint8_t*), int32_t bytes>
void decodeBlock(const uint8_t* raw, int32_t fileChannels, int32_t frames, int32_t* left,
                 int32_t* right) {
    if (fileChannels == 2) {
        for (int32_t i = 0; i < frames; ++i, raw += 2 * bytes) {
            left[i] = Decode(raw);
            right[i] = Decode(raw + bytes);
        }
    } else {
        for (int32_t i = 0; i < frames; ++i, raw += bytes)
            left[i] = Decode(raw);
    }
}

// Stereo 24-bit frames, all but the last read as one 8-byte little-endian
// word each (the two bytes beyond the frame belong to the next one): both
// samples are shifted out of it and sign-extended, the same values as
// decode24 gives byte by byte.
void decodeStereo24(const uint8_t* raw, int32_t frames, int32_t* left, int32_t* right) {
    const int32_t words = frames - 1;
    for (int32_t i = 0; i < words; ++i, raw += 6) {
        uint64_t w;
        std::memcpy(&w, raw, sizeof(w));
        const auto low = static_cast<uint32_t>(w);
        const auto high = static_cast<uint32_t>(w >> 24);
        left[i] = static_cast<int32_t>(low << 8) >> 8;
        right[i] = static_cast<int32_t>(high << 8) >> 8;
    }
    left[words] = decode24(raw);
    right[words] = decode24(raw + 3);
}

} // namespace

int32_t floatBytesToSample(int b0, int b1, int b2, int b3) {
    const uint32_t bits =
        (static_cast<uint32_t>(b0) & 0xFFu) | ((static_cast<uint32_t>(b1) & 0xFFu) << 8) |
        ((static_cast<uint32_t>(b2) & 0xFFu) << 16) | ((static_cast<uint32_t>(b3) & 0xFFu) << 24);
    const bool negative = (bits >> 31) != 0;
    if (((bits >> 23) & 0xFFu) == 0xFFu) {
        return negative ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
    }
    float value;
    static_assert(sizeof(value) == sizeof(bits));
    std::memcpy(&value, &bits, sizeof(value));
    return truncateSaturate(static_cast<double>(value) * kChannelFullScale);
}

TARVEX_VECTOR_CLONES
void decodeSamples(std::span<const uint8_t> raw, int32_t bytesPerSample, int32_t fileChannels,
                   int32_t frames, std::span<int32_t> left, std::span<int32_t> right) {
    if (frames < 1) return;
    [[maybe_unused]] const size_t count = static_cast<size_t>(frames);
    assert(fileChannels == 1 || fileChannels == 2);
    assert(raw.size() >= count * static_cast<size_t>(fileChannels * bytesPerSample));
    assert(left.size() >= count);
    assert(fileChannels == 1 || right.size() >= count);
    switch (bytesPerSample) {
    case 2:
        decodeBlock<decode16, 2>(raw.data(), fileChannels, frames, left.data(), right.data());
        break;
    case 3:
        if (fileChannels == 2)
            decodeStereo24(raw.data(), frames, left.data(), right.data());
        else
            decodeBlock<decode24, 3>(raw.data(), fileChannels, frames, left.data(), right.data());
        break;
    case 4:
        decodeBlock<decodeFloat, 4>(raw.data(), fileChannels, frames, left.data(), right.data());
        break;
    default:
        assert(false && "bytes per sample must be 2, 3 or 4");
        break;
    }
}

} // namespace tarvex
