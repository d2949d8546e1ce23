// The edits the editor makes to a whole cue table, and the searches over its
// times. Every edit applies to all entries of all slots (channels, submixes
// and master alike) in single precision, as the file values are held.
#pragma once

#include "quorrin/cue_table.h"

#include <optional>

namespace quorrin {

// Latest time of all entries, never below 0 (0 for an empty table).
float latestTime(const CueTable& table);

// Earliest time of all entries, never above `last` (the result of latestTime).
float earliestTime(const CueTable& table, float last);

// Multiplies every time and every ramp length by `factor` when it lies in
// 0.001 to 1000; returns whether it did.
bool scaleTimes(CueTable& table, float factor);

// Adds `seconds` to every time.
void nudgeTimes(CueTable& table, float seconds);

// Adds `dB` to every level.
void adjustLevels(CueTable& table, float dB);

// One whole-table edit given on the command line.
struct CueOperation {
    enum class Kind { nudge, scale, adjust };
    Kind kind;
    float amount; // seconds, factor (0.001 to 1000) or dB
};

// Applies `operation` to one value of a fader file: a time (nudged or
// scaled), a level (adjusted) or a ramp length (scaled); other pairs leave
// the value as it is. The arithmetic is the table edits' own.
float applyToTime(const CueOperation& operation, float seconds);
float applyToLevel(const CueOperation& operation, float dB);
float applyToRamp(const CueOperation& operation, float seconds);

// Applies `operation` to the whole table.
void applyOperation(CueTable& table, const CueOperation& operation);

// Earliest time strictly after `after`, or none when no entry is later.
std::optional<float> nextTimeAfter(const CueTable& table, float after);

} // namespace quorrin
