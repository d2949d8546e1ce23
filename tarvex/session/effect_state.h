// The effects of a run with their memories, kept from block to block.
//
// One per run, owned by the mix state and set up before the first block:
// every strip's effects (filter histories, compressor states and half-cycle
// figures), each strip apart from the others since the channel strips run
// on several threads, and the two reverbs with their input filters.
#pragma once

#include <vector>

#include "effects/discrete_reverb.h"
#include "effects/filters.h"
#include "effects/recursive_reverb.h"
#include "effects/strip_effects.h"

namespace tarvex {

// The reverbs and the filters on their sends (high-pass before low-pass).
struct ReverbEffects {
    RecursiveReverb recursive;
    TapReverb tap;
    Biquad recursiveHighPass, recursiveLowPass;
    Biquad tapHighPass, tapLowPass;
};

struct EffectState {
    std::vector<StripEffects> strips; // by strip entry, kStripEntries of them
    ReverbEffects reverbs;
};

} // namespace tarvex
