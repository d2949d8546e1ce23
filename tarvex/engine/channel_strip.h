// One input channel's pass through a block: read and decode its samples,
// silence what lies before its start or past its end, run its effects, its
// fader and pan, meter it and add it into the buses it feeds.
//
// Channel samples have full scale 2^23 from decoding to the end of the
// effects, and 2^31 after the fader (a unity level multiplies by 256).
#pragma once

#include <cstdint>

#include "session/mix_session.h"

namespace tarvex {

// Runs channel c for the block [pos, pos + n). Clears the channel's playing
// flag once its audio has ended. Runs in the mix loop.
void runChannelStrip(const MixSettings& settings, MixState& state, int c, int64_t pos, int32_t n,
                     int32_t savePosition);

} // namespace tarvex
