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
// samples, fixed by the first call. What falls past the end of a block goes
// into the next-block returns, which the caller rotates into the current
// ones before each block. Kept between blocks: the tap tables only.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace tarvex {

// Most taps a tap reverb runs.
constexpr int32_t kMaxTaps = 11;
// Longest distance to a wall, samples.
constexpr int32_t kMaxWallDistance = 32768;

// Everything the tap reverb keeps between blocks; value-initialise it. The
// first call fixes the taps.
struct TapReverbMemory {
    int32_t setUp = 0;                         // 0 until the first call has fixed the taps, then 1
    int32_t taps = 0;                          // taps in use, 1 .. 11
    std::array<int32_t, kMaxTaps> Rleft{};     // delay of each tap's left-wall echo, samples
    std::array<int32_t, kMaxTaps> Rright{};    // right wall, samples
    std::array<int32_t, kMaxTaps> Rfrntwall{}; // front wall, samples
    std::array<int32_t, kMaxTaps> Rrearwall{}; // rear wall, samples
    std::array<int32_t, kMaxTaps> Rceil{};     // ceiling, samples
    std::array<int32_t, kMaxTaps> Rfloor{};    // floor, samples
    std::array<double, kMaxTaps> atten{};      // gain of each tap, 1 / 2^(k+1) (0.5, 0.25 ...)
    int32_t longestTap = 0;                    // longest delay of the taps in use, samples
    std::array<double, kMaxTaps> tapoutL{};    // this sample's left send x each tap's gain
    std::array<double, kMaxTaps> tapoutR{};    // this sample's right send x each tap's gain
};

// Runs one block of `count` frames (0 .. capacity) through the tap reverb
// and adds its echoes into the returns. `capacity` is the length of each
// return buffer (131072); the sends hold at least `count` samples. The first
// call fixes the taps from `L` (feet), `taps` (limited to 1 .. 11), the
// position `p1`, `p2`, `p3` (percent) and the rate, and ends the run
// (status 1) when the position or size is illegal, a wall lies more than
// 32768 samples away or the last tap reaches past the capacity; later calls
// ignore those arguments. Runs in the mix loop.
void DiscreteReverb(int32_t capacity, TapReverbMemory& memory, int32_t count, double rate,
                    std::span<const double> sendL, std::span<const double> sendR, float L,
                    std::span<int32_t> nextL, std::span<int32_t> nextR, std::span<int32_t> currentL,
                    std::span<int32_t> currentR, int32_t taps, float p1, float p2, float p3);

} // namespace tarvex
