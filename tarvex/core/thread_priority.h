// Helper threads that run beside the mix loop's thread yield to it.
//
// Every block waits for the loop's thread, which finishes each block alone
// (submixes, reverbs, master, output) while the strip workers run the next
// block's strips and the loudness meter measures the block before. With
// fewer cores than threads the loop's thread should not have to share its
// core evenly with them.
#pragma once

namespace tarvex {

// How much lower helper threads run than the loop's thread.
constexpr int kHelperNiceness = 5;

// Lowers the calling thread's priority by kHelperNiceness steps (Linux sets
// it per thread). Where that fails the thread runs as it is.
void yieldToLoopThread();

} // namespace tarvex
