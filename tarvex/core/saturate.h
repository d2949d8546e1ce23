// Conversions that truncate toward zero and hold at the limits of the target
// type, so that no signal or time value ever wraps around. Not-a-number
// values become 0.
#pragma once

#include <cstdint>
#include <limits>

namespace tarvex {

// A double truncated toward zero into 32 bits, saturating.
inline int32_t truncToInt32(double v) {
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    if (!(v == v)) return 0;
    return static_cast<int32_t>(v);
}

// The same for a value known to be a number (never NaN), written so that the
// compiler can convert several samples at once: held at the limits first,
// then truncated toward zero. Gives exactly what truncToInt32 gives.
inline int32_t truncFiniteToInt32(double v) {
    v = v < -2147483648.0 ? -2147483648.0 : v;
    v = v > 2147483647.0 ? 2147483647.0 : v;
    return static_cast<int32_t>(v);
}

// A 64-bit sum held at the 32-bit limits.
inline int32_t clampToInt32(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

// a + b held at the 32-bit limits.
inline int32_t saturatingAdd(int32_t a, int32_t b) {
    return clampToInt32(static_cast<int64_t>(a) + b);
}

// dst[i] += src[i] for a block, each sum held at the 32-bit limits. Written
// without branches so that the compiler can work on several samples at once;
// a sum overflows exactly when both inputs differ in sign from the wrapped
// result, and then takes the limit on the side of the first input.
inline void addSaturating(int32_t* dst, const int32_t* src, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        const int32_t a = dst[i];
        const int32_t b = src[i];
        const auto wrapped =
            static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
        const int32_t overflow = ((a ^ wrapped) & (b ^ wrapped)) >> 31; // 0 or -1
        const int32_t limit = (a >> 31) ^ std::numeric_limits<int32_t>::max();
        dst[i] = (wrapped & ~overflow) | (limit & overflow);
    }
}

// Sums and differences of sample positions, held at the 64-bit limits: a
// position read from a damaged file may lie at either limit already.
inline int64_t addPositions(int64_t a, int64_t b) {
    int64_t sum = 0;
    if (!__builtin_add_overflow(a, b, &sum)) return sum;
    return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}
inline int64_t subtractPositions(int64_t a, int64_t b) {
    int64_t difference = 0;
    if (!__builtin_sub_overflow(a, b, &difference)) return difference;
    return b < 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

// A sample position truncated toward zero into 64 bits, saturating.
inline int64_t truncToSamples(double v) {
    if (v >= 9.0e18) return std::numeric_limits<int64_t>::max();
    if (v <= -9.0e18) return std::numeric_limits<int64_t>::min();
    if (!(v == v)) return 0;
    return static_cast<int64_t>(v);
}

} // namespace tarvex
