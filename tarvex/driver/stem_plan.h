// The stems a render writes beside its mix.
//
// One file per submix that a playing channel feeds (after the submix's fader,
// VCA and effects: what it adds to the master), one for the channels that
// reach the master without a submix, and one per reverb whose return is added
// to the master ("room" for the recursive reverb, "taps" for the tap reverb).
// A reverb that is a master insert is part of the master and has no stem.
// Each is named after the mix: song1.wav gives song1_sub1.wav, song1_direct.wav,
// song1_room.wav and song1_taps.wav.
#pragma once

#include <string>
#include <vector>

#include "session/mix_session.h"

namespace tarvex {

std::vector<StemFile> planStems(const MixSettings& settings);

// "sub1" .. "sub8", "direct", "room" or "taps".
std::string stemSuffixOf(const StemFile& stem);

// What the stem holds, in a few words: "submix 1 after its fader, VCA and effects".
std::string stemContentOf(const StemFile& stem);

// True when a reverb runs as a master insert, so its return has no stem.
bool reverbIsMasterInsert(const EffectSettings& fx);

} // namespace tarvex
