// Level automation: entry starts, dB ramps and shapes, the zero-crossing rule,
// VCAs, polarity, and the state a render started mid-song picks up.
#include "automation/level_automation.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <vector>

using namespace tarvex;

namespace {

constexpr int kSlot = 3;

// The script and the state of one run side by side, as a session holds them.
struct Automation : AutomationScript, AutomationState {
    std::array<LevelCursor, kEntrySlots> levels{};
    std::array<SideMemory, kEntrySlots> memory{};

    // Settles every slot for a render from the song start.
    void prepare(int32_t channelCount) {
        std::array<LevelCursor*, kEntrySlots> each{};
        for (std::size_t s = 0; s < each.size(); ++s)
            each[s] = &levels[s];
        prepareAutomation(*this, *this, each, 0, channelCount, std::vector<int64_t>(137, 0));
    }
};

int32_t levelOf(double dB) {
    return static_cast<int32_t>(std::pow(10.0, dB / 20.0) * 134217728.0);
}

struct Entry {
    double dB;
    int64_t time;
    int64_t ramp = 0;
    float shape = 1.0f;
};

// A fresh automation set with the given entries on one slot, settled for a
// render from the song start.
std::unique_ptr<Automation> withEntries(const std::vector<Entry>& entries, int slot = kSlot) {
    auto au = std::make_unique<Automation>();
    EntryTable& t = au->volume;
    for (std::size_t n = 0; n < entries.size(); ++n) {
        const std::size_t at = t.at(static_cast<int>(n), slot);
        t.levels[at] = levelOf(entries[n].dB);
        t.times[at] = entries[n].time;
        t.ramps[at] = entries[n].ramp;
        t.shapes[at] = entries[n].shape;
    }
    t.count[slot] = static_cast<int32_t>(entries.size());
    au->levels[slot].maxIndex = t.count[slot];
    au->routing.panLeft.fill(1.0f);
    au->routing.panRight.fill(1.0f);
    return au;
}

// Runs the channel automation over `frames` samples of `x` from `pos` in blocks.
std::vector<int32_t> run(Automation& au, std::vector<int32_t> x, int64_t pos, int32_t block = 4096,
                         int slot = kSlot, int32_t polarity = 1) {
    std::vector<int32_t> right = x;
    for (std::size_t at = 0; at < x.size(); at += static_cast<std::size_t>(block)) {
        const auto n = static_cast<int32_t>(std::min<std::size_t>(block, x.size() - at));
        automateLevels(pos + static_cast<int64_t>(at), n, slot, au.volume, au.levels[slot],
                       au.memory[slot], std::span(x).subspan(at, static_cast<std::size_t>(n)),
                       std::span(right).subspan(at, static_cast<std::size_t>(n)), polarity,
                       kChannelDivisor, au.routing.panLeft[slot], au.routing.panRight[slot],
                       au.routing.vcaAssign, au.vcaGains);
    }
    return x;
}

std::vector<int32_t> alternating(std::size_t n, int32_t amplitude = 1000) {
    std::vector<int32_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = i % 2 == 0 ? amplitude : -amplitude;
    return v;
}

} // namespace

TEST(Automate, StraightRampReachesItsTargetAtTheRampLength) {
    auto au = withEntries({{0.0, 0}, {-6.0, 44100, 22050}});
    au->prepare(kSlot);
    const auto out = run(*au, alternating(44100 + 30000), 0);
    EXPECT_EQ(au->levels[kSlot].target, 67268211);
    EXPECT_EQ(au->levels[kSlot].counter, 22050);
    EXPECT_EQ(au->levels[kSlot].current, 67268211);
    // Unity before the entry, 256 × the level ratio after the ramp.
    EXPECT_EQ(out[100], 256000);
    EXPECT_EQ(out[44100 + 25000], static_cast<int32_t>(67268211.0 / 524288.0 * 1000.0));
    // Half way through the straight dB ramp the level is about -3 dB.
    EXPECT_NEAR(std::abs(out[44100 + 11025]), 256000 * std::pow(10.0, -3.0 / 20.0), 100.0);
}

