// Level automation of channels, groups, the master and the VCAs.
#include "automation/level_automation.h"
#include "core/saturate.h"
#include "core/vector_clones.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarvex {

namespace {

constexpr double kLevelToRatio = 7.450580596923828e-9; // 2^-27

inline int32_t levelFromdB(double dB) {
    return truncToInt32(std::pow(10.0, dB / 20.0) * kUnityLevel);
}

inline int32_t signOf(int32_t v) {
    return v < 0 ? -1 : 1;
}

// The ramp of an entry as the automation plays it: a ramp of 0 plays as one
// sample, so a jump still takes its step at the next zero crossing.
inline int64_t rampOf(const EntryTable& t, int32_t entry, int slot) {
    const int64_t ramp = t.ramps[t.at(entry, slot)];
    return ramp == 0 ? 1 : ramp;
}

// Starts entry `entry` of a slot.
void startEntry(const EntryTable& t, LevelCursor& a, int slot, int32_t entry) {
    const int32_t before = entry > 0 ? entry - 1 : 0;
    a.previous = t.levels[t.at(before, slot)];
    a.target = t.levels[t.at(entry, slot)];
    a.startdB = levelTodB(a.previous);
    a.enddB = levelTodB(a.target);
    const int64_t ramp = rampOf(t, entry, slot);
    if (t.shapes[t.at(entry, slot)] == 1.0f)
        a.step = (a.enddB - a.startdB) / static_cast<double>(ramp);
    else
        a.change = a.enddB - a.startdB;
    a.counter = 0;
    if (a.index < a.maxIndex) ++a.index;
}

// The ramp's dB value at the slot's counter, for the ramping entry `e`.
double rampdB(const EntryTable& t, const LevelCursor& a, int slot, int32_t e) {
    const float shape = t.shapes[t.at(e, slot)];
    if (shape == 1.0f) return a.startdB + static_cast<double>(a.counter) * a.step;
    const double ramp = static_cast<double>(rampOf(t, e, slot));
    return a.startdB + a.change * std::pow(static_cast<double>(a.counter) / ramp, shape);
}

// The time of the next entry to start, or -1 when the slot has none left; a
// slot never reads past its own entries.
inline int64_t nextStart(const EntryTable& t, const LevelCursor& a, int slot) {
    const int32_t n = a.index;
    return n < a.maxIndex ? t.times[t.at(n, slot)] : -1;
}

inline void advanceRamp(const EntryTable& t, LevelCursor& a, int slot) {
    const int32_t e = a.index - 1;
    if (a.counter < rampOf(t, e, slot)) ++a.counter;
}

// The block paths below are inlined into automateLevels, so that they are
// built for each instruction set it is built for.

// One slot's two sides as a call sees them: the sign each side last had and
// the gain it applies (both kept between blocks), and how a level becomes
// those gains.
struct SlotSides {
    int32_t& signL; // sign of the last left sample
    int32_t& signR; // sign of the last right sample
    double& gainL;  // gain now applied to the left side
    double& gainR;  // gain now applied to the right side
    int32_t polarity;
    double divisor;
    float panLeft, panRight;

