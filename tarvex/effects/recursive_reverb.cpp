// Recursive reverb: the room is fixed by the first block; every block then
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

#include "core/console.h"
#include "core/saturate.h"
#include "core/slot_layout.h"
#include "effects/room_geometry.h"

namespace tarvex {

namespace {

constexpr int kSurfaces = 6;
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

std::array<int32_t*, kSurfaces> surfacesOf(RecursiveReverbMemory& m) {
    return {m.surf1.data(), m.surf2.data(), m.surf3.data(),
            m.surf4.data(), m.surf5.data(), m.surf6.data()};
}

std::array<int32_t*, kSurfaces> spillsOf(RecursiveReverbMemory& m) {
    return {m.spill1.data(), m.spill2.data(), m.spill3.data(),
            m.spill4.data(), m.spill5.data(), m.spill6.data()};
}

// Travel time between surfaces j and k (0-based), the same both ways.
std::array<std::array<int32_t, kSurfaces>, kSurfaces> pairDelays(const RecursiveReverbMemory& m) {
    return {{{0, m.d12, m.d13, m.d14, m.d15, m.d16},
             {m.d12, 0, m.d23, m.d24, m.d25, m.d26},
             {m.d13, m.d23, 0, m.d34, m.d35, m.d36},
             {m.d14, m.d24, m.d34, 0, m.d45, m.d46},
             {m.d15, m.d25, m.d35, m.d45, 0, m.d56},
             {m.d16, m.d26, m.d36, m.d46, m.d56, 0}}};
}

// A block's length against the buffers it is written into: the surface
// tables and the returns hold 131072 samples, and every delay is shorter
// than the first block, so no index of any later block reaches past them.
void checkBlock(const RecursiveReverbMemory& m, int32_t count, std::span<const double> sendL,
                std::span<const double> sendR, std::span<int32_t> nextL, std::span<int32_t> nextR,
                std::span<int32_t> currentL, std::span<int32_t> currentR) {
    constexpr std::size_t kTable = kMaxBlockFrames;
    for (const auto* table : {&m.surf1, &m.surf2, &m.surf3, &m.surf4, &m.surf5, &m.surf6, &m.spill1,
                              &m.spill2, &m.spill3, &m.spill4, &m.spill5, &m.spill6})
        if (table->size() < kTable)
            stopRun(1, "RecurseReverb: the surface tables were not allocated before the first "
                       "block.\n");
    const auto n = static_cast<std::size_t>(count);
    if (count < 0 || count > kMaxBlockFrames || sendL.size() < n || sendR.size() < n ||
        nextL.size() < kTable || nextR.size() < kTable || currentL.size() < kTable ||
        currentR.size() < kTable)
        stopRun(1, "RecurseReverb: a block of %d frames does not fit the reverb's buffers.\n",
                count);
}

void setUpRoom(RecursiveReverbMemory& m, int32_t count, double rate, float L, float p1, float p2,
               float p3, float width) {
    for (int32_t* spill : spillsOf(m))
        std::fill_n(spill, count, 0);
    if (!positionInRoom(p1) || !positionInRoom(p2) || !positionInRoom(p3))
        stopRun(1, "Illegal value for reverb position parameter\n");
    // A size that is not a number is refused with the negative ones.
    if (!(L >= 0.0f)) stopRun(1, "Illegal value for reverb room size\n");

    const std::array<int32_t, kSurfaces> d = surfaceDistances(rate, L, p1, p2, p3);
    m.d1 = d[0];
    m.d2 = d[1];
    m.d3 = d[2];
    m.d4 = d[3];
    m.d5 = d[4];
    m.d6 = d[5];
    auto pair = [&d](int j, int k) { return truncToInt32(pairDistance(d[j - 1], d[k - 1])); };
    m.d12 = pair(1, 2);
    m.d13 = pair(1, 3);
    m.d14 = pair(1, 4);
    m.d15 = pair(1, 5);
    m.d16 = pair(1, 6);
    m.d23 = pair(2, 3);
    m.d24 = pair(2, 4);
    m.d25 = pair(2, 5);
    m.d26 = pair(2, 6);
    m.d34 = pair(3, 4);
    m.d35 = pair(3, 5);
    m.d36 = pair(3, 6);
    m.d45 = pair(4, 5);
    m.d46 = pair(4, 6);
    m.d56 = pair(5, 6);
    m.Width = widthFactor(width);

    m.longestSurface = *std::max_element(d.begin(), d.end());
    m.longestPair = 0;
    for (const auto& row : pairDelays(m))
        m.longestPair = std::max(m.longestPair, *std::max_element(row.begin(), row.end()));
    if (std::max(m.longestSurface, m.longestPair) >= count)
        stopRun(1, "Please reduce room size in reverb!\n");
    m.setUp = 1;
}

// Feed: each surface starts the block with what has already reached it plus
// its side's send.
void feed(RecursiveReverbMemory& m, int32_t n, const double* sendL, const double* sendR) {
    const auto surf = surfacesOf(m);
    const auto spill = spillsOf(m);
    for (int k = 0; k < kSurfaces; ++k) {
        const double* in = kFedByLeft[k] ? sendL : sendR;
        for (int32_t i = 0; i < n; ++i) {
            surf[k][i] = truncToInt32(static_cast<double>(spill[k][i]) + in[i]);
            spill[k][i] = 0;
        }
    }
}

// One sample's sixths, passed from surface j to every other surface k in the
// order j = 1 .. 6, k = 1 .. 6.
struct Path {
    int32_t from;   // source surface, 0-based
    int32_t delay;  // travel time, samples
    int32_t* surf;  // target surface's block
    int32_t* spill; // target surface's next block
};

void recirculate(RecursiveReverbMemory& m, int32_t n) {
    const auto surf = surfacesOf(m);
    const auto spill = spillsOf(m);
    const auto delay = pairDelays(m);
    std::array<Path, kPaths> paths;
    std::size_t p = 0;
    for (int j = 0; j < kSurfaces; ++j)
        for (int k = 0; k < kSurfaces; ++k)
            if (k != j) paths[p++] = Path{j, delay[j][k], surf[k], spill[k]};

    std::array<int32_t, kSurfaces> v;
    auto sixths = [&](int32_t i) {
        for (int j = 0; j < kSurfaces; ++j)
            v[j] = truncToInt32(static_cast<double>(surf[j][i]) * kOneSixth);
    };
    const int32_t inside = std::max(0, n - m.longestPair);
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

// What the listening position hears of one surface on one side.
struct Voice {
    const int32_t* surf; // source surface's block
    int32_t delay;       // the surface's distance, samples
    double gain;         // 1/4 or W/4
    int32_t* current;    // this block's return on that side
    int32_t* next;       // the next block's return on that side
};

// Emit: surfaces 1 .. 6 in turn, each to the left return and then the right.
void emit(RecursiveReverbMemory& m, int32_t n, int32_t* nextL, int32_t* nextR, int32_t* currentL,
          int32_t* currentR) {
    const auto surf = surfacesOf(m);
    const double near = kHeard;
    const double far = kHeard * static_cast<double>(m.Width);
    const std::array<Voice, 10> voices{{{surf[0], m.d1, far, currentL, nextL},
                                        {surf[0], m.d1, near, currentR, nextR},
                                        {surf[1], m.d2, near, currentL, nextL},
                                        {surf[2], m.d3, near, currentR, nextR},
                                        {surf[3], m.d4, near, currentL, nextL},
                                        {surf[3], m.d4, far, currentR, nextR},
                                        {surf[4], m.d5, far, currentL, nextL},
                                        {surf[4], m.d5, near, currentR, nextR},
                                        {surf[5], m.d6, near, currentL, nextL},
                                        {surf[5], m.d6, far, currentR, nextR}}};
    auto add = [](int32_t& cell, double value) {
        cell = truncToInt32(static_cast<double>(cell) + value);
    };
    const int32_t inside = std::max(0, n - m.longestSurface);
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

} // namespace

void RecursiveReverbMemory::init() {
    for (auto* table : {&surf1, &surf2, &surf3, &surf4, &surf5, &surf6, &spill1, &spill2, &spill3,
                        &spill4, &spill5, &spill6})
        table->assign(kMaxBlockFrames, 0);
}

void RecurseReverb(RecursiveReverbMemory& memory, int32_t count, double rate,
                   std::span<const double> sendL, std::span<const double> sendR, float L, float p1,
                   float p2, float p3, float width, std::span<int32_t> nextL,
                   std::span<int32_t> nextR, std::span<int32_t> currentL,
                   std::span<int32_t> currentR) {
    checkBlock(memory, count, sendL, sendR, nextL, nextR, currentL, currentR);
    if (memory.setUp == 0) setUpRoom(memory, count, rate, L, p1, p2, p3, width);
    feed(memory, count, sendL.data(), sendR.data());
    recirculate(memory, count);
    emit(memory, count, nextL.data(), nextR.data(), currentL.data(), currentR.data());
}

} // namespace tarvex
