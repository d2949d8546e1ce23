// The last stage of every block: the master becomes output samples.
//
// Dither noise (when on) is added to the master at 2^31 scale, the master is
// divided down to 24 or 16 bits toward zero, the output peaks and the RMS
// meter are updated, and the block is encoded and appended to the mix file.
// Mono output folds both sides with the mono gain first.
#pragma once

#include <cstdint>

#include "session/mix_session.h"

namespace tarvex {

// Dither offset and range for a depth of 0..8 bits.
int32_t ditherOffsetFor(int32_t bits);
int32_t ditherRangeFor(int32_t bits);

// Converts, meters, encodes and writes one block. `pos` is the song sample of
// the block's first frame. Runs in the mix loop. Ends the run with status 1
// when the mix file cannot be written.
void writeOutputBlock(const MixSettings& settings, MixState& state, int64_t pos, int32_t n);

// Converts and writes one block of every stem, as the master's block is
// converted but with each stem's own dither noise. Runs once the master's
// block has been written and observed: it reuses the output buffers. Ends
// the run with status 1 when a stem cannot be written.
void writeStemBlocks(const MixSettings& settings, MixState& state, int64_t pos, int32_t n);

} // namespace tarvex
