// Strip and reverb-input filters: the one-pole high-pass `HPF`, the biquad
// `EQ` of the four bands and two shelves, the biquad `Rev_EQ` of the reverb
// inputs, and `Denormal`, which every filter applies to its block first.
//
// Each filter works in place on one block of stereo double samples at the
// strip's scale (2^23 full scale for channels, 2^31 for submixes and the
// master; the filters do not depend on it). Coefficients come ready from the
// effect settings (see filter_design.h) and are only read. Between blocks each
// filter keeps its history in `FilterMemory`, which the run owns: the last
// input and output of every high-pass, the last two inputs and outputs of
// every biquad, and the seed flags that make the first sample (high-pass) or
// the first two samples (biquads) an entry ever receives pass unchanged and
// seed its history. Nothing here allocates.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "core/slot_layout.h"

namespace tarvex {

// Magnitudes below this are raised to it, keeping sign, so that no filter
// history decays into subnormal numbers.
constexpr double kDenormalFloor = 0.0001;
// Biquad slots per strip entry: 1..4 the bands, 5 the high shelf, 6 the low shelf.
constexpr int kEqSlots = 8;
constexpr int kEqHighShelfSlot = 5;
constexpr int kEqLowShelfSlot = 6;
// Reverb-input filters: 0 high-pass and 1 low-pass of the tap reverb send,
// 2 high-pass and 3 low-pass of the recursive reverb send.
constexpr int kRevEqSlots = 4;

// Seed flags of a biquad.
constexpr int32_t kBiquadUnseeded = 0;   // nothing seen yet
constexpr int32_t kBiquadHalfSeeded = 1; // one sample seen
constexpr int32_t kBiquadRunning = 2;    // history seeded, filtering

// History of one high-pass entry.
struct HpfHistory {
    double OldXL; // previous left input
    double OldYL; // previous left output
    double OldXR; // previous right input
    double OldYR; // previous right output
    double NewYR; // last right output, kept equal to OldYR
};

// History of one biquad: the previous two inputs and outputs per side.
struct BiquadHistory {
    double in1L, in2L, out1L, out2L;
    double in1R, in2R, out1R, out2R;
};

// Everything the filters keep from block to block; value-initialised, one per run.
struct FilterMemory {
    std::array<HpfHistory, kStripEntries> hpf{}; // by strip entry
    std::array<int32_t, kStripEntries> hpInit{}; // 1 once the entry's first sample seeded it
    std::array<BiquadHistory, kStripEntries * kEqSlots> eq{}; // index entry x 8 + slot
    // Seed flags [slot][entry] (kBiquadUnseeded, kBiquadHalfSeeded, kBiquadRunning).
    std::array<std::array<int32_t, kSlotCount>, kEqSlots> eqInit{};
    std::array<BiquadHistory, kRevEqSlots> rev{}; // reverb-input filters by slot
    std::array<int32_t, kRevEqSlots> revEqInit{}; // their seed flags
};

// Raises every sample i < count of both sides whose magnitude is below
// kDenormalFloor to +kDenormalFloor (0 and -0 included) or -kDenormalFloor.
// Runs in the mix loop.
void Denormal(std::span<double> left, std::span<double> right, int32_t count);

// One-pole high-pass of strip entry `entry` over one block, per side
// y = a y[-1] + b (x - x[-1]), with a = hpPole and b = hpGain. `blockStart` is
// not read. Runs in the mix loop.
void HPF(int32_t count, int64_t blockStart, int entry, std::span<double> left,
         std::span<double> right, double a, double b, FilterMemory& memory);

// Direct-form biquad of strip entry `entry`, biquad slot `slot` (1..6), over
// one block. `blockStart` is not read. Runs in the mix loop.
void EQ(int32_t count, int64_t blockStart, int entry, int slot, std::span<double> left,
        std::span<double> right, double b0, double b1, double b2, double a1, double a2,
        FilterMemory& memory);

// The same biquad on a reverb send buffer, reverb-input slot `slot` (0..3).
// `blockStart` is not read. Runs in the mix loop.
void Rev_EQ(int32_t count, int64_t blockStart, int slot, std::span<double> left,
            std::span<double> right, double b0, double b1, double b2, double a1, double a2,
            FilterMemory& memory);

} // namespace tarvex
