// Decoding of 16-bit, 24-bit and float input samples.
#include "audio/sample_decode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace tarvex {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

int32_t convertBits(uint32_t bits) {
    return floatBytesToSample(bits & 0xFF, (bits >> 8) & 0xFF, (bits >> 16) & 0xFF, bits >> 24);
}

int32_t convertFloat(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return convertBits(bits);
}

// The decoder written out term by term: power tables, twice the mantissa
// fraction, the biased exponent, then (decimal + 2) * sign * 2^(exponent - 105).
int32_t tableFormula(uint32_t fp) {
    static double dpowers[23];
    static int epowers[8];
    static bool initialize = false;
    if (!initialize) {
        for (int k = 0; k < 23; ++k)
            dpowers[k] = std::pow(2.0, -k);
        for (int k = 0; k < 8; ++k)
            epowers[k] = 1 << k;
        initialize = true;
    }
    double decimal = 0.0;
    for (int k = 0; k < 23; ++k)
        decimal += ((fp >> (22 - k)) & 1u) * dpowers[k];
    int exponent = 0;
    for (int k = 0; k < 8; ++k)
        exponent += ((fp >> (23 + k)) & 1u) * epowers[k];
    const double sign = (fp >> 31) ? -1.0 : 1.0;
    const double v = (decimal + 2.0) * sign * std::pow(2.0, exponent - 105);
    if (v >= 2147483648.0) return kMax;
    if (v <= -2147483649.0) return kMin;
    return static_cast<int32_t>(std::trunc(v));
}

TEST(floatBytesToSample, WorkedValues) {
    EXPECT_EQ(convertFloat(1.0f), 8388608);
    EXPECT_EQ(convertFloat(-0.5f), -4194304);
    EXPECT_EQ(convertFloat(0.0f), 0);
    EXPECT_EQ(convertFloat(1.0e-7f), 0); // below 2^-23
    EXPECT_EQ(convertFloat(-1.5e-7f), -1);
    EXPECT_EQ(convertFloat(std::nextafter(256.0f, 0.0f)), 2147483520);
    EXPECT_EQ(convertFloat(256.0f), kMax);
    EXPECT_EQ(convertFloat(-256.0f), kMin);
    EXPECT_EQ(convertBits(0x7FC00000u), kMax); // NaN and infinity saturate by sign
    EXPECT_EQ(convertBits(0xFF800000u), kMin);
}

TEST(floatBytesToSample, EqualsTableFormulaForEveryExponent) {
    std::vector<uint32_t> mantissas{0, 1, 2, 0x400000, 0x7FFFFE, 0x7FFFFF};
    for (uint32_t m = 3; m < 0x800000; m += 4093)
        mantissas.push_back(m);
    for (uint32_t sign = 0; sign < 2; ++sign) {
        for (uint32_t exponent = 0; exponent < 256; ++exponent) {
            for (uint32_t m : mantissas) {
                const uint32_t fp = (sign << 31) | (exponent << 23) | m;
                ASSERT_EQ(convertBits(fp), tableFormula(fp)) << std::hex << fp;
            }
        }
    }
}

TEST(DecodeSamples, MonoAndStereoInEachFormat) {
    std::vector<int32_t> left(2, 99), right(2, 99);
    // 16-bit: value * 256.
    const std::vector<uint8_t> mono16{0x01, 0x80, 0xFF, 0x7F};
    decodeSamples(mono16, 2, 1, 2, left, right);
    EXPECT_EQ(left, (std::vector<int32_t>{-32767 * 256, 32767 * 256}));
    EXPECT_EQ(right, (std::vector<int32_t>{99, 99}));

    // 24-bit stereo: left from the first half of the frame.
    const std::vector<uint8_t> stereo24{0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F,
                                        0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00};
    decodeSamples(stereo24, 3, 2, 2, left, right);
    EXPECT_EQ(left, (std::vector<int32_t>{-8388608, -1}));
    EXPECT_EQ(right, (std::vector<int32_t>{8388607, 1}));

    // Float stereo: 1.0 | -0.5, then 0.25 | 300.0 (saturated).
    const std::vector<uint8_t> stereoFloat{0, 0, 0x80, 0x3F, 0, 0, 0,    0xBF,
                                           0, 0, 0x80, 0x3E, 0, 0, 0x96, 0x43};
    decodeSamples(stereoFloat, 4, 2, 2, left, right);
    EXPECT_EQ(left, (std::vector<int32_t>{8388608, 2097152}));
    EXPECT_EQ(right, (std::vector<int32_t>{-4194304, kMax}));
}

} // namespace
TEST(DecodeSamples, StereoTwentyFourBitEqualsByteByByteAtEveryLength) {
    // Stereo 24-bit frames are read a word at a time; the bytes end exactly
    // where the data ends (a read past them shows under the sanitizers).
    for (int32_t frames : {1, 2, 3, 7, 64, 1001}) {
        std::vector<uint8_t> raw(static_cast<std::size_t>(frames) * 6);
        uint32_t seed = 12345u + static_cast<uint32_t>(frames);
        for (uint8_t& b : raw) {
            seed = seed * 1103515245u + 12345u;
            b = static_cast<uint8_t>(seed >> 16);
        }
        if (frames > 2) { // both extremes on each side
            raw[0] = 0xFF, raw[1] = 0xFF, raw[2] = 0x7F;
            raw[3] = 0x00, raw[4] = 0x00, raw[5] = 0x80;
        }
        std::vector<int32_t> left(static_cast<std::size_t>(frames)), right(left.size());
        decodeSamples(raw, 3, 2, frames, left, right);
        for (int32_t i = 0; i < frames; ++i) {
            const uint8_t* f = raw.data() + 6 * i;
            EXPECT_EQ(left[static_cast<std::size_t>(i)],
                      f[0] + f[1] * 256 + static_cast<int8_t>(f[2]) * 65536);
            EXPECT_EQ(right[static_cast<std::size_t>(i)],
                      f[3] + f[4] * 256 + static_cast<int8_t>(f[5]) * 65536);
        }
    }
}

} // namespace tarvex