    // The gain of one side for a level; the single-precision steps are part
    // of the result.
    double gainOf(int32_t level, float pan) const {
        const auto signedLevel = static_cast<float>(static_cast<int64_t>(level) * polarity);
        return static_cast<double>(signedLevel * pan) / divisor;
    }
};

// One side of a settled block: the gain in force up to the side's first sign
// change, `fresh` from there on, so that most of the block is a plain
// multiplication. The VCA gains, when there are any, multiply in as well.
[[gnu::always_inline]] inline void settledSide(std::span<int32_t> x, int32_t& sign, double& apply,
                                               double fresh, const double* gains, bool leftSide) {
    const auto count = static_cast<int32_t>(x.size());
    int32_t i = 0;
    for (; i < count && signOf(x[i]) == sign; ++i)
        x[i] = truncToInt32(gains == nullptr ? apply * x[i]
                            : leftSide       ? apply * gains[i] * x[i]
                                             : x[i] * apply * gains[i]);
    if (i == count) return;
    apply = fresh;
    // Levels, pans and VCA gains are numbers, so the products are too.
    if (gains == nullptr) {
        for (; i < count; ++i)
            x[i] = truncFiniteToInt32(apply * x[i]);
    } else if (leftSide) {
        for (; i < count; ++i)
            x[i] = truncFiniteToInt32(apply * gains[i] * x[i]);
    } else {
        for (; i < count; ++i)
            x[i] = truncFiniteToInt32(x[i] * apply * gains[i]);
    }
}

// A settled slot with no entry starting in the block keeps `level` for the
// whole block: each side takes its new gain at its first sign change.
[[gnu::always_inline]] inline void automateSettled(std::span<int32_t> left,
                                                   std::span<int32_t> right, int32_t level,
                                                   SlotSides& s, const double* gains) {
    const double freshL = s.gainOf(level, s.panLeft);
    const double freshR = s.gainOf(level, s.panRight);
    const int32_t lastL = signOf(left.back());
    const int32_t lastR = signOf(right.back());
    settledSide(left, s.signL, s.gainL, freshL, gains, true);
    settledSide(right, s.signR, s.gainR, freshR, gains, false);
    s.signL = lastL;
    s.signR = lastR;
}

// A slot that ramps, or whose next entry starts in the block, sample by
// sample: entries start at their sample (`due`), the ramp advances every
// sample, and a side takes the level of the moment where its sign changes.
[[gnu::always_inline]] inline void automateRamp(int64_t pos, int32_t count, int slot,
                                                const EntryTable& table, LevelCursor& state,
                                                std::span<int32_t> left, std::span<int32_t> right,
                                                SlotSides& s, const double* gains, int64_t due) {
    for (int32_t i = 0; i < count; ++i) {
        const int32_t signL = signOf(left[i]);
        const int32_t signR = signOf(right[i]);
        if (pos + i == due) {
            startEntry(table, state, slot, state.index);
            due = nextStart(table, state, slot);
        }
        const bool changedL = signL != s.signL;
        const bool changedR = signR != s.signR;
        bool fresh = false;
        int32_t level = 0;
        if (state.current != state.target) {
            advanceRamp(table, state, slot);
            if (changedL || changedR) {
                level = levelFromdB(rampdB(table, state, slot, state.index - 1));
                state.current = level;
                fresh = true;
            }
        } else {
            level = state.current;
            fresh = true;
        }
        if (fresh) {
            if (changedL) s.gainL = s.gainOf(level, s.panLeft);
            if (changedR) s.gainR = s.gainOf(level, s.panRight);
        }
        if (gains != nullptr) {
            const double g = gains[i];
            left[i] = truncToInt32(s.gainL * g * left[i]);
            right[i] = truncToInt32(right[i] * s.gainR * g);
        } else {
            left[i] = truncToInt32(s.gainL * left[i]);
            right[i] = truncToInt32(right[i] * s.gainR);
        }
        s.signL = signL;
        s.signR = signR;
    }
}

} // namespace

double levelTodB(int32_t level) {
    return level > 0 ? -20.0 * std::log10(kUnityLevel / static_cast<double>(level)) : kFloorDb;
}

TARVEX_VECTOR_CLONES
void automateLevels(int64_t pos, int32_t count, int slot, const EntryTable& table,
                    LevelCursor& state, SideMemory& memory, std::span<int32_t> left,
                    std::span<int32_t> right, int32_t polarity, double divisor, float panLeft,
                    float panRight, std::span<const int32_t> vcaAssign,
                    std::span<const double> vcaGains) {
    if (count <= 0) return;
    // At the first sample of the song the gains apply at once.
    if (pos == 0) {
        memory.lastSignL = -signOf(left[0]);
        memory.lastSignR = -signOf(right[0]);
    }
    const int32_t vca = vcaAssign[slot];
    const int32_t vcaBase = vca * count;
    const double* gains = vca != 0 ? vcaGains.data() + vcaBase : nullptr;
    SlotSides sides{memory.lastSignL, memory.lastSignR, memory.gainL, memory.gainR,
                    polarity,         divisor,          panLeft,      panRight};
    const int64_t due = nextStart(table, state, slot);
    if (state.current == state.target && (due < pos || due >= pos + count))
        automateSettled(left.first(static_cast<std::size_t>(count)),
                        right.first(static_cast<std::size_t>(count)), state.current, sides, gains);
    else
        automateRamp(pos, count, slot, table, state, left, right, sides, gains, due);
}

void automateVca(int64_t pos, int32_t count, int vca, const EntryTable& table, LevelCursor& state,
                 std::span<double> out) {
    double* gains = out.data() + static_cast<std::size_t>(vca) * static_cast<std::size_t>(count);
    int64_t due = nextStart(table, state, vca);
    for (int32_t i = 0; i < count; ++i) {
        if (pos + i == due) {
            startEntry(table, state, vca, state.index);
            due = nextStart(table, state, vca);
        }
        if (state.current != state.target) {
            advanceRamp(table, state, vca);
            const double dB = rampdB(table, state, vca, state.index - 1);
            const double ratio = std::pow(10.0, dB / 20.0);
            state.current = truncToInt32(ratio * kUnityLevel);
            gains[i] = ratio;
        } else {
            gains[i] = state.current * kLevelToRatio;
        }
    }
}

