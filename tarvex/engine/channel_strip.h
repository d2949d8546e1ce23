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

// Reads channel c's block [pos, pos + n) into the workspace and runs its
// effects, fader and pan there; meters it and clears the channel's playing
// flag once its audio has ended. `channel` is channel c's strip state.
// `vcaGains` holds the block's VCA gains. Runs in the mix loop.
void processChannel(const MixSettings& settings, ChannelState& channel, StripWorkspace& workspace,
                    int c, int64_t pos, int32_t n, int32_t savePosition,
                    std::span<const double> vcaGains);

// Adds channel c's processed block into the buses it feeds and the reverb
// sends. Channels are mixed one at a time in channel order, so every sum
// and its saturation come out the same however the strips were run. Runs in
// the mix loop.
void mixChannel(const MixSettings& settings, MixState& state, const StripOutput& strip, int c,
                int32_t n);

} // namespace tarvex
