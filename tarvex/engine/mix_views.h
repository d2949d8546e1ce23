// The optional views of a mix: loudness, the overs list and the picture;
// what they measure is kept in the run's `MixViews` (meters/mix_views.h).
//
// `prepareMixViews` sets the meters up before the first block (everything
// they need is allocated there), `observeOutputBlock` feeds them once per
// block right after the block has been written, and `finishMixViews` closes
// open stretches and writes the picture after the last block. The report
// gains the text of `mixViewsReport` after its last line. Each view is on
// only when its option or preference asked for it, so a plain run measures
// nothing and its report is unchanged.
#pragma once

#include <cstdint>
#include <string>

#include "session/mix_session.h"

namespace tarvex {

// Sets the meters up. Ends the run with status 1 when the loudness meter
// cannot measure the output's format.
void prepareMixViews(const MixSettings& settings, MixState& state);

// Measures the block just written (output staging buffers, buses, master).
// Runs in the mix loop, after the output and tap blocks are written.
void observeOutputBlock(const MixSettings& settings, MixState& state, int64_t pos, int32_t n);

// Notes the channels whose clip flag went up in the block; called once the
// block's channel strips have all run and before the next block's start.
void observeChannelClips(const MixSettings& settings, MixState& state, int64_t pos, int32_t n);

// Where the overs list looks inside the console, in the block's order.
enum class ConsoleStage {
    submixSums,   // each submix bus once its channels are added
    submixFaders, // each submix after its fader
    masterSum,    // the master once every bus and reverb return is added
    masterFader,  // the master after its fader
};

// Notes the stretches at full scale of one stage of the block; nothing
// without the overs list. Runs in the mix loop.
void observeConsoleStage(const MixSettings& settings, MixState& state, ConsoleStage stage,
                         int64_t pos, int32_t n);

// The same for channel c right after its fader, pan and VCA, as it is added
// into the buses. Runs in the mix loop, on its thread, channel by channel.
void observeChannelFader(MixState& state, const StripOutput& strip, int c, int64_t pos, int32_t n);

// Closes the overs still open and writes the picture. Ends the run with
// status 1 (naming the file and the reason) when the picture cannot be
// written.
void finishMixViews(const MixSettings& settings, MixState& state);

// The loudness and overs blocks of the report; empty when both are off.
std::string mixViewsReport(const MixSession& session);

// A song position as m:ss.mmm.
std::string clockTextOf(int64_t position, uint32_t rate);

// A cue time as written on a `t` line of the fader file: m:ss.mmm, or bar,
// beat and tick in tempo mode (the automation offset taken back out).
std::string cueTextOf(const MixSettings& settings, int64_t position);

// Song sample of the latest level entry (of any channel, submix, master or
// VCA) that the render plays at or before `position`, or -1 when none is.
int64_t cueBefore(const MixSettings& settings, int64_t position);

// Where the render brings a slot's automation before the first block: the
// render start, or a later-starting channel's own start.
int64_t playFromOf(const MixSettings& settings, int slot);

} // namespace tarvex
