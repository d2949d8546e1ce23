// Writing a cue table as fader-file text, ordered by channels (each entry
// under its own time line) or by times (one time line per distinct time, the
// entries at that time below it in slot order), with 1, 2 or 3 time fields.
// The text opens with the file's first word, and after "begin" with the
// mix-name line, so the mixer reads the same name again.
#pragma once

#include "quorrin/cue_table.h"

#include <cstdint>
#include <string>

namespace quorrin {

enum class Ordering { byTimes, byChannels };

// "\nt\t...\n" for a time of `seconds` with `timeFields` fields.
std::string timeLine(float seconds, int32_t timeFields);

// The fields of that line alone, e.g. "1\t15\t500".
std::string timeFieldsText(float seconds, int32_t timeFields);

// A level and a ramp length as the cue text writes them: "-6.00", "1.500".
std::string levelText(float dB);
std::string rampText(float seconds);

// Text ordered by channels.
std::string formatByChannels(const CueTable& table, int32_t timeFields);

// Text ordered by times. Entries at -1 s or earlier are left out.
std::string formatByTimes(const CueTable& table, int32_t timeFields);

// How many entries the text ordered by times leaves out: those at -1 s or
// earlier (after a negative nudge, say).
int32_t entriesLeftOutByTimes(const CueTable& table);

// The warning for entries that `ordering` leaves out of the text, or "".
std::string leftOutWarning(const CueTable& table, Ordering ordering);

std::string formatCues(const CueTable& table, int32_t timeFields, Ordering ordering);

// "\nEntries:\n" and one "ch ...:  count" line per slot that holds entries.
std::string formatEntryCounts(const CueTable& table);

} // namespace quorrin
