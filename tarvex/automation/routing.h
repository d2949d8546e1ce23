// Routing: which buses each channel feeds, the VCA assignments, the pan gains
// of every slot and the delay panning of mono channels.
//
// Bus 0 goes straight to the master, buses 1 to 8 are the submixes. A
// channel that feeds no live bus is switched off and never read. Amplitude
// panning follows a pan law (dB down at the centre); in delay-pan mode (law 0)
// or with a `dp` value a mono channel gets the full signal on both sides and
// the far side a few samples later.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "automation/level_tables.h"

namespace tarvex {

constexpr int kRouteBuses = 9;
// Longest delay the delay-pan history can reach back, in samples.
constexpr int32_t kDelayHistory = 256;

using RouteTable = std::array<std::array<uint8_t, kRouteBuses>, kEntrySlots>;

// Routes every channel of a comma-separated list to a bus; numbers outside
// 1 to 127 are skipped with a message.
void routeBusList(std::string_view list, int bus, RouteTable& route);

// Assigns every slot of a comma-separated list to a VCA; numbers outside
// 0 to 136 are skipped with a message.
void routeVcaList(std::string_view list, int vca, std::span<int32_t> assign);

// Switches off channels 1 to channels - 1 that feed no bus in use.
void checkFeederMutes(std::span<const int32_t> busFlags, const RouteTable& route,
                      std::span<int32_t> channelOn, int buses, int channels);

// The pan law of a `pan` value: below 0 or above 6.02 gives 3.0; 0 is delay pan.
float panLawOf(bool given, double value);

// Pan gains and delays of every slot. `monoChannel[c]` is 1 for mono files.
// Returns false when a delay would reach past the history (very high rates).
bool setUpPanning(PanRouting& routing, const SlotSettings& slots, int32_t channelCount,
                  std::span<const int32_t> monoChannel, uint32_t rate);

// Builds the left and right block of a delay-panned mono channel from its
// samples `x`, for frames first..count-1, and keeps the end of the block
// (from `savePosition`) for the next one. Runs in the mix loop.
void delayPanChannel(int32_t first, int32_t count, int32_t pan, int32_t delay,
                     std::span<const int32_t> x, std::span<int32_t, kDelayHistory> historyL,
                     std::span<int32_t, kDelayHistory> historyR, std::span<int32_t> left,
                     std::span<int32_t> right, int32_t savePosition);

} // namespace tarvex
