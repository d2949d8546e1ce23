// What one strip changes while mixing, kept together.
//
// The run holds one per slot: the master (slot 0), the input channels
// (1..127), the submixes (128..135) and the spare slot. A channel strip runs
// on a worker thread and is handed its own state and nothing else of the
// run's, so two strips never write the same data; each state starts on a
// cache line of its own, so neither do two threads write the same line. The
// master and submix strips are run by the mix loop's thread.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>

#include "automation/level_tables.h"
#include "automation/routing.h"
#include "effects/strip_effects.h"

namespace tarvex {

struct alignas(64) ChannelState {
    std::FILE* input = nullptr;                    // open input file (channels only)
    int32_t playing = 0;                           // 1 while the channel's audio is read
    LevelCursor level;                             // where its level automation stands
    SideMemory sides;                              // signs and gains its automation keeps
    std::array<int32_t, kDelayHistory> historyL{}; // delay-pan history, left
    std::array<int32_t, kDelayHistory> historyR{}; // delay-pan history, right
    StripEffects effects;                          // its effects and their memories
    double peakL = 0.0, peakR = 0.0;               // largest |sample|, 2^31 scale
    int32_t clip = 0;                              // 1 once it passed full scale in its effects
};

} // namespace tarvex
