// The fader file's lines as lines: each line between the one holding "begin"
// and the token "end" is taken by its first field against the table of codes,
// on the text as written, and a line that no reader takes as written gets one
// diagnostic: an unknown code, fields separated by spaces instead of tabs, a
// missing, extra or non-numeric field.
//
// The mix-name line, empty lines, lines switched off with a leading '(' and
// notes (an unknown first field on a line without a number, such as the
// headings of a written template) pass in silence. The fields of effect, reverb and order lines are
// counted by the effect reader, and what a value or a channel number means where it stands by the
// reader of its line; this pass only counts fields and sees whether a number is one.
#pragma once

#include "driver/fader_lines.h"
#include "driver/preference_lines.h"
#include "session/mix_session.h"

namespace tarvex {

// Checks the fader file's lines as written; the `t` lines follow the
// preferences' `tfields` and `tempo`. Prints diagnostics only; changes
// nothing else.
void checkFaderLines(MixSession& session, const FaderLines& fader, const PreferenceLines& prefs);

} // namespace tarvex
