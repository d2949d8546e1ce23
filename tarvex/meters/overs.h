// Overs: where a signal sits at full scale, and the output's peak envelope.
//
// A `FullScaleRuns` tracker follows one signal (an output side, a submix bus,
// the master) block by block and notes each stretch of consecutive samples at
// or beyond its full-scale limits in an `OversLog`; a stretch may run across
// blocks. The log holds a fixed number of stretches, counts those it has no
// room for, and is sized once before the first block.
//
// `PeakEnvelope` keeps, for a fixed number of columns spread evenly over the
// render window, the largest and smallest sample of each side and whether the
// column holds an over. Both run in the mix loop and allocate nothing there.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tarvex {

// One stretch of samples at full scale.
struct FullScaleStretch {
    int32_t source = 0;     // what clipped: the caller's code (side, slot ...)
    int64_t start = 0;      // song sample of the first sample
    int64_t length = 0;     // samples in the stretch
    bool blockOnly = false; // only the block is known, not the exact samples
};

struct OversLog {
    std::vector<FullScaleStretch> stretches; // in the order they ended
    std::size_t capacity = 0;                // stretches kept at most
    int64_t dropped = 0;                     // stretches that found no room

    void reserve(std::size_t count);
    void add(const FullScaleStretch& s);
};

// Follows one signal. A sample v is at full scale when v >= high or v <= low.
struct FullScaleRuns {
    int32_t source = 0;     // code given to every stretch
    int32_t high = 0;       // positive limit
    int32_t low = 0;        // negative limit
    int64_t openStart = -1; // first sample of the open stretch, -1 = none
    int64_t openLength = 0; // samples of the open stretch so far

    // Scans one block whose first sample is song sample `pos`; a frame counts
    // when either side is at full scale (pass the same span twice for one
    // side). Runs in the mix loop.
    void scan(std::span<const int32_t> a, std::span<const int32_t> b, int64_t pos, int32_t n,
              OversLog& log);
    // Ends a stretch still open after the last block.
    void finish(OversLog& log);
};

// The output's envelope over the render window.
struct PeakEnvelope {
    static constexpr int32_t kColumns = 1200; // columns over the whole render

    int64_t start = 0;  // song sample of the render start
    int64_t length = 0; // frames in the render window
    int32_t sides = 2;  // 1 for mono output
    // Per side and column: largest and smallest sample (output steps) and
    // whether a sample of the column is at full scale.
    std::vector<int32_t> high, low;
    std::vector<uint8_t> over;

    void reset(int64_t renderStart, int64_t renderLength, int32_t sideCount);
    // Column of a song sample inside the window.
    int32_t columnOf(int64_t position) const;
    // Adds one block of one side. Runs in the mix loop.
    void add(int32_t side, std::span<const int32_t> x, int64_t pos, int32_t n, int32_t fullHigh,
             int32_t fullLow);
};

} // namespace tarvex
