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
// full scale); delays are whole samples, fixed by the first call. What falls
// past the end of a block goes into the next-block returns (which the caller
// rotates into the current ones before each block) and, for the surfaces,
// into the spill tables. Kept between blocks: the room and the twelve
// surface tables.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tarvex {

// Everything the recursive reverb keeps between blocks. Value-initialise it,
// call init() once before the first block; the first call fixes the room.
struct RecursiveReverbMemory {
    int32_t setUp = 0;          // 0 until the first call has fixed the room, then 1
    int32_t d1 = 0;             // delay of surface 1, end wall (1 - p1) x length, samples (1844)
    int32_t d2 = 0;             // delay of surface 2, side wall p3 x width, samples (1046)
    int32_t d3 = 0;             // delay of surface 3, side wall (1 - p3) x width, samples (1386)
    int32_t d4 = 0;             // delay of surface 4, end wall p1 x length, samples (1082)
    int32_t d5 = 0;             // delay of surface 5, ceiling p2 x height, samples (741)
    int32_t d6 = 0;             // delay of surface 6, floor (1 - p2) x height, samples (1159)
    int32_t d12 = 0;            // travel between surfaces 1 and 2, both ways, samples (2120)
    int32_t d13 = 0;            // surfaces 1 and 3, samples (2306)
    int32_t d14 = 0;            // surfaces 1 and 4, samples
    int32_t d15 = 0;            // surfaces 1 and 5, samples
    int32_t d16 = 0;            // surfaces 1 and 6, samples
    int32_t d23 = 0;            // surfaces 2 and 3, samples
    int32_t d24 = 0;            // surfaces 2 and 4, samples
    int32_t d25 = 0;            // surfaces 2 and 5, samples
    int32_t d26 = 0;            // surfaces 2 and 6, samples
    int32_t d34 = 0;            // surfaces 3 and 4, samples
    int32_t d35 = 0;            // surfaces 3 and 5, samples
    int32_t d36 = 0;            // surfaces 3 and 6, samples
    int32_t d45 = 0;            // surfaces 4 and 5, samples
    int32_t d46 = 0;            // surfaces 4 and 6, samples
    int32_t d56 = 0;            // surfaces 5 and 6, samples
    int32_t longestSurface = 0; // largest of d1 .. d6, samples
    int32_t longestPair = 0;    // largest of d12 .. d56, samples
    float Width = 0.0f;         // far-side gain factor W, 0 (width 100) .. 1 (width 0), (0.5)
    std::vector<int32_t> surf1, surf2, surf3;    // this block's signal at each surface
    std::vector<int32_t> surf4, surf5, surf6;    //   (131072 entries each, bus scale)
    std::vector<int32_t> spill1, spill2, spill3; // what has already reached each surface
    std::vector<int32_t> spill4, spill5, spill6; //   for the next block (131072 entries each)

    // Allocates the twelve surface tables, zeroed. Call once, before the first
    // block, when the reverb is in use.
    void init();
};

// Runs one block of `count` frames (at most 131072) through the reverb and adds
// its output into the returns. The sends hold at least `count` samples; each
// return buffer at least 131072 entries. The first call fixes the room from
// `L` (feet), the position `p1`, `p2`, `p3` (percent) and `width` and ends
// the run (status 1) when the position or size is illegal or the room's
// longest delay does not fit in this first block; later calls ignore those
// arguments. Runs in the mix loop.
void RecurseReverb(RecursiveReverbMemory& memory, int32_t count, double rate,
                   std::span<const double> sendL, std::span<const double> sendR, float L, float p1,
                   float p2, float p3, float width, std::span<int32_t> nextL,
                   std::span<int32_t> nextR, std::span<int32_t> currentL,
                   std::span<int32_t> currentR);

} // namespace tarvex
