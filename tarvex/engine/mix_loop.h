// The mix loop: renders the render window block by block.
//
// Each block, in a fixed order: clear the master, buses and reverb sends, add
// the channel strips into the buses in channel order, submix automation and
// effects, the bus sum into the master, submix sends and reverbs, master
// automation and effects, then the output conversion, tap file, views and
// progress. A block's VCA gains are computed and its channel strips started
// on the workers while the loop finishes the block before it. Every buffer is
// allocated once before the first block; nothing is allocated inside the
// loop.
#pragma once

#include "core/stop_check.h"
#include "session/mix_session.h"

namespace tarvex {

// Allocates every block buffer once.
void allocateBlockBuffers(MixState& state);

// Block length and the save position that follows from it.
struct BlockSize {
    int32_t length;       // frames in this block
    int32_t savePosition; // where the delay history of a block is taken
};
BlockSize blockSizeAt(int64_t pos, int64_t end);

// Takes the output streams open past their headers, opens the inputs, runs
// every block, closes the files and prints the closing message. Ends the run
// with status 1 when the mix file cannot be written. Returns early, the files
// still open, when `stop` asks for it before a block.
void runMixLoop(MixSession& session, const StopCheck& stop);

} // namespace tarvex
