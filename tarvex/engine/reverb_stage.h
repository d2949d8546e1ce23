// The reverb stages of the block: returns carried into the next block, the
// sends of channels and submixes, both reverbs in send mode or as master
// inserts, and the tap file.
//
// Sends and returns are at bus scale (2^31). Both reverbs add their output
// into one pair of return buffers: what falls inside the block into the
// current return, what falls after it into the next-block return, which
// becomes the current one at the start of the next block. In send mode the
// return joins the master before the master fader; as a master insert the
// reverb takes the master's own signal and its return is added to the
// master's work buffers. A reverb is an insert when its send line addressed
// "M"; then no channel or submix send reaches either reverb.
#pragma once

#include <cstdint>

#include "session/mix_session.h"

namespace tarvex {

// Allocates the send, return and tap buffers of the reverbs in use and warns
// about a master insert whose return line is missing. Before the first block.
void prepareReverbs(const MixSettings& settings, MixState& state);

// When both reverbs have a stem, keeps the buffers in which the tap reverb's
// part of their shared return is followed. Before the first block.
void prepareTapShare(const MixSettings& settings, MixState& state);

// Sets the reverbs that will run up (the tap reverb, then the recursive one)
// for a first block of `firstBlock` frames at the song's rate, and the
// filters on their sends. Reports the first that fails. Before the first
// block; a check sets them up the same way.
SetUpResult setUpReverbs(const EffectSettings& fx, double rate, int32_t firstBlock,
                         ReverbEffects& reverbs);
SetUpResult setUpReverbs(const MixSettings& settings, MixState& state, int32_t firstBlock);

// Per-block steps, in mix-loop order. All run in the mix loop.
void rotateReverbReturns(const MixSettings& settings, MixState& state, int32_t n);
void clearReverbSends(const MixSettings& settings, MixState& state, int32_t n);
// Channel c's post-fader block (as its strip left it) into the sends.
void sendChannelToReverbs(const MixSettings& settings, MixState& state, const StripOutput& strip,
                          int c, int32_t n);
void sendSubmixesToReverbs(const MixSettings& settings, MixState& state, int32_t n);
// Both reverbs in send mode, then the return into the master buffers.
void runReverbsInSendMode(const MixSettings& settings, MixState& state, int32_t n);
// The reverbs that are master inserts, on the master work buffers.
void runMasterInserts(const MixSettings& settings, MixState& state, int32_t n);
// The tap file's block: the recursive reverb's send or its return.
void writeTapBlock(const MixSettings& settings, MixState& state, int32_t n);

// The tap file path for a tap mode (1 revTap, 2 rtnTap) behind the mix
// directory; empty for mode 0.
std::string tapPathFor(int32_t tapMode, const PrefsSettings& prefs);

} // namespace tarvex
