// The tempo map: sections of tempo, meter and length laid end to end, so that
// cue times can be written as bar, beat and tick (480 ticks to a beat).
#pragma once

#include <span>

#include "driver/fader_lines.h"
#include "session/mix_session.h"

namespace tarvex {

// Builds the map from the `tmap` lines (tempo mode only). Ends the run with
// status 2 when there is no section, more than 128, a tempo of 0 or below,
// or only one time field to hold bar, beat and tick.
void buildTempoMap(MixSession& session, const FaderLines& fader);

// Song sample of a bar, beat and tick; may be negative (bar 0).
int64_t tempoPosition(std::span<const TempoSection> map, float bar, float beat, float tick,
                      int64_t offset);

} // namespace tarvex
