// The two linear compressors of the strips, `PeakCompressor` ("comp") and
// `RmsCompressor` ("rms"), and the sample rules every dynamics processor
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
// Each keeps its state (1 idle, 2 attack, 3 compressing, 4 release; 0 off,
// before its set-up), its counters and the half-cycle figures of both sides
// from block to block.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>

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

// Peak-sensing linear compressor ("comp").
class PeakCompressor {
  public:
    // Takes the settings and starts idle; before the first block.
    void setUp(const CompressorSettings& settings);
    // One block; nothing happens when count < 1. Runs in the mix loop.
    void process(int32_t count, std::span<double> left, std::span<double> right);
    int32_t state() const { return state_; }

    // What it keeps from block to block.
    struct Memory {
        double lastPolarityL,
            lastPolarityR;                  // polarity of the previous sample (+-1.0; 0 before any)
        int32_t attackStep;                 // attack step of the next sample, 1..attack
        int32_t releaseStep;                // release step of the next sample, 0..release
        double lastPeakL, lastPeakR;        // peak magnitude of the last completed half-cycle
        double runningPeakL, runningPeakR;  // peak magnitude of the running half-cycle
        int32_t quietCyclesL, quietCyclesR; // quiet half-cycles in a row while compressing
    };
    const Memory& memory() const { return memory_; }

  private:
    CompressorSettings settings_;
    Memory memory_{};
    int32_t state_ = kCompOff;
};

// RMS-sensing linear compressor ("rms").
class RmsCompressor {
  public:
    // Takes the settings, clears the memory and starts idle; before the first block.
    void setUp(const CompressorSettings& settings);
    // One block; nothing happens when count < 1. Runs in the mix loop.
    void process(int32_t count, std::span<double> left, std::span<double> right);
    int32_t state() const { return state_; }

    struct Memory {
        float rmsL, rmsR;           // RMS of the last completed half-cycle, sample units
        float squaresL, squaresR;   // sum of squares of the running half-cycle
        float intervalL, intervalR; // samples in the running half-cycle
        double lastPolarityL,
            lastPolarityR;                  // polarity of the previous sample (+-1.0; 0 before any)
        int32_t attackStep;                 // attack step of the next sample, 1..attack
        int32_t releaseStep;                // release step of the next sample, 0..release
        int32_t quietCyclesL, quietCyclesR; // quiet half-cycles in a row while compressing
    };
    const Memory& memory() const { return memory_; }

  private:
    CompressorSettings settings_;
    Memory memory_{};
    int32_t state_ = kCompOff;
};

} // namespace tarvex
