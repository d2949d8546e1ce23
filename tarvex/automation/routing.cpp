// Routing, VCA assignment, pan gains and delay panning.
#include "automation/routing.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "automation/decibels.h"
#include "core/console.h"

namespace tarvex {

namespace {

// Calls `use` with the number of every non-empty comma-separated item.
template <typename Use> void forEachListNumber(std::string_view list, Use use) {
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = list.find(',', start);
        const std::size_t end = comma == std::string_view::npos ? list.size() : comma;
        if (end > start) {
            const std::string item(list.substr(start, end - start));
            use(std::strtoll(item.c_str(), nullptr, 10));
        }
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
}

} // namespace

void routeBusList(std::string_view list, int bus, RouteTable& route) {
    forEachListNumber(list, [&](long long n) {
        if (n >= 1 && n <= kMaxChannels)
            route[static_cast<std::size_t>(n)][static_cast<std::size_t>(bus)] = 1;
        else
            warn("Channel assigned to sub %i is out of range!\n", bus);
    });
}

void routeVcaList(std::string_view list, int vca, std::span<int32_t> assign) {
    forEachListNumber(list, [&](long long n) {
        if (n >= 0 && n < kSlotCount)
            assign[static_cast<std::size_t>(n)] = vca;
        else
            warn("Channel assigned to VCA %i is out of range!\n", vca);
    });
}

void checkFeederMutes(std::span<const int32_t> busFlags, const RouteTable& route,
                      std::span<int32_t> channelOn, int buses, int channels) {
    if (channels < 2) return;
    for (int n = 1; n < channels; ++n) {
        bool feeds = false;
        for (int b = 0; b < buses; ++b)
            if (busFlags[b] == 1 && route[n][b] == 1) feeds = true;
        if (!feeds) channelOn[n] = 0;
    }
}

float panLawOf(bool given, double value) {
    if (!given || value < 0.0 || value > 6.02) return 3.0f;
    return static_cast<float>(value);
}

bool setUpPanning(PanRouting& r, const SlotSettings& s, int32_t channelCount,
                  std::span<const int32_t> monoChannel, uint32_t rate) {
    const bool delayMode = r.panLaw == 0.0f;
    const float law = r.panLaw;
    const float k = dBtoRatio(-law, 1.0);
    std::array<int32_t, kEntrySlots> pan = s.pan;
    r.panLeft.fill(1.0f);
    r.panRight.fill(1.0f);
    for (int c = 1; c <= channelCount; ++c) {
        const auto p = static_cast<float>(pan[c]);
        if (monoChannel[c] != 0 && !delayMode) {
            if (pan[c] == 0) {
                r.panLeft[c] = r.panRight[c] = k;
            } else if (pan[c] > 0) {
                r.panLeft[c] = (100.0f - p) * k / 100.0f;
                r.panRight[c] = k * dBtoRatio(p * law / 100.0f, 1.0);
            } else {
                r.panLeft[c] = k * dBtoRatio(-p * law / 100.0f, 1.0);
                r.panRight[c] = (100.0f + p) * k / 100.0f;
            }
        } else if (monoChannel[c] == 0) {
            if (pan[c] > 0) r.panLeft[c] = (100.0f - p) / 100.0f;
            if (pan[c] < 0) r.panRight[c] = (100.0f + p) / 100.0f;
        }
    }
    for (int slot = kFirstGroupSlot; slot < kEntrySlots; ++slot) {
        const auto p = static_cast<float>(pan[slot]);
        if (pan[slot] > 0) r.panLeft[slot] = (100.0f - p) / 100.0f;
        if (pan[slot] < 0) r.panRight[slot] = (100.0f + p) / 100.0f;
    }

    // A `dp` value replaces the pan of its channel, whose gains stay at unity.
    r.delayPanned.fill(0);
    for (int c = 1; c <= channelCount; ++c) {
        if (delayMode) {
            r.delayPanned[c] = monoChannel[c];
        } else if (s.delayPan[c] != 0) {
            pan[c] = s.delayPan[c];
            r.panLeft[c] = r.panRight[c] = 1.0f;
            r.delayPanned[c] = monoChannel[c];
        }
    }
    const auto reach = static_cast<float>(static_cast<double>(rate) * 8.5 / 13560.0);
    bool fits = true;
    for (int slot = 0; slot <= channelCount; ++slot) {
        r.delay[slot] = static_cast<int32_t>(static_cast<float>(pan[slot]) / 100.0f * reach);
        if (r.delayPanned[slot] != 0 && std::abs(r.delay[slot]) >= kDelayHistory) fits = false;
    }
    // delayPanChannel reads the pan from here.
    for (int c = 1; c <= channelCount; ++c)
        if (r.delayPanned[c] != 0) r.delayPanPan[c] = pan[c];
    return fits;
}

void delayPanChannel(int32_t first, int32_t count, int32_t pan, int32_t delay,
                     std::span<const int32_t> x, std::span<int32_t, kDelayHistory> historyL,
                     std::span<int32_t, kDelayHistory> historyR, std::span<int32_t> left,
                     std::span<int32_t> right, int32_t savePosition) {
    const int32_t d = delay < 0 ? -delay : delay;
    for (int32_t i = first; i < count; ++i) {
        if (pan == 0) {
            left[i] = right[i] = x[i];
        } else if (pan <= -100) {
            left[i] = x[i];
            right[i] = 0;
        } else if (pan >= 100) {
            left[i] = 0;
            right[i] = x[i];
        } else if (pan > 0) {
            right[i] = x[i];
            left[i] = i >= d ? right[i - d] : historyR[kDelayHistory - (d - i)];
        } else {
            left[i] = x[i];
            right[i] = i >= d ? left[i - d] : historyL[kDelayHistory - (d - i)];
        }
    }
    for (int32_t i = savePosition; i < count; ++i) {
        historyL[i - savePosition] = left[i];
        historyR[i - savePosition] = right[i];
    }
}

} // namespace tarvex
