// A picture of the mix as one SVG page.
//
// Over a time axis of the render window (minutes and seconds, or bars and
// beats in tempo mode) the page has one lane per channel that plays, per
// submix in use and for the master, each drawing the level the automation
// computes for that slot (its cues, ramps and shapes, with its VCA and trims)
// and marking every cue with its dB; below them the output's peak envelope of
// each side, with every column that holds a full-scale sample drawn in red.
// The levels come from the automation's own tables, entry by entry as the
// render plays them (a cue earlier than the one before it in its slot is
// never reached, so it is neither drawn nor marked), at every cue, along
// every ramp and at the window's ends, so the points of a lane are bounded by
// the entry limits, whatever the song's length.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "session/mix_session.h"

namespace tarvex {

// One point of a lane: a song sample and the level there, in dB.
struct LevelPoint {
    int64_t position;
    double dB;
};

// Points along every ramp of a lane (more for a ramp shorter than this:
// one per sample).
constexpr int32_t kPointsPerRamp = 24;

// The level of a slot over [start, end] as the automation computes it (its
// VCA's gain included), at the window's ends, at each cue and along each
// ramp, the slot brought to `playFrom` before the first block as the render
// brings it. A submix or master without level entries passes at 0 dB.
std::vector<LevelPoint> levelCurve(const AutomationScript& script, int slot, int64_t start,
                                   int64_t end, int64_t playFrom);

// The whole page.
std::string plotSvg(const MixSettings& settings, const MixState& state);

} // namespace tarvex
