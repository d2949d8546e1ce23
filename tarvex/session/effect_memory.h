// The memories of the strip effects and reverbs, kept from block to block.
//
// One per run, owned by the mix state and value-initialised: filter
// histories and seed flags, compressor states and half-cycle figures, and the
// two reverbs' rooms, surfaces and tap tables.
#pragma once

#include "effects/compressors.h"
#include "effects/discrete_reverb.h"
#include "effects/filters.h"
#include "effects/recursive_reverb.h"

namespace tarvex {

struct EffectMemory {
    FilterMemory filters;            // high-pass and biquad histories, by strip entry
    DynamicsMemory dynamics;         // compressor states and memories, by strip entry
    RecursiveReverbMemory recursive; // room, surfaces and spills of the recursive reverb
    TapReverbMemory tap;             // tap tables of the discrete reverb
};

} // namespace tarvex
