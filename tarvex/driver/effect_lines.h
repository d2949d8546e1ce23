// Reads the effect lines of the fader file into the effect settings.
//
// Per-strip lines ("comp", "rms", "nlc", "lim", "hp", "band1".."band4",
// "hshelf", "lshelf", "rev", "trev") start with their code, then a channel
// field (a number, "G" then a submix number, or "M") and their values. The
// reverb lines ("rtn", "trtn", "pos", "width", "rhp", "rlp") carry values
// only; order lines ("order" or any first field starting with "o") give an
// effect of a strip a chain position. The preferences' `tap` line picks the
// reverb tap file. Everything is converted once, before the first block:
// thresholds to sample units at the strip's scale (2^23 for channels, 2^31
// for the master and submixes), times to samples, gains to linear, filters
// to coefficients. Out-of-range values are limited; nothing here ends the run.
// A line used otherwise than written (a value limited, a channel field read
// otherwise, a line repeated or without effect) is named as a diagnostic.
#pragma once

#include <cstdint>
#include <string>

#include "driver/text_fields.h"
#include "effects/effect_settings.h"

namespace tarvex {

class Diagnostics;

// A threshold in dB held to -144..0, or in percent held to 0..100.
void limitThreshold(double& value, bool percentMode);

// A send or return level in dB held to -144..12.02.
void limitSendLevel(double& value);

// Fills `fx` from the fader text (every effect code in a fixed order, then
// the reverb lines and the order lines) and the tap signal the preferences
// ask for (`tapSignal`, 0 none, 1 the reverb, 2 its return), then sets the derived flags at the end
// of `fx`. `fx` starts from its defaults whatever it held. `rate` is the song's sample rate in Hz
// (44100 is used when it is not positive); `percentMode` is the `v=percent`
// setting; `verbosity` gates the reading messages (above 1, and 3 for the
// detail); `faderFileName` names the file in messages. With `diagnostics`,
// every effect or order line not used as written is named there too.
void readEffectSettings(const KeywordText& faderText, const std::string& faderFileName, double rate,
                        bool percentMode, int32_t verbosity, int32_t tapSignal, EffectSettings& fx,
                        Diagnostics* diagnostics = nullptr);

} // namespace tarvex
