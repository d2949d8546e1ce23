// The two linear compressors of the strips, `PEAKCOMPRESSOR` ("comp") and
// `RMSCOMPRESSOR` ("rms"), and the sample rules every dynamics processor
// shares.
//
// Samples are doubles in the strip's integer units (2^23 full scale for
// channels, 2^31 for submixes and the master); thresholds are in the same
// units, attack and release in samples, the ratio is x:1. Once the level
// passes the threshold the gain falls along a quarter sine from 1 to 1/ratio
// over the attack, holds at 1/ratio (the whole signal is scaled, not only
// what lies above the threshold), and after four quiet half-cycles on both
// sides rises along a quarter sine over the release. The peak compressor
// judges a half-cycle (between zero crossings of one side) by its peak, the
// RMS compressor by its RMS, kept in single precision.
//
// Per strip entry each keeps its state (1 idle, 2 attack, 3 compressing,
// 4 release; 0 off, never called), its counters and the half-cycle figures
// of both sides from block to block in `DynamicsMemory`, which the run owns
// and which also holds the memory of the non-linear compressor.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <span>

#include "core/slot_layout.h"
#include "effects/effect_settings.h"

namespace tarvex {

// Compressor states.
constexpr int32_t kCompOff = 0;
constexpr int32_t kCompIdle = 1;
constexpr int32_t kCompAttack = 2;
constexpr int32_t kCompCompressing = 3;
constexpr int32_t kCompRelease = 4;

// Magnitudes below this are taken as this by every dynamics processor, so a
// sample it rewrites never comes out smaller than kMinMagnitude x gain.
constexpr double kMinMagnitude = 0.0001;

// +1.0 for x >= 0 (and -0.0), else -1.0.
inline double polarityOf(double x) {
    return x >= 0.0 ? 1.0 : -1.0;
}

// |x| raised to kMinMagnitude. The square of a raised magnitude, a * a, is
// exactly 1e-8 in double precision.
inline double magnitudeOf(double x) {
    const double a = std::fabs(x);
    return a < kMinMagnitude ? kMinMagnitude : a;
}

// A block of `count` samples fits both buffers (checked in debug builds).
inline bool blockFits(int32_t count, std::span<double> left, std::span<double> right) {
    return count <= 0 || (static_cast<std::size_t>(count) <= left.size() &&
                          static_cast<std::size_t>(count) <= right.size());
}

// Memory of the peak compressor for one strip entry.
struct PeakCompEntry {
    double oldpolarL, oldpolarR; // polarity of the previous sample (+-1.0; 0 before any)
    int32_t attackCount;         // attack step of the next sample, 1..attack
    int32_t releaseCount;        // release step of the next sample, 0..release
    double oldpeakL, oldpeakR;   // peak magnitude of the last completed half-cycle
    double newpeakL, newpeakR;   // peak magnitude of the running half-cycle
    int32_t passTL, passTR;      // quiet half-cycles in a row while compressing
};

// Memory of the RMS compressor for one strip entry.
struct RmsCompEntry {
    float rmsL, rmsR;            // RMS of the last completed half-cycle, sample units
    float squaresL, squaresR;    // sum of squares of the running half-cycle
    float intervalL, intervalR;  // samples in the running half-cycle
    double oldpolarL, oldpolarR; // polarity of the previous sample (+-1.0; 0 before any)
    int32_t attackCount;         // attack step of the next sample, 1..attack
    int32_t releaseCount;        // release step of the next sample, 0..release
    int32_t passTL, passTR;      // quiet half-cycles in a row while compressing
};

// Memory of the non-linear compressor for one strip entry (see
// nonlinear_compressor.h).
struct NlcEntry {
    float rmsL, rmsR;             // RMS of the last measured stretch, sample units
    std::array<float, 2> oldrmsL; // the RMS before it [0] and the one before that [1]
    std::array<float, 2> oldrmsR;
    double gammaL, gammaR;           // raw gain of each side's last update (1.0 at first)
    double GrandGammaL, GrandGammaR; // gain played on each side, at most 1.0
    float squaresL, squaresR;        // sum of squares of the running stretch
    float intervalL, intervalR;      // samples in the running stretch
    int32_t oldpolarL, oldpolarR;    // polarity of the previous sample (+-1; 0 before any)
};

// Everything the dynamics processors keep from block to block, for all 136
// strip entries; value-initialised, one per run. The states and first-call
// flags are handed to the processors by pointer, as the caller's own.
struct DynamicsMemory {
    std::array<int32_t, kStripEntries> compState{}; // peak compressor, kCompOff .. kCompRelease
    std::array<int32_t, kStripEntries> rmsState{};  // RMS compressor, kCompOff .. kCompRelease
    std::array<int32_t, kStripEntries> rmsInit{};   // 1 once the RMS memory was cleared
    std::array<int32_t, kStripEntries> nlcInit{};   // 1 once the non-linear memory was set up
    std::array<PeakCompEntry, kStripEntries> peak{};
    std::array<RmsCompEntry, kStripEntries> rms{};
    std::array<NlcEntry, kStripEntries> nlc{};
};

// Sets the state of every entry with a "comp" or "rms" line to idle (1);
// called once before the first block.
void armCompressors(DynamicsMemory& memory, const EffectSettings& settings);

// Peak-sensing linear compressor over one block of strip entry `entry`, in
// state *state (normally &memory.compState[entry]). Nothing happens when
// count < 1. Runs in the mix loop.
void PEAKCOMPRESSOR(int entry, int32_t* state, int32_t count, std::span<double> left,
                    std::span<double> right, int32_t attack, int32_t release, double ratio,
                    int32_t threshold, DynamicsMemory& memory);

// RMS-sensing linear compressor over one block of strip entry `entry`, in
// state *state, with first-call flag *init (normally &memory.rmsState[entry]
// and &memory.rmsInit[entry]). Runs in the mix loop.
void RMSCOMPRESSOR(int entry, int32_t* state, int32_t count, std::span<double> left,
                   std::span<double> right, int32_t attack, int32_t release, double ratio,
                   int32_t threshold, int32_t* init, DynamicsMemory& memory);

} // namespace tarvex
