// The effect chain of one strip, shared by channels, submixes and the master.
//
// A strip runs its enabled effects position by position, 1 to 11; within one
// position in the fixed order high-pass, bands 1 to 4, high shelf, low shelf,
// RMS compressor, non-linear compressor, peak compressor, limiter. An effect
// whose position lies outside 1..11 never runs. The chain works in place on
// the double work buffers at the strip's scale (2^23 for channels, 2^31 for
// submixes and the master); each strip's processors and their memory are its
// own `StripEffects`, laid out once before the first block.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "effects/effect_settings.h"
#include "effects/strip_effects.h"

namespace tarvex {

// Which strip the chain serves: the master runs an effect only when its line
// addressed "M", and handles its limiter apart from the positions.
enum class StripKind { Channel, Submix, Master };

// True when the strip has any chain effect switched on.
bool stripHasEffects(const EffectSettings& fx, int entry, StripKind kind);

// The kind of strip an entry is: 0 the master, 1..127 channels, the rest submixes.
StripKind stripKindOf(int entry);

// Sets the effects of strip entry `entry` up from the settings into a fresh
// `strip` and lays out its chain. Before the first block.
void setUpStripEffect(const EffectSettings& fx, int entry, StripEffects& strip);

// The same for every strip entry (kStripEntries strips).
void setUpStripEffects(const EffectSettings& fx, std::vector<StripEffects>& strips);

// Multiplies both sides by the effects gain.
void applyEffectsGain(double gain, int32_t n, std::span<double> left, std::span<double> right);

// Converts the work buffers back into 32-bit samples (toward zero, held at
// the 32-bit limits). Until `clipFlag` is set, every frame is checked against
// `fullScale`: a value beyond it on either side sets the flag. Runs in the
// mix loop.
void storeWithClipCheck(std::span<const double> left, std::span<const double> right,
                        std::span<int32_t> outL, std::span<int32_t> outR, int32_t n,
                        double fullScale, int32_t& clipFlag);

} // namespace tarvex
