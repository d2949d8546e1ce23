// Discrete tap reverb: the tap tables are fixed before the first block; every
// block then adds each sample's echoes into the returns.
//
// Samples whose echoes all fall inside the block (all but the last
// longest-delay samples) write straight into it; only the last stretch
// chooses per echo between this block's return and the next one. Both walk
// the echoes in the same order, so the output does not depend on the split.
#include "effects/discrete_reverb.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "core/saturate.h"
#include "core/text_format.h"
#include "effects/room_geometry.h"

namespace tarvex {

namespace {

constexpr int kWalls = 6;

} // namespace

SetUpResult TapReverb::setUp(const TapReverbSettings& settings, double rate, int32_t capacity) {
    const float L = settings.roomFeet;
    const float p1 = settings.position[0], p2 = settings.position[1], p3 = settings.position[2];
    capacity_ = capacity;
    tapCount_ = std::clamp(settings.taps, int32_t{1}, kMaxTaps);
    if (!positionInRoom(p1) || !positionInRoom(p2) || !positionInRoom(p3))
        return {">>> Error:  Illegal value for reverb position parameter\n"};
    // A size that is not a number is refused with the negative ones.
    if (!(L >= 0.0f)) return {">>> Error:  Illegal value for tap reverb room size\n"};
    const std::array<int32_t, kWalls> e = surfaceDistances(rate, L, p1, p2, p3);
    for (int32_t distance : e)
        if (distance > kMaxWallDistance)
            return {">>> Error: A tap reverb dimension has exceeded the limit\n"};

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
    for (int k = 1; k < tapCount_; ++k) {
        const int shift = (k - 1) % 5 + 1;
        for (int j = 0; j < kWalls; ++j) {
            const int from = (j + shift) % kWalls;
            const float path = static_cast<float>(wall[j] + delay[k - 1][from]);
            delay[k][j] = truncToInt32(path + between[j][from]);
        }
    }
    // Every echo of a tap is at least as late as the echo it continues, so
    // the last tap holds the longest delay of all.
    const auto& last = delay[tapCount_ - 1];
    const int32_t longest = std::max(0, *std::max_element(last.begin(), last.end()));
    if (longest >= capacity) {
        const float ratio = static_cast<float>(capacity) / static_cast<float>(longest);
        SetUpResult failed;
        appendf(failed.message,
                ">>> Error:  Please decrease reverb tap number to %i or room length to %.0f "
                "feet\n",
                truncToInt32(tapCount_ * ratio - 1), L * ratio - 1);
        return failed;
    }
    for (int k = 0; k < kMaxTaps; ++k) {
        leftWallDelay_[k] = delay[k][0];
        rightWallDelay_[k] = delay[k][1];
        frontWallDelay_[k] = delay[k][2];
        rearWallDelay_[k] = delay[k][3];
        ceilingDelay_[k] = delay[k][4];
        floorDelay_[k] = delay[k][5];
        tapGain_[k] = k < tapCount_ ? std::ldexp(1.0, -(k + 1)) : 0.0;
    }
    longestTap_ = longest;
    return {};
}

// Adds the echoes of samples from .. to - 1. Inside: every echo of these
// samples lands in this block.
template <bool kInside>
void TapReverb::echoes(int32_t from, int32_t to, int32_t n, const double* sendL,
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
    const int32_t taps = tapCount_;
    for (int32_t i = from; i < to; ++i) {
        for (int32_t k = 0; k < taps; ++k) {
            tapSendL_[k] = sendL[i] * tapGain_[k];
            tapSendR_[k] = sendR[i] * tapGain_[k];
        }
        for (int32_t k = 0; k < taps; ++k) {
            const double left = tapSendL_[k];
            const double right = tapSendR_[k];
            add(currentL, nextL, i + leftWallDelay_[k], left);
            add(currentR, nextR, i + rightWallDelay_[k], right);
            add(currentL, nextL, i + floorDelay_[k], left);
            add(currentR, nextR, i + floorDelay_[k], right);
            add(currentL, nextL, i + ceilingDelay_[k], left);
            add(currentR, nextR, i + ceilingDelay_[k], right);
            add(currentL, nextL, i + frontWallDelay_[k], left);
            add(currentR, nextR, i + frontWallDelay_[k], right);
            add(currentL, nextL, i + rearWallDelay_[k], left);
            add(currentR, nextR, i + rearWallDelay_[k], right);
        }
    }
}

void TapReverb::process(int32_t count, std::span<const double> sendL, std::span<const double> sendR,
                        std::span<int32_t> nextL, std::span<int32_t> nextR,
                        std::span<int32_t> currentL, std::span<int32_t> currentR) {
    [[maybe_unused]] const auto n = static_cast<std::size_t>(count);
    [[maybe_unused]] const auto c = static_cast<std::size_t>(capacity_);
    assert(capacity_ >= 1 && count >= 0 && count <= capacity_ && sendL.size() >= n &&
           sendR.size() >= n && nextL.size() >= c && nextR.size() >= c && currentL.size() >= c &&
           currentR.size() >= c);
    const int32_t inside = std::clamp(count - longestTap_, int32_t{0}, count);
    echoes<true>(0, inside, count, sendL.data(), sendR.data(), nextL.data(), nextR.data(),
                 currentL.data(), currentR.data());
    echoes<false>(inside, count, count, sendL.data(), sendR.data(), nextL.data(), nextR.data(),
                  currentL.data(), currentR.data());
}

} // namespace tarvex
