// The timed level entries and the per-slot settings of the mix script.
//
// Levels are 32-bit integers with 2^27 as unity gain (0 dB); 0 is silence.
// Entry tables are laid out as the automation reads them: row r holds entry r
// of every slot, so entry r of slot s is at r × stride + s (stride 137 for
// channel slots, 9 for VCAs). Times and ramps are in samples.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/scales.h"
#include "core/slot_layout.h"

namespace tarvex {

constexpr int kEntrySlots = kSlotCount;  // channel slots: master, 127 channels, 8 groups, spare
constexpr int kVcaSlots = 9;             // VCA 1..8; slot 0 takes entries of an invalid VCA number
constexpr int kMaxEntries = 512;         // entries per slot and per VCA
constexpr int32_t kMaxLevel = 536870912; // 2^29, about +12.04 dB

// One table of timed level entries.
struct EntryTable {
    explicit EntryTable(int slots)
        : stride(slots), levels(static_cast<std::size_t>(kMaxEntries) * slots, 0),
          times(levels.size(), 0), ramps(levels.size(), 0), shapes(levels.size(), 1.0f),
          count(static_cast<std::size_t>(slots), 0) {}
    std::size_t at(int entry, int slot) const {
        return static_cast<std::size_t>(entry) * static_cast<std::size_t>(stride) +
               static_cast<std::size_t>(slot);
    }
    int stride;                  // slots per row
    std::vector<int32_t> levels; // level units, 2^27 = 0 dB
    std::vector<int64_t> times;  // song sample where the entry starts
    std::vector<int64_t> ramps;  // ramp length in samples, 0 = none
    std::vector<float> shapes;   // ramp exponent, 1.0 = straight in dB
    std::vector<int32_t> count;  // entries per slot
};

// What the mix script sets for each slot apart from its level entries.
struct SlotSettings {
    std::array<int32_t, kEntrySlots> pan{};        // -100 (left) .. 100 (right)
    std::array<int32_t, kEntrySlots> polarity{};   // 1 or -1
    std::array<int32_t, kEntrySlots> delayPan{};   // `dp` value, 0 = not used
    std::array<int32_t, kEntrySlots> groupLevel{}; // 1 when a group has level entries
    int32_t masterLevel = 0;                       // 1 when the master has level entries
    std::array<double, kEntrySlots> fxGain{};      // effects gain ratio, 1.0 = none
    int32_t masterEffects = 0;                     // 1 when an `fxg` line addresses the master
    SlotSettings() {
        polarity.fill(1);
        fxGain.fill(1.0);
    }
};

// One section of the tempo map.
struct TempoSection {
    double samplesPerBeat; // rate × 60 / tempo
    int32_t beatsPerBar;   // meter numerator
    int32_t bars;          // length in bars
    int64_t length;        // length in samples
};

// Routing and panning of every slot.
struct PanRouting {
    float panLaw = 3.0f;                            // dB down at the centre; 0 = delay pan
    std::array<float, kEntrySlots> panLeft{};       // left gain
    std::array<float, kEntrySlots> panRight{};      // right gain
    std::array<int32_t, kEntrySlots> delay{};       // delay-pan delay in samples (signed)
    std::array<int32_t, kEntrySlots> delayPanned{}; // 1 when delayPanChannel builds the channel
    std::array<int32_t, kEntrySlots> delayPanPan{}; // the pan delayPanChannel places it by
    std::array<int32_t, kVcaSlots> vcaFlags{};      // VCA in use
    int32_t anyVca = 0;                             // some VCA in use
    std::array<int32_t, kEntrySlots> vcaAssign{};   // VCA of each slot, 0 = none
    std::array<int32_t, 9> soloFlags{};             // soloed submixes
};

// Where one slot's level automation stands: its ramp position and the
// entries it has reached.
struct LevelCursor {
    int32_t current = 0;  // level most recently computed
    int32_t target = 0;   // level of the entry that started last
    int32_t previous = 0; // level before that entry
    int32_t index = 0;    // next entry to start
    int32_t maxIndex = 0; // number of entries
    int64_t counter = 0;  // samples elapsed in the current ramp
    double startdB = 0.0; // dB of the previous level
    double step = 0.0;    // dB per sample, straight ramps
    double enddB = 0.0;   // dB of the target level
    double change = 0.0;  // end dB - start dB, shaped ramps
};

// What the automation of a channel, group or the master keeps from sample to
// sample and block to block on its two sides.
struct SideMemory {
    int32_t lastSignL = 0; // sign of the last left sample
    int32_t lastSignR = 0; // sign of the last right sample
    double gainL = 0.0;    // gain now applied to the left side
    double gainR = 0.0;    // gain now applied to the right side
};

// What the mix script sets for the automation; built before the first block
// and only read while mixing.
struct AutomationScript {
    EntryTable volume{kEntrySlots}; // VolumeEntryTable
    EntryTable vca{kVcaSlots};      // VcaEntryTable
    SlotSettings slots;
    std::vector<TempoSection> tempoMap;
    PanRouting routing;
};

// What the VCA automation changes while mixing: the VCAs' ramp positions and
// the gains of the block. Channels, groups and the master keep their own
// automation state with the rest of their strip.
struct AutomationState {
    std::array<LevelCursor, kVcaSlots> vcaLevels{};
    std::vector<double> vcaGains; // one block of gains per VCA slot
};

// dB of a level: -20 × log10(2^27 / x), -144 for silence (or a negative level).
double levelTodB(int32_t level);

} // namespace tarvex
