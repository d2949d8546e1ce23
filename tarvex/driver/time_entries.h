// Reads the mix script's timeline into the level tables: `t` lines set the
// time cursor, `v` and `vca` lines add level entries at it, `rmp`, `shape`
// and `ofs` change the most recent entry, `p`, `pol`, `dp`, `trim`, `scale`,
// `mtrim` and `fxg` set per-slot values. The finished tables are validated,
// get their default ramps, and ramps that would run into the next entry are
// cut short.
#pragma once

#include <string>

#include "driver/fader_lines.h"
#include "driver/preference_lines.h"
#include "session/mix_session.h"

namespace tarvex {

// A fader value in dB or percent held to its range; prints a warning naming
// the fader and the 1-based entry when it is out of range or not a number.
void limitFaderValue(double& value, bool percent, int fader, int entry);

// The level of a fader value: percent or dB, 2^27 = unity.
int32_t levelOfFader(double value, bool percent);

// Reads every timeline line and settles the level tables; the time field
// count (`tfields`) comes from the preferences. Ends the run with
// status 2 on a time outside the song or a `t` line without its fields.
void readTimeEntries(MixSession& session, const FaderLines& fader, const PreferenceLines& prefs);

// "M", "G n" or the channel number of a slot, for messages.
std::string slotName(int slot);

} // namespace tarvex
