// Slot layout of the mix, shared by every layer.
//
// Per-channel tables have 137 slots: 0 the master, 1..127 the input channels
// (numbered as in the track list and the fader file), 128..135 the submixes
// 1..8, 136 spare. Effect tables cover the strip entries 0..135.
#pragma once

#include <cstdint>

namespace tarvex {

constexpr int kSlotCount = 137;
constexpr int kMasterSlot = 0;
constexpr int kMaxChannels = 127;
constexpr int kSubmixCount = 8;
// Slot of submix n (1..8).
constexpr int groupSlot(int n) {
    return 127 + n;
}
// Strip entries of the effect tables: master, channels, submixes.
constexpr int kStripEntries = 136;
// Peak tables: the channel slots plus the two reverb sends.
constexpr int kPeakEntries = 139;
constexpr int kRecursiveSendPeak = 137;
constexpr int kTapSendPeak = 138;
// Buses: 0 the direct bus, 1..8 the submixes.
constexpr int kBusCount = 9;
// Largest block, in frames.
constexpr int32_t kMaxBlockFrames = 131072;

} // namespace tarvex
