// Recursive reverb: the room is fixed before the first block; every block then
// feeds the surfaces, lets them feed each other, and adds what the
// listening position hears into the returns.
//
// The recirculation of a sample feeds later samples of the same block, so
// the block is walked sample by sample. Where every delayed sample of a step
// still falls inside the block (all but the last longest-delay samples), the
// loop writes straight into the block; only the last stretch chooses per
// addition between the block and the spill. Both run the additions in the
// same order, so the output does not depend on where the split falls.
#include "effects/recursive_reverb.h"

#include <algorithm>
#include <array>
#include <cassert>

#include "core/saturate.h"
#include "core/slot_layout.h"
#include "effects/room_geometry.h"

namespace tarvex {

namespace {

constexpr int kSurfaces = kRoomSurfaces;
constexpr int kPaths = kSurfaces * (kSurfaces - 1);
// Share of a surface's signal passed on to each of the other surfaces.
constexpr double kOneSixth = 0.16666666666666666;
// Level at which each surface is heard at the listening position.
constexpr double kHeard = 0.25;
// Surfaces fed by the left send (1, 2 and 5); the others take the right.
constexpr std::array<bool, kSurfaces> kFedByLeft{true, true, false, false, true, false};

// Far-side factor of the width: 100 keeps each side's surfaces to their
// own side, 0 spreads them equally.
float widthFactor(float width) {
    if (width > 100.0f) return 0.0f;
    if (width < 0.0f) return 1.0f;
    // A width that is not a number would turn every sample it touches, in
    // both reverbs' returns, into 0; it takes the default of 50 instead.
    if (!(width == width)) return 0.5f;
    return (100.0f - width) / 100.0f;
}

template <typename Tables> std::array<int32_t*, kSurfaces> dataOf(Tables& tables) {
    std::array<int32_t*, kSurfaces> data{};
    for (int k = 0; k < kSurfaces; ++k)
        data[k] = tables[k].data();
    return data;
}

// One sample's sixths, passed from surface j to every other surface k in the
// order j = 1 .. 6, k = 1 .. 6.
struct Path {
    int32_t from;   // source surface, 0-based
    int32_t delay;  // travel time, samples
    int32_t* surf;  // target surface's block
    int32_t* spill; // target surface's next block
};

// What the listening position hears of one surface on one side.
struct Voice {
    const int32_t* surf; // source surface's block
    int32_t delay;       // the surface's distance, samples
    double gain;         // 1/4 or W/4
    int32_t* current;    // this block's return on that side
    int32_t* next;       // the next block's return on that side
};

} // namespace

SetUpResult RecursiveReverb::setUp(const RecursiveReverbSettings& settings, double rate,
                                   int32_t firstBlock) {
    const float L = settings.roomFeet;
    const float p1 = settings.position[0], p2 = settings.position[1], p3 = settings.position[2];
    if (!positionInRoom(p1) || !positionInRoom(p2) || !positionInRoom(p3))
        return {"Illegal value for reverb position parameter\n"};
    // A size that is not a number is refused with the negative ones.
    if (!(L >= 0.0f)) return {"Illegal value for reverb room size\n"};

    surfaceDelay_ = surfaceDistances(rate, L, p1, p2, p3);
    longestSurface_ = *std::max_element(surfaceDelay_.begin(), surfaceDelay_.end());
    longestPair_ = 0;
    for (int j = 0; j < kSurfaces; ++j)
        for (int k = 0; k < kSurfaces; ++k) {
            pairDelay_[j][k] =
                j == k ? 0 : truncToInt32(pairDistance(surfaceDelay_[j], surfaceDelay_[k]));
            longestPair_ = std::max(longestPair_, pairDelay_[j][k]);
        }
    farSideGain_ = widthFactor(settings.width);
    if (std::max(longestSurface_, longestPair_) >= firstBlock)
        return {"Please reduce room size in reverb!\n"};
    for (auto* tables : {&surfaces_, &spills_})
        for (std::vector<int32_t>& table : *tables)
            table.assign(kMaxBlockFrames, 0);
    return {};
}

// Feed: each surface starts the block with what has already reached it plus
// its side's send.
void RecursiveReverb::feed(int32_t n, const double* sendL, const double* sendR) {
    const auto surf = dataOf(surfaces_);
    const auto spill = dataOf(spills_);
    for (int k = 0; k < kSurfaces; ++k) {
        const double* in = kFedByLeft[k] ? sendL : sendR;
        for (int32_t i = 0; i < n; ++i) {
            surf[k][i] = truncToInt32(static_cast<double>(spill[k][i]) + in[i]);
            spill[k][i] = 0;
        }
    }
}

void RecursiveReverb::recirculate(int32_t n) {
    const auto surf = dataOf(surfaces_);
    const auto spill = dataOf(spills_);
    std::array<Path, kPaths> paths;
    std::size_t p = 0;
    for (int j = 0; j < kSurfaces; ++j)
        for (int k = 0; k < kSurfaces; ++k)
            if (k != j) paths[p++] = Path{j, pairDelay_[j][k], surf[k], spill[k]};

    std::array<int32_t, kSurfaces> v;
    auto sixths = [&](int32_t i) {
        for (int j = 0; j < kSurfaces; ++j)
            v[j] = truncToInt32(static_cast<double>(surf[j][i]) * kOneSixth);
    };
    const int32_t inside = std::max(0, n - longestPair_);
    for (int32_t i = 0; i < inside; ++i) {
        sixths(i);
        for (const Path& path : paths) {
            int32_t& cell = path.surf[i + path.delay];
            cell = saturatingAdd(cell, v[path.from]);
        }
    }
    for (int32_t i = inside; i < n; ++i) {
        sixths(i);
        for (const Path& path : paths) {
            const int32_t t = i + path.delay;
            int32_t& cell = t < n ? path.surf[t] : path.spill[t - n];
            cell = saturatingAdd(cell, v[path.from]);
        }
    }
}

// Emit: surfaces 1 .. 6 in turn, each to the left return and then the right.
void RecursiveReverb::emit(int32_t n, int32_t* nextL, int32_t* nextR, int32_t* currentL,
                           int32_t* currentR) {
    const auto surf = dataOf(surfaces_);
    const auto& d = surfaceDelay_;
    const double near = kHeard;
    const double far = kHeard * static_cast<double>(farSideGain_);
    const std::array<Voice, 10> voices{{{surf[0], d[0], far, currentL, nextL},
                                        {surf[0], d[0], near, currentR, nextR},
                                        {surf[1], d[1], near, currentL, nextL},
                                        {surf[2], d[2], near, currentR, nextR},
                                        {surf[3], d[3], near, currentL, nextL},
                                        {surf[3], d[3], far, currentR, nextR},
                                        {surf[4], d[4], far, currentL, nextL},
                                        {surf[4], d[4], near, currentR, nextR},
                                        {surf[5], d[5], near, currentL, nextL},
                                        {surf[5], d[5], far, currentR, nextR}}};
    auto add = [](int32_t& cell, double value) {
        cell = truncToInt32(static_cast<double>(cell) + value);
    };
    const int32_t inside = std::max(0, n - longestSurface_);
    for (int32_t i = 0; i < inside; ++i)
        for (const Voice& voice : voices)
            add(voice.current[i + voice.delay], voice.gain * static_cast<double>(voice.surf[i]));
    for (int32_t i = inside; i < n; ++i)
        for (const Voice& voice : voices) {
            const int32_t t = i + voice.delay;
            add(t < n ? voice.current[t] : voice.next[t - n],
                voice.gain * static_cast<double>(voice.surf[i]));
        }
}

// A block's length against the buffers it is written into: the surface
// tables and the returns hold 131072 samples, and every delay is shorter
// than the first block, so no index of any later block reaches past them.
void RecursiveReverb::process(int32_t count, std::span<const double> sendL,
                              std::span<const double> sendR, std::span<int32_t> nextL,
                              std::span<int32_t> nextR, std::span<int32_t> currentL,
                              std::span<int32_t> currentR) {
    [[maybe_unused]] constexpr std::size_t kTable = kMaxBlockFrames;
    [[maybe_unused]] const auto n = static_cast<std::size_t>(count);
    assert(surfaces_[0].size() >= kTable);
    assert(count >= 0 && count <= kMaxBlockFrames && sendL.size() >= n && sendR.size() >= n &&
           nextL.size() >= kTable && nextR.size() >= kTable && currentL.size() >= kTable &&
           currentR.size() >= kTable);
    feed(count, sendL.data(), sendR.data());
    recirculate(count);
    emit(count, nextL.data(), nextR.data(), currentL.data(), currentR.data());
}

} // namespace tarvex
