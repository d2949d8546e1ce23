// Recursive reverb: a room of six reflecting surfaces that feed each other.
//
// The left send feeds surfaces 1, 2 and 5, the right send 3, 4 and 6
// (1 and 4 are the end walls, 2 and 3 the side walls, 5 and 6 the ceiling
// and the floor). Every surface passes a sixth of its signal to each of the
// other five after the travel time between them, so the network rings on in
// a dense, decaying tail; every surface is heard at the listening position
// after its own distance at a quarter of its level, and the surfaces nearer
// one side reach the other side scaled by the width factor:
//
//   surface       1      2     3     4      5      6
//   left return   W/4    1/4   -     1/4    W/4    1/4
//   right return  1/4    -     1/4   W/4    1/4    W/4
//
// Sends are doubles, surfaces and returns 32-bit integers at bus scale (2^31
// full scale); delays are whole samples, fixed by the set-up before the
// first block. What falls past the end of a block goes into the next-block
// returns (which the caller rotates into the current ones before each block)
// and, for the surfaces, into the spill tables. Kept between blocks: the room
// and the twelve surface tables.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "effects/effect_settings.h"

namespace tarvex {

// Reflecting surfaces of the room.
constexpr int kRoomSurfaces = 6;

// The room as the return and reverb lines gave it.
struct RecursiveReverbSettings {
    float roomFeet = kDefaultRoomFeet;                  // room length, feet
    std::array<float, 3> position{37.0f, 39.0f, 43.0f}; // listening position, percent
    float width = 50.0f;                                // 0 .. 100 (held to it here)
};

class RecursiveReverb {
  public:
    // Fixes the room for the song's `rate` (Hz) and allocates the surface
    // tables, before the first block. Fails when the position or size is
    // illegal or the room's longest delay does not fit in the first block of
    // `firstBlock` frames.
    SetUpResult setUp(const RecursiveReverbSettings& settings, double rate, int32_t firstBlock);

    // Runs one block of `count` frames (at most 131072) through the reverb and
    // adds its output into the returns. The sends hold at least `count`
    // samples; each return buffer at least 131072 entries. Runs in the mix loop.
    void process(int32_t count, std::span<const double> sendL, std::span<const double> sendR,
                 std::span<int32_t> nextL, std::span<int32_t> nextR, std::span<int32_t> currentL,
                 std::span<int32_t> currentR);

    // The room as the set-up fixed it.
    const std::array<int32_t, kRoomSurfaces>& surfaceDelays() const { return surfaceDelay_; }
    const std::array<std::array<int32_t, kRoomSurfaces>, kRoomSurfaces>& pairDelays() const {
        return pairDelay_;
    }
    float farSideGain() const { return farSideGain_; }

  private:
    void feed(int32_t n, const double* sendL, const double* sendR);
    void recirculate(int32_t n);
    void emit(int32_t n, int32_t* nextL, int32_t* nextR, int32_t* currentL, int32_t* currentR);

    // Distance of each surface from the listening position, samples: 1 end
    // wall (1 - p1) x length (1844), 2 side wall p3 x width (1046), 3 side wall
    // (1 - p3) x width (1386), 4 end wall p1 x length (1082), 5 ceiling
    // p2 x height (741), 6 floor (1 - p2) x height (1159).
    std::array<int32_t, kRoomSurfaces> surfaceDelay_{};
    // Travel between two surfaces, the same both ways, 0 on the diagonal, samples.
    std::array<std::array<int32_t, kRoomSurfaces>, kRoomSurfaces> pairDelay_{};
    int32_t longestSurface_ = 0; // largest surface delay, samples
    int32_t longestPair_ = 0;    // largest pair delay, samples
    float farSideGain_ = 0.0f;   // far-side factor W, 0 (width 100) .. 1 (width 0), (0.5)
    // This block's signal at each surface, and what has already reached each
    // surface for the next block (131072 entries each, bus scale).
    std::array<std::vector<int32_t>, kRoomSurfaces> surfaces_;
    std::array<std::vector<int32_t>, kRoomSurfaces> spills_;
};

} // namespace tarvex
