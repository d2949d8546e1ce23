// The room both reverbs model.
//
// A rectangular room whose width and height are fixed fractions of its
// length, and a listening position given as three percentages: p1 along the
// length, p2 along the height, p3 along the width. Distances are whole
// samples at the song's rate; sound travels 1130 feet per second. The room's
// dimensions in samples keep their fractions: only the six distances are
// truncated (75 feet at 44100 Hz from (37, 39, 43) gives 1844, 1046, 1386,
// 1082, 741, 1159).
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "core/saturate.h"

namespace tarvex {

constexpr double kSpeedOfSound = 1130.0;     // feet per second
constexpr double kRoomWidthRatio = 0.83116;  // room width / room length
constexpr double kRoomHeightRatio = 0.64935; // room height / room length

// Samples per foot, rounded to single precision (39.02655029296875 at 44100 Hz).
inline float samplesPerFoot(double rate) {
    return static_cast<float>(rate / kSpeedOfSound);
}

// A listening position must lie inside the room: a percentage from 0 to 100.
// One above 100 (or not a number) would give negative distances and echoes
// written before the start of a buffer.
inline bool positionInRoom(float percent) {
    return percent >= 0.0f && percent <= 100.0f;
}

// Distances from the listening position to the six surfaces, in samples:
// [0] (1 - p1) x length, [1] p3 x width, [2] (1 - p3) x width,
// [3] p1 x length, [4] p2 x height, [5] (1 - p2) x height.
// Position fractions and their complements are single precision, the
// products double. Positions must satisfy positionInRoom.
inline std::array<int32_t, 6> surfaceDistances(double rate, float feet, float pos1, float pos2,
                                               float pos3) {
    const float spf = samplesPerFoot(rate);
    const float p1 = static_cast<float>(pos1 * 0.01);
    const float p2 = static_cast<float>(pos2 * 0.01);
    const float p3 = static_cast<float>(pos3 * 0.01);
    const double length = static_cast<double>(spf) * feet;
    const double width = static_cast<double>(spf) * kRoomWidthRatio * feet;
    const double height = static_cast<double>(spf) * kRoomHeightRatio * feet;
    return {truncToInt32(static_cast<double>(1.0f - p1) * length),
            truncToInt32(static_cast<double>(p3) * width),
            truncToInt32(static_cast<double>(1.0f - p3) * width),
            truncToInt32(static_cast<double>(p1) * length),
            truncToInt32(static_cast<double>(p2) * height),
            truncToInt32(static_cast<double>(1.0f - p2) * height)};
}

// Travel between the reflection points of two surfaces at distances a and b
// (both at least 0): sqrt(a^2 + b^2) samples, the squares summed exactly.
inline double pairDistance(int32_t a, int32_t b) {
    const int64_t sum = static_cast<int64_t>(a) * a + static_cast<int64_t>(b) * b;
    return std::sqrt(static_cast<double>(sum));
}

} // namespace tarvex