void seekLevel(LevelCursor& a, const EntryTable& t, int64_t pos, int slot) {
    const int32_t first = t.levels[t.at(0, slot)];
    auto settleAtFirst = [&] {
        a.current = a.target = first;
        a.startdB = levelTodB(first);
    };
    if (pos <= t.times[t.at(0, slot)]) {
        a.index = 0;
        settleAtFirst();
        return;
    }
    int32_t k = 1;
    while (k < a.maxIndex && t.times[t.at(k, slot)] < pos)
        ++k;
    if (k > a.maxIndex) k = a.maxIndex;
    a.index = k;
    if (k <= 1) {
        settleAtFirst();
        return;
    }
    const int32_t e = k - 1;
    const int64_t elapsed = pos - t.times[t.at(e, slot)];
    const int64_t ramp = rampOf(t, e, slot);
    if (elapsed >= ramp) {
        a.current = a.target = t.levels[t.at(e, slot)];
        return;
    }
    a.previous = t.levels[t.at(e - 1, slot)];
    a.target = t.levels[t.at(e, slot)];
    a.startdB = levelTodB(a.previous);
    a.enddB = levelTodB(a.target);
    a.change = a.enddB - a.startdB;
    a.step = ramp != 0 ? a.change / static_cast<double>(ramp) : 0.0;
    a.counter = elapsed;
    a.current = levelFromdB(rampdB(t, a, slot, e));
}

PlayedEntries playedEntries(const EntryTable& t, int slot, int64_t from) {
    const int32_t count = t.count[static_cast<std::size_t>(slot)];
    // The entry index `seekLevel` settles on.
    int32_t k = 0;
    if (from > t.times[t.at(0, slot)]) {
        k = 1;
        while (k < count && t.times[t.at(k, slot)] < from)
            ++k;
        k = std::min(k, count);
    }
    int32_t end = k;
    if (k < count) {
        end = k + 1;
        while (end < count && t.times[t.at(end, slot)] > t.times[t.at(end - 1, slot)])
            ++end;
    }
    return {std::max(k - 1, 0), k, end};
}

int32_t playedLevelAt(const EntryTable& t, int slot, const PlayedEntries& played, int64_t pos) {
    // The last entry started before `pos` (at its own first sample an entry's
    // ramp has not moved yet); the started entries' times rise strictly.
    int32_t lo = played.next, hi = played.end;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        if (t.times[t.at(mid, slot)] < pos)
            lo = mid + 1;
        else
            hi = mid;
    }
    const int32_t e = lo > played.next ? lo - 1 : played.inForce;
    // The first entry ramps from its own level: it holds from the start.
    if (e == 0) return t.levels[t.at(0, slot)];
    const int64_t elapsed = pos - t.times[t.at(e, slot)];
    const int64_t ramp = rampOf(t, e, slot);
    if (elapsed >= ramp) return t.levels[t.at(e, slot)];
    const double startdB = levelTodB(t.levels[t.at(e - 1, slot)]);
    const double change = levelTodB(t.levels[t.at(e, slot)]) - startdB;
    const float shape = t.shapes[t.at(e, slot)];
    const double dB =
        shape == 1.0f
            ? startdB + static_cast<double>(elapsed) * (change / static_cast<double>(ramp))
            : startdB + change * std::pow(static_cast<double>(elapsed) / static_cast<double>(ramp),
                                          shape);
    return levelFromdB(dB);
}

void prepareAutomation(const AutomationScript& script, AutomationState& au,
                       std::span<LevelCursor* const> levels, int64_t renderStart,
                       int32_t channelCount, std::span<const int64_t> channelStart) {
    for (int slot = 0; slot < kEntrySlots; ++slot) {
        levels[slot]->maxIndex = script.volume.count[slot];
        levels[slot]->index = 0;
    }
    for (int vca = 0; vca < kVcaSlots; ++vca) {
        au.vcaLevels[vca].maxIndex = script.vca.count[vca];
        au.vcaLevels[vca].index = 0;
    }
    if (renderStart > 0) {
        for (int slot = 0; slot <= channelCount; ++slot)
            seekLevel(*levels[slot], script.volume, renderStart, slot);
        for (int slot = kFirstGroupSlot; slot < kEntrySlots; ++slot)
            seekLevel(*levels[slot], script.volume, renderStart, slot);
        for (int vca = 0; vca < kVcaSlots; ++vca)
            seekLevel(au.vcaLevels[vca], script.vca, renderStart, vca);
    } else {
        auto settle = [](LevelCursor& a, const EntryTable& t, int s) {
            a.current = a.target = t.levels[t.at(0, s)];
            a.startdB = levelTodB(a.current);
        };
        for (int s = 0; s < kEntrySlots; ++s)
            settle(*levels[s], script.volume, s);
        for (int s = 0; s < kVcaSlots; ++s)
            settle(au.vcaLevels[s], script.vca, s);
    }
    for (int c = 1; c <= channelCount; ++c)
        if (channelStart[c] != 0)
            seekLevel(*levels[c], script.volume, std::max(renderStart, channelStart[c]), c);
}

} // namespace tarvex
