// What the optional views of a mix measure while it renders: the loudness
// meter, the overs log and the output's peak envelope.
//
// The run owns one `MixViews`; it is set up before the first block, fed once
// per block with the output as written, the buses as they left their effects
// and, for the overs, the console's stages in between, and read after the
// last block by the report and the plot. Each part is on only when its
// option asked for it. The stage that feeds and reads it is
// engine/mix_views.h.
#pragma once

#include <array>
#include <cstdint>

#include "core/slot_layout.h"
#include "meters/loudness.h"
#include "meters/overs.h"

namespace tarvex {

// Source codes of the overs log beyond the channel slots.
constexpr int32_t kOverOutLeft = 1000;  // left output side
constexpr int32_t kOverOutRight = 1001; // right output side
constexpr int32_t kOverOutMono = 1002;  // the one side of mono output
// Stages inside the console: the code plus a slot (a channel, a submix or the
// master right after its fader, pan and VCA), or plus a bus (a submix bus 1-8
// once its channels are added, or the master, 0, once every bus and reverb
// return is added).
constexpr int32_t kOverAtFader = 2000;
constexpr int32_t kOverAtSum = 3000;

// Stretches kept in the overs log; more are only counted.
constexpr std::size_t kOversKept = 500;

struct MixViews {
    bool loudnessOn = false; // measure loudness and true peak
    bool oversOn = false;    // list the overs
    bool plotOn = false;     // keep the envelope for the plot
    LoudnessMeter loudness;
    LoudnessResult loudnessResult; // the figures, taken once the last block is measured
    OversLog overs;
    std::array<FullScaleRuns, 2> outputRuns;             // output sides (mono: the first)
    std::array<FullScaleRuns, kSubmixCount + 1> busRuns; // 0 master, k submix k
    std::array<FullScaleRuns, kSlotCount> faderRuns;     // each slot after its fader
    std::array<FullScaleRuns, kSubmixCount + 1> sumRuns; // 0 master, k submix k, as summed
    std::array<int32_t, kSlotCount> clipSeen{};          // clip flags as last seen
    PeakEnvelope envelope;
};

} // namespace tarvex