TEST(Automate, NewLevelsReachTheAudioOnlyAtZeroCrossings) {
    auto au = withEntries({{0.0, 0}, {-20.0, 100, 50}});
    au->prepare(kSlot);
    std::vector<int32_t> x(400, 5000); // positive DC: never crosses zero
    x[300] = -5000;
    const auto out = run(*au, x, 0);
    EXPECT_EQ(out[299], 5000 * 256); // the ramp has ended, but the gain is the old one
    EXPECT_EQ(out[300], static_cast<int32_t>(levelOf(-20.0) / 524288.0 * -5000.0));

    // A silent signal keeps its gains; the first negative sample applies the
    // newest level. Once settled, each side keeps its old gain up to its next
    // sign change, in whatever blocks the signal comes.
    for (int32_t block : {1, 7, 16, 4096}) {
        auto silent = withEntries({{-6.0, 0}, {0.0, 10, 1}, {-20.0, 120}});
        silent->prepare(kSlot);
        std::vector<int32_t> y(200, 0);
        y[5] = -1000;
        y[50] = -1000;
        std::fill(y.begin() + 70, y.begin() + 110, -1000);
        std::fill(y.begin() + 115, y.begin() + 140, -1000);
        y[150] = 1000;
        const auto out = run(*silent, y, 0, block);
        const int32_t minus6 = static_cast<int32_t>(levelOf(-6.0) / 524288.0 * -1000.0);
        const int32_t minus20 = static_cast<int32_t>(levelOf(-20.0) / 524288.0 * -1000.0);
        EXPECT_EQ(out[5], minus6) << block;
        EXPECT_EQ(out[50], -256000) << block;
        EXPECT_EQ(out[80], -256000) << block;
        EXPECT_EQ(out[130], -256000) << block; // no crossing since the -20 dB entry
        EXPECT_EQ(out[150], -minus20) << block;
    }
}

TEST(Automate, ShapedRampsAndMidSongStarts) {
    // Shape 2 over 1000 samples from -20 dB to 0 dB is at -15 dB half way.
    auto au = withEntries({{-20.0, 0}, {0.0, 10000, 1000, 2.0f}});
    seekLevel(au->levels[kSlot], au->volume, 10500, kSlot);
    EXPECT_EQ(au->levels[kSlot].counter, 500);
    EXPECT_NEAR(levelTodB(au->levels[kSlot].current), -15.0, 1e-6);

    // A mix started at 10 s inside a 4 s ramp that began at 8 s.
    au = withEntries({{0.0, 0}, {-12.0, 8 * 44100, 4 * 44100}});
    seekLevel(au->levels[kSlot], au->volume, 10 * 44100, kSlot);
    EXPECT_EQ(au->levels[kSlot].counter, 2 * 44100);
    EXPECT_NEAR(levelTodB(au->levels[kSlot].current), -6.0, 1e-6);

    // A first entry at 10 s plays its level from the start of the song.
    au = withEntries({{-9.0, 10 * 44100}});
    au->prepare(kSlot);
    EXPECT_EQ(run(*au, alternating(10), 0)[0],
              static_cast<int32_t>(levelOf(-9.0) / 524288.0 * 1000));
}

