// Level automation: plays the timed level entries as dB-domain ramps.
//
// An entry starts only at its exact sample position, in list order. While a
// slot ramps, its level follows start dB + counter × step (straight) or
// start dB + change × (counter / ramp)^shape (shaped). On channels, groups and
// the master a new level reaches the audio only where the signal changes
// sign, separately on each side, so gain steps land near zero. VCA gains are
// computed every sample and multiply the gains of their channels.
// Power and logarithm are taken only when an entry starts and at a sign
// change of a ramping slot (every sample only for a ramping VCA).
#pragma once

#include <cstdint>
#include <span>

#include "automation/level_tables.h"

namespace tarvex {

// Channel automation divisor: a unity level multiplies by 256 (2^23 to 2^31).
constexpr double kChannelDivisor = 524288.0;
// Group and master divisor: a unity level multiplies by 1.
constexpr double kBusDivisor = kUnityLevel;

// Applies automation to one block of one slot, in place on `left` and
// `right`. `vcaGains` holds one block of `count` gains per VCA slot. A slot
// that is settled through the block takes one gain per side; a ramping slot,
// or one whose next entry starts in the block, goes sample by sample.
// Runs in the mix loop.
void automateLevels(int64_t pos, int32_t count, int slot, const EntryTable& table,
                    LevelCursor& state, SideMemory& memory, std::span<int32_t> left,
                    std::span<int32_t> right, int32_t polarity, double divisor, float panLeft,
                    float panRight, std::span<const int32_t> vcaAssign,
                    std::span<const double> vcaGains);

// Computes one block of gains for one VCA into out[vca × count + i].
// Runs in the mix loop.
void automateVca(int64_t pos, int32_t count, int vca, const EntryTable& table, LevelCursor& state,
                 std::span<double> out);

// Sets one slot's automation state as it would stand at sample `pos`.
void seekLevel(LevelCursor& state, const EntryTable& table, int64_t pos, int slot);

// The entries of one slot as the render plays them once `prepareAutomation`
// has brought the slot to `from`: entry `inForce` holds there (entry 0 also
// when no entry has started: its level is the slot's first), then entries
// `next` to `end` - 1 start at their times. An entry whose time is not later
// than the time of the entry before it is never reached, and neither are the
// slot's later entries, so `end` stops at the first such entry.
struct PlayedEntries {
    int32_t inForce; // entry whose level or ramp holds at `from`
    int32_t next;    // first entry that starts at or after `from`
    int32_t end;     // one past the last entry that starts
};
PlayedEntries playedEntries(const EntryTable& table, int slot, int64_t from);

// The level the automation computes for the slot at `pos` (at or after the
// `from` of `played`), before it reaches the audio at a zero crossing.
int32_t playedLevelAt(const EntryTable& table, int slot, const PlayedEntries& played, int64_t pos);

// Brings every slot to the render start before the first block: the state
// at the start of the window, and for late-starting channels at their start.
// `levels` holds the automation state of each of the kEntrySlots slots.
void prepareAutomation(const AutomationScript& script, AutomationState& state,
                       std::span<LevelCursor* const> levels, int64_t renderStart,
                       int32_t channelCount, std::span<const int64_t> channelStart);

} // namespace tarvex
