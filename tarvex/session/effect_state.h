// The reverbs of a run with their memories, kept from block to block.
//
// One per run, owned by the mix state and set up before the first block:
// the two reverbs with their input filters. Each strip keeps its own effects
// in its strip state.
#pragma once

#include "effects/discrete_reverb.h"
#include "effects/filters.h"
#include "effects/recursive_reverb.h"

namespace tarvex {

// The reverbs and the filters on their sends (high-pass before low-pass).
struct ReverbEffects {
    RecursiveReverb recursive;
    TapReverb tap;
    Biquad recursiveHighPass, recursiveLowPass;
    Biquad tapHighPass, tapLowPass;
};

struct EffectState {
    ReverbEffects reverbs;
};

} // namespace tarvex