TEST(Automate, SeekLevelMatchesARenderFromTheStart) {
    const std::vector<Entry> entries{{0.0, 0}, {-10.0, 3000, 4000, 0.5f}, {-3.0, 9000, 2500}};
    for (int64_t at : {1000, 3000, 3001, 5000, 7000, 9100, 20000}) {
        const auto signal = alternating(static_cast<std::size_t>(at) + 5000);
        const auto split = signal.begin() + at;
        auto full = withEntries(entries);
        full->prepare(kSlot);
        run(*full, std::vector<int32_t>(signal.begin(), split), 0, 777);
        auto jump = withEntries(entries);
        seekLevel(jump->levels[kSlot], jump->volume, at, kSlot);
        EXPECT_EQ(jump->levels[kSlot].current, full->levels[kSlot].current) << at;
        EXPECT_EQ(jump->levels[kSlot].index, full->levels[kSlot].index) << at;
        // Both continue identically from there.
        const std::vector<int32_t> tail(split, signal.end());
        EXPECT_EQ(run(*full, tail, at, 777), run(*jump, tail, at, 777)) << at;
    }
}

TEST(Automate, EntriesStartOnlyInOrderAndNeverPastTheTable) {
    // Two entries at the same time: the second and everything after never start.
    auto au = withEntries({{0.0, 0}, {-6.0, 100}, {-12.0, 100}, {-20.0, 200}});
    au->prepare(kSlot);
    run(*au, alternating(1000), 0);
    EXPECT_EQ(au->levels[kSlot].index, 2);
    EXPECT_EQ(au->levels[kSlot].target, levelOf(-6.0));

    // A full slot: once its last entry has started nothing past the table is read.
    std::vector<Entry> many;
    for (int n = 0; n < kMaxEntries; ++n)
        many.push_back({n % 2 == 0 ? 0.0 : -1.0, n});
    au = withEntries(many, 136);
    au->prepare(0);
    run(*au, alternating(2000), 0, 4096, 136);
    EXPECT_EQ(au->levels[136].index, kMaxEntries);
}

TEST(Automate, VcaPolarityAndPan) {
    auto au = withEntries({{0.0, 0}});
    au->routing.vcaAssign[kSlot] = 2;
    au->routing.vcaFlags[2] = 1;
    const std::size_t at = au->vca.at(0, 2);
    au->vca.levels[at] = levelOf(-6.0);
    au->vca.count[2] = 1;
    au->vcaLevels[2].maxIndex = 1;
    au->vcaGains.assign(9 * 64, 1.0);
    au->routing.panLeft[kSlot] = 0.5f;
    au->prepare(kSlot);
    automateVca(0, 64, 2, au->vca, au->vcaLevels[2], au->vcaGains);
    EXPECT_DOUBLE_EQ(au->vcaGains[2 * 64 + 10], levelOf(-6.0) * 7.450580596923828e-9);
    std::vector<int32_t> x = alternating(64), r = x;
    automateLevels(0, 64, kSlot, au->volume, au->levels[kSlot], au->memory[kSlot], x, r, -1,
                   kChannelDivisor, 0.5f, 1.0f, au->routing.vcaAssign, au->vcaGains);
    const double g = au->vcaGains[2 * 64 + 1];
    EXPECT_EQ(x[1], static_cast<int32_t>(-134217728.0 * 0.5 / 524288.0 * g * -1000.0));
    EXPECT_EQ(r[1], static_cast<int32_t>(-1000.0 * (-134217728.0 / 524288.0) * g));

    // A ramping VCA computes its gain every sample.
    au->vca.levels[au->vca.at(1, 2)] = levelOf(-20.0);
    au->vca.times[au->vca.at(1, 2)] = 64;
    au->vca.ramps[au->vca.at(1, 2)] = 32;
    au->vcaLevels[2].maxIndex = 2;
    automateVca(64, 64, 2, au->vca, au->vcaLevels[2], au->vcaGains);
    // 17 samples into the 32-sample ramp (the counter steps at the entry's own sample).
    const double from = levelTodB(levelOf(-6.0)), to = levelTodB(levelOf(-20.0));
    EXPECT_NEAR(20.0 * std::log10(au->vcaGains[2 * 64 + 16]), from + (to - from) * 17.0 / 32.0,
                1e-9);
    EXPECT_NEAR(20.0 * std::log10(au->vcaGains[2 * 64 + 40]), to, 1e-9);
}
