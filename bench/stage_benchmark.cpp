// Per-block cost of the stages that run for every sample: decoding, the
// channel automation (steady and ramping) and delay panning. Each benchmark
// processes one full block of 131072 frames; items per second are frames.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "audio/sample_decode.h"
#include "automation/level_automation.h"
#include "automation/routing.h"

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
struct Automation : AutomationScript, AutomationState {};

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
    prepareAutomation(*au, *au, 0, kSlot, std::vector<int64_t>(137, 0));
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
        AUTOMATE(pos, kBlock, kSlot, au->volume, au->levels, au->memory, l, r, 1, kChannelDivisor,
                 0.7f, 0.7f, au->routing.vcaAssign, au->vcaGains);
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
        DELAY_PAN(0, kBlock, 40, 11, x, hl, hr, l, r, kBlock - 256);
        benchmark::DoNotOptimize(l.data());
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

} // namespace

BENCHMARK(BM_AutomateSteady);
BENCHMARK(BM_AutomateRamping);
BENCHMARK(BM_Decode24BitStereo);
BENCHMARK(BM_DecodeFloatMono);
BENCHMARK(BM_DelayPan);
