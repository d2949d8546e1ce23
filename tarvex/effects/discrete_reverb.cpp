// Discrete tap reverb: the tap tables are fixed by the first block; every
// block then adds each sample's echoes into the returns.
//
// Samples whose echoes all fall inside the block (all but the last
// longest-delay samples) write straight into it; only the last stretch
// chooses per echo between this block's return and the next one. Both walk
// the echoes in the same order, so the output does not depend on the split.
#include "effects/discrete_reverb.h"

#include <algorithm>
#include <cmath>

#include "core/console.h"
#include "core/saturate.h"
#include "effects/room_geometry.h"

namespace tarvex {

namespace {

constexpr int kWalls = 6;

// A block against the buffers it is written into.
void checkBlock(int32_t capacity, int32_t count, std::span<const double> sendL,
                std::span<const double> sendR, std::span<int32_t> nextL, std::span<int32_t> nextR,
                std::span<int32_t> currentL, std::span<int32_t> currentR) {
    const auto n = static_cast<std::size_t>(count);
    const auto c = static_cast<std::size_t>(capacity);
    if (capacity < 1 || count < 0 || count > capacity || sendL.size() < n || sendR.size() < n ||
        nextL.size() < c || nextR.size() < c || currentL.size() < c || currentR.size() < c)
        stopRun(1, "DiscreteReverb: a block of %d frames does not fit the reverb's buffers.\n",
                count);
}

void setUpTaps(TapReverbMemory& m, int32_t capacity, double rate, float L, int32_t taps, float p1,
               float p2, float p3) {
    m.taps = std::clamp(taps, int32_t{1}, kMaxTaps);
    if (!positionInRoom(p1) || !positionInRoom(p2) || !positionInRoom(p3))
        stopRun(1, ">>> Error:  Illegal value for reverb position parameter\n");
    // A size that is not a number is refused with the negative ones.
    if (!(L >= 0.0f)) stopRun(1, ">>> Error:  Illegal value for tap reverb room size\n");
    const std::array<int32_t, kWalls> e = surfaceDistances(rate, L, p1, p2, p3);
    for (int32_t distance : e)
        if (distance > kMaxWallDistance)
            stopRun(1, ">>> Error: A tap reverb dimension has exceeded the limit\n");

    // The walls in the order the reflection path turns through them: left,
    // right, front, rear, ceiling, floor.
    const std::array<int32_t, kWalls> wall{e[1], e[2], e[0], e[3], e[5], e[4]};
    std::array<std::array<float, kWalls>, kWalls> between{};
    for (int a = 0; a < kWalls; ++a)
        for (int b = 0; b < kWalls; ++b)
            between[a][b] = static_cast<float>(pairDistance(wall[a], wall[b]));
    std::array<std::array<int32_t, kWalls>, kMaxTaps> delay{}; // [tap][wall]
    for (int j = 0; j < kWalls; ++j)
        delay[0][j] = 2 * wall[j];
    for (int k = 1; k < m.taps; ++k) {
        const int shift = (k - 1) % 5 + 1;
        for (int j = 0; j < kWalls; ++j) {
            const int from = (j + shift) % kWalls;
            const float path = static_cast<float>(wall[j] + delay[k - 1][from]);
            delay[k][j] = truncToInt32(path + between[j][from]);
        }
    }
    // Every echo of a tap is at least as late as the echo it continues, so
    // the last tap holds the longest delay of all.
    const auto& last = delay[m.taps - 1];
    const int32_t longest = std::max(0, *std::max_element(last.begin(), last.end()));
    if (longest >= capacity) {
        const float ratio = static_cast<float>(capacity) / static_cast<float>(longest);
        stopRun(1,
                ">>> Error:  Please decrease reverb tap number to %i or room length to %.0f "
                "feet\n",
                truncToInt32(m.taps * ratio - 1), L * ratio - 1);
    }
    for (int k = 0; k < kMaxTaps; ++k) {
        m.Rleft[k] = delay[k][0];
        m.Rright[k] = delay[k][1];
        m.Rfrntwall[k] = delay[k][2];
        m.Rrearwall[k] = delay[k][3];
        m.Rceil[k] = delay[k][4];
        m.Rfloor[k] = delay[k][5];
        m.atten[k] = k < m.taps ? std::ldexp(1.0, -(k + 1)) : 0.0;
    }
    m.longestTap = longest;
    m.setUp = 1;
}

// Adds the echoes of samples from .. to - 1. Inside: every echo of these
// samples lands in this block.
template <bool kInside>
void echoes(TapReverbMemory& m, int32_t from, int32_t to, int32_t n, const double* sendL,
            const double* sendR, int32_t* nextL, int32_t* nextR, int32_t* currentL,
            int32_t* currentR) {
    auto add = [n](int32_t* current, int32_t* next, int32_t t, double value) {
        int32_t* cell;
        if constexpr (kInside)
            cell = current + t;
        else
            cell = t < n ? current + t : next + (t - n);
        *cell = truncToInt32(static_cast<double>(*cell) + value);
    };
    const int32_t taps = m.taps;
    for (int32_t i = from; i < to; ++i) {
        for (int32_t k = 0; k < taps; ++k) {
            m.tapoutL[k] = sendL[i] * m.atten[k];
            m.tapoutR[k] = sendR[i] * m.atten[k];
        }
        for (int32_t k = 0; k < taps; ++k) {
            const double left = m.tapoutL[k];
            const double right = m.tapoutR[k];
            add(currentL, nextL, i + m.Rleft[k], left);
            add(currentR, nextR, i + m.Rright[k], right);
            add(currentL, nextL, i + m.Rfloor[k], left);
            add(currentR, nextR, i + m.Rfloor[k], right);
            add(currentL, nextL, i + m.Rceil[k], left);
            add(currentR, nextR, i + m.Rceil[k], right);
            add(currentL, nextL, i + m.Rfrntwall[k], left);
            add(currentR, nextR, i + m.Rfrntwall[k], right);
            add(currentL, nextL, i + m.Rrearwall[k], left);
            add(currentR, nextR, i + m.Rrearwall[k], right);
        }
    }
}

} // namespace

void DiscreteReverb(int32_t capacity, TapReverbMemory& memory, int32_t count, double rate,
                    std::span<const double> sendL, std::span<const double> sendR, float L,
                    std::span<int32_t> nextL, std::span<int32_t> nextR, std::span<int32_t> currentL,
                    std::span<int32_t> currentR, int32_t taps, float p1, float p2, float p3) {
    checkBlock(capacity, count, sendL, sendR, nextL, nextR, currentL, currentR);
    if (memory.setUp == 0) setUpTaps(memory, capacity, rate, L, taps, p1, p2, p3);
    const int32_t inside = std::clamp(count - memory.longestTap, int32_t{0}, count);
    echoes<true>(memory, 0, inside, count, sendL.data(), sendR.data(), nextL.data(), nextR.data(),
                 currentL.data(), currentR.data());
    echoes<false>(memory, inside, count, count, sendL.data(), sendR.data(), nextL.data(),
                  nextR.data(), currentL.data(), currentR.data());
}

} // namespace tarvex
