// Discrete tap reverb: a fixed set of echoes from the six surfaces of the
// room, with no feedback.
//
// Tap 0 hears every wall at twice its distance (out and back). Each further
// tap follows the reflection path one more leg around the room: a wall's
// echo at tap k continues from another wall's echo at tap k - 1, the wall
// picked by a shift that cycles through 1 .. 5 from tap to tap, after the
// distance to the wall plus the travel between the two walls. Tap k is heard
// at 1 / 2^(k+1) of the send. The left wall reaches only the left return, the
// right wall only the right; the front and rear walls, the ceiling and the
// floor carry the left send to the left return and the right send to the
// right.
//
// Sends are doubles at bus scale, returns 32-bit integers; delays are whole
// samples, fixed by the set-up before the first block. What falls past the
// end of a block goes into the next-block returns, which the caller rotates
// into the current ones before each block. Kept between blocks: the tap
// tables only.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "effects/effect_settings.h"

namespace tarvex {

// Most taps a tap reverb runs.
constexpr int32_t kMaxTaps = 11;
// Longest distance to a wall, samples.
constexpr int32_t kMaxWallDistance = 32768;

// The room and taps as the return and reverb lines gave them.
struct TapReverbSettings {
    float roomFeet = kDefaultRoomFeet;                  // room length, feet
    int32_t taps = 1;                                   // taps asked for (held to 1 .. 11 here)
    std::array<float, 3> position{37.0f, 39.0f, 43.0f}; // listening position, percent
};

class TapReverb {
  public:
    // Fixes the taps for the song's `rate` (Hz), before the first block.
    // `capacity` is the length of each return buffer (131072). Fails when
    // the position or size is illegal, a wall lies more than 32768 samples
    // away or the last tap reaches past the capacity.
    SetUpResult setUp(const TapReverbSettings& settings, double rate, int32_t capacity);

    // Runs one block of `count` frames (0 .. capacity) through the tap reverb
    // and adds its echoes into the returns, each at least `capacity` long;
    // the sends hold at least `count` samples. Runs in the mix loop.
    void process(int32_t count, std::span<const double> sendL, std::span<const double> sendR,
                 std::span<int32_t> nextL, std::span<int32_t> nextR, std::span<int32_t> currentL,
                 std::span<int32_t> currentR);

    int32_t tapCount() const { return tapCount_; }

  private:
    template <bool kInside>
    void echoes(int32_t from, int32_t to, int32_t n, const double* sendL, const double* sendR,
                int32_t* nextL, int32_t* nextR, int32_t* currentL, int32_t* currentR);

    int32_t capacity_ = 0;                           // length of each return buffer
    int32_t tapCount_ = 0;                           // taps in use, 1 .. 11
    std::array<int32_t, kMaxTaps> leftWallDelay_{};  // delay of each tap's left-wall echo, samples
    std::array<int32_t, kMaxTaps> rightWallDelay_{}; // right wall, samples
    std::array<int32_t, kMaxTaps> frontWallDelay_{}; // front wall, samples
    std::array<int32_t, kMaxTaps> rearWallDelay_{};  // rear wall, samples
    std::array<int32_t, kMaxTaps> ceilingDelay_{};   // ceiling, samples
    std::array<int32_t, kMaxTaps> floorDelay_{};     // floor, samples
    std::array<double, kMaxTaps> tapGain_{};         // 1 / 2^(k+1) (0.5, 0.25 ...)
    int32_t longestTap_ = 0;                         // longest delay of the taps in use
    std::array<double, kMaxTaps> tapSendL_{};        // this sample's left send x each tap's gain
    std::array<double, kMaxTaps> tapSendR_{};        // this sample's right send x each tap's gain
};

} // namespace tarvex
