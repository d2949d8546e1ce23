// Slot layout of the mix, shared by every layer.
//
// Per-channel tables have 137 slots: 0 the master, 1..127 the input channels
// (numbered as in the track list and the fader file), 128..135 the submixes
// 1..8, 136 spare. Effect tables cover the strip entries 0..135.
#pragma once

#include <cstdint>

namespace tarvex {

constexpr int kMasterSlot = 0;
constexpr int kMaxChannels = 127;
constexpr int kSubmixCount = 8;
// Slot of submix 1; submix n (1..8) is at groupSlot(n).
constexpr int kFirstGroupSlot = kMaxChannels + 1;
constexpr int groupSlot(int n) {
    return kMaxChannels + n;
}
// Strip entries of the effect tables: master, channels, submixes.
constexpr int kStripEntries = kFirstGroupSlot + kSubmixCount;
// Per-channel tables: the strip entries and the spare slot.
constexpr int kSlotCount = kStripEntries + 1;
// Peak tables: the channel slots plus the two reverb sends.
constexpr int kPeakEntries = kSlotCount + 2;
constexpr int kRecursiveSendPeak = kSlotCount;
constexpr int kTapSendPeak = kSlotCount + 1;
// Buses: 0 the direct bus, 1..8 the submixes.
constexpr int kBusCount = kSubmixCount + 1;
// Largest block, in frames.
constexpr int32_t kMaxBlockFrames = 131072;

static_assert(kSlotCount == 137 && kStripEntries == 136 && groupSlot(kSubmixCount) == 135);

} // namespace tarvex
