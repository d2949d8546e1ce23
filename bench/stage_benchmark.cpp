// Per-block cost of the stages that run for every sample: decoding, the
// channel automation (steady and ramping), delay panning, every strip effect
// and both reverbs. Each benchmark processes one full block of 131072 frames;
// items per second are stereo frames. The effect benchmarks include copying
// the block into the work buffers.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "audio/sample_decode.h"
#include "automation/level_automation.h"
#include "automation/routing.h"
#include "effects/compressors.h"
#include "effects/discrete_reverb.h"
#include "effects/filter_design.h"
#include "effects/filters.h"
#include "effects/limiter.h"
#include "effects/nonlinear_compressor.h"
#include "effects/recursive_reverb.h"

using namespace tarvex;

namespace {

constexpr int32_t kBlock = 131072;
constexpr int kSlot = 1;

std::vector<int32_t> signal() {
    std::vector<int32_t> v(kBlock);
    for (int32_t i = 0; i < kBlock; ++i)
        v[static_cast<std::size_t>(i)] = static_cast<int32_t>(4000000.0 * std::sin(i * 0.031));
    return v;
}

// The script and the state of one run side by side, as a session holds them.
struct Automation : AutomationScript, AutomationState {
    std::array<LevelCursor, kEntrySlots> levels{};
    std::array<SideMemory, kEntrySlots> memory{};
};

std::unique_ptr<Automation> automationWithRamp(bool ramping) {
    auto au = std::make_unique<Automation>();
    EntryTable& t = au->volume;
    t.levels[t.at(0, kSlot)] = 134217728;
    t.levels[t.at(1, kSlot)] = ramping ? 13421772 : 134217728;
    t.times[t.at(1, kSlot)] = 1;
    t.ramps[t.at(1, kSlot)] = 1 << 30;
    t.count[kSlot] = 2;
    au->routing.panLeft.fill(0.7f);
    au->routing.panRight.fill(0.7f);
    std::array<LevelCursor*, kEntrySlots> each{};
    for (std::size_t s = 0; s < each.size(); ++s)
        each[s] = &au->levels[s];
    prepareAutomation(*au, *au, each, 0, kSlot, std::vector<int64_t>(137, 0));
    return au;
}

void automate(benchmark::State& state, bool ramping) {
    auto au = automationWithRamp(ramping);
    const auto x = signal();
    std::vector<int32_t> l(kBlock), r(kBlock);
    int64_t pos = 0;
    for (auto _ : state) {
        l = x;
        r = x;
        automateLevels(pos, kBlock, kSlot, au->volume, au->levels[kSlot], au->memory[kSlot], l, r,
                       1, kChannelDivisor, 0.7f, 0.7f, au->routing.vcaAssign, au->vcaGains);
        pos += kBlock;
        benchmark::DoNotOptimize(l.data());
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void BM_AutomateSteady(benchmark::State& state) {
    automate(state, false);
}
void BM_AutomateRamping(benchmark::State& state) {
    automate(state, true);
}

void BM_Decode24BitStereo(benchmark::State& state) {
    std::vector<uint8_t> raw(static_cast<std::size_t>(kBlock) * 6);
    for (std::size_t i = 0; i < raw.size(); ++i)
        raw[i] = static_cast<uint8_t>(i * 37);
    std::vector<int32_t> l(kBlock), r(kBlock);
    for (auto _ : state) {
        decodeSamples(raw, 3, 2, kBlock, l, r);
        benchmark::DoNotOptimize(l.data());
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void BM_DecodeFloatMono(benchmark::State& state) {
    std::vector<uint8_t> raw(static_cast<std::size_t>(kBlock) * 4);
    for (std::size_t i = 0; i < raw.size(); i += 4) {
        const float v = static_cast<float>(std::sin(static_cast<double>(i)) * 0.5);
        std::memcpy(&raw[i], &v, 4);
    }
    std::vector<int32_t> l(kBlock), r(kBlock);
    for (auto _ : state) {
        decodeSamples(raw, 4, 1, kBlock, l, r);
        benchmark::DoNotOptimize(l.data());
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void BM_DelayPan(benchmark::State& state) {
    const auto x = signal();
    std::vector<int32_t> l(kBlock), r(kBlock);
    std::array<int32_t, kDelayHistory> hl{}, hr{};
    for (auto _ : state) {
        delayPanChannel(0, kBlock, 40, 11, x, hl, hr, l, r, kBlock - 256);
        benchmark::DoNotOptimize(l.data());
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

// A loud stereo block at channel scale that crosses every threshold below.
std::vector<double> loud(double phase) {
    std::vector<double> v(kBlock);
    for (int32_t i = 0; i < kBlock; ++i)
        v[static_cast<std::size_t>(i)] =
            6000000.0 * std::sin(i * 0.021 + phase) * (0.5 + 0.5 * std::sin(i * 0.0002));
    return v;
}

template <typename Process> void effect(benchmark::State& state, Process process) {
    const auto x = loud(0.0), y = loud(1.0);
    std::vector<double> l(kBlock), r(kBlock);
    for (auto _ : state) {
        l = x;
        r = y;
        process(l, r);
        benchmark::DoNotOptimize(l.data());
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void BM_HighPass(benchmark::State& state) {
    HighPass f;
    f.setUp({1, 40.0, designHighPass(40.0, 48000.0)});
    effect(state, [&](auto& l, auto& r) { f.process(kBlock, l, r); });
}

void BM_Band(benchmark::State& state) {
    Biquad f;
    f.setUp(designBell(4.0, 2500.0, 48000.0, 1.2));
    effect(state, [&](auto& l, auto& r) { f.process(kBlock, l, r); });
}

void BM_PeakCompressor(benchmark::State& state) {
    PeakCompressor c;
    c.setUp({1, 2000000, 480, 4800, 4.0});
    effect(state, [&](auto& l, auto& r) { c.process(kBlock, l, r); });
}

void BM_RmsCompressor(benchmark::State& state) {
    RmsCompressor c;
    c.setUp({1, 1000000, 480, 7200, 3.0});
    effect(state, [&](auto& l, auto& r) { c.process(kBlock, l, r); });
}

void BM_NonLinearCompressor(benchmark::State& state) {
    NonlinearCompressor c;
    c.setUp({1, 1000000, 2400, 2.0});
    effect(state, [&](auto& l, auto& r) { c.process(kBlock, l, r); });
}

void BM_Limiter(benchmark::State& state) {
    Limiter c;
    c.setUp({1, 3000000});
    effect(state, [&](auto& l, auto& r) { c.process(kBlock, l, r); });
}

// The reverbs at bus scale, 60 feet (room) and 45 feet with 5 taps (tap).
void reverb(benchmark::State& state, bool recursive) {
    const auto x = loud(0.0), y = loud(1.0);
    std::vector<int32_t> nextL(kBlock), nextR(kBlock), curL(kBlock), curR(kBlock);
    auto room = std::make_unique<RecursiveReverb>();
    auto taps = std::make_unique<TapReverb>();
    const bool ready = room->setUp({60.0f, {37.0f, 39.0f, 43.0f}, 50.0f}, 48000.0, kBlock).ok() &&
                       taps->setUp({45.0f, 5, {37.0f, 39.0f, 43.0f}}, 48000.0, kBlock).ok();
    if (!ready) state.SkipWithError("the rooms do not fit the block");
    for (auto _ : state) {
        curL = nextL;
        curR = nextR;
        std::fill(nextL.begin(), nextL.end(), 0);
        std::fill(nextR.begin(), nextR.end(), 0);
        if (recursive)
            room->process(kBlock, x, y, nextL, nextR, curL, curR);
        else
            taps->process(kBlock, x, y, nextL, nextR, curL, curR);
        benchmark::DoNotOptimize(curL.data());
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void BM_RecursiveReverb(benchmark::State& state) {
    reverb(state, true);
}
void BM_TapReverb(benchmark::State& state) {
    reverb(state, false);
}

} // namespace

BENCHMARK(BM_HighPass);
BENCHMARK(BM_Band);
BENCHMARK(BM_PeakCompressor);
BENCHMARK(BM_RmsCompressor);
BENCHMARK(BM_NonLinearCompressor);
BENCHMARK(BM_Limiter);
BENCHMARK(BM_RecursiveReverb);
BENCHMARK(BM_TapReverb);
BENCHMARK(BM_AutomateSteady);
BENCHMARK(BM_AutomateRamping);
BENCHMARK(BM_Decode24BitStereo);
BENCHMARK(BM_DecodeFloatMono);
BENCHMARK(BM_DelayPan);
