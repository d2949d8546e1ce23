// The cue table: the time entries, volume levels and ramp lengths of a fader
// file, one list per slot in file order. Slots 0 to 127 are the input
// channels by the number written in the file (0 included), 128 to 135 the
// submixes G1 to G8 and 136 the master, so that master and submix cues keep
// their own form instead of being read as channel numbers. Times and ramps
// are in seconds, levels in dB, all single precision as the file carries them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quorrin {

constexpr int32_t kChannelCount = 128;                       // input channels 0 to 127
constexpr int32_t kGroupCount = 8;                           // submixes G1 to G8
constexpr int32_t kMasterSlot = kChannelCount + kGroupCount; // 136
constexpr int32_t kSlotCount = kMasterSlot + 1;              // 137
constexpr int32_t kMaxEntries = 512;                         // per slot; the mixer holds no more

// Slot of submix n (1 to 8).
constexpr int32_t groupSlot(int32_t n) {
    return kChannelCount - 1 + n;
}

struct CueEntry {
    float time;  // seconds from the song start, e.g. 75.5
    float level; // dB, e.g. -6.0
    float ramp;  // seconds of fade into the level, 0 = no ramp
};

struct CueTable {
    // First word of the file, normally the mix name or "begin".
    std::string header;
    // When the header is "begin": the mix-name line that follows it, kept so
    // that the mixer still finds the name after a save; empty when none.
    std::string nameLine;
    // Entries per slot in file order, at most kMaxEntries each.
    std::array<std::vector<CueEntry>, kSlotCount> slots;
};

// How each time line is written (and read): 1 = seconds, 2 = minutes and
// seconds, 3 = minutes, seconds and milliseconds.
constexpr int32_t kDefaultTimeFields = 3;

} // namespace quorrin
