// The effects of one strip, each a processor of its own, and the one table
// of effect kinds that reading, running and describing a strip go through.
//
// A strip's effects are set up once, before the first block, from the
// effect settings: each processor takes its settings and starts its memory,
// and the chain lays out the processors that run, in running order. A block
// then calls each of them once, in that order. Strips are processed on
// several threads at once, one strip per thread: each strip's effects sit
// on cache lines of their own.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "effects/compressors.h"
#include "effects/effect_settings.h"
#include "effects/filters.h"
#include "effects/limiter.h"
#include "effects/nonlinear_compressor.h"

namespace tarvex {

struct StripEffects;

// One block through one of a strip's processors.
using EffectStep = void (*)(StripEffects& strip, int32_t count, std::span<double> left,
                            std::span<double> right);

// One kind of effect line.
struct EffectKind {
    EffectCode code;
    std::string_view name; // the line's code in the fader file
    // Whether a line switched the kind on for strip entry `entry` (whatever
    // its chain position, and whether or not the master takes it).
    bool (*isOn)(const EffectSettings& fx, int entry);
    // Hands the entry's settings to its processor; nullptr for the sends.
    void (*setUp)(StripEffects& strip, const EffectSettings& fx, int entry);
    // One block through the processor; nullptr for the sends.
    EffectStep process;
    // The settings as the plan prints them ("hp 40.0 Hz"); nullptr for the
    // sends. `rate` is the song's rate, Hz.
    void (*describe)(std::string& line, const EffectSettings& fx, int entry, double rate);
};

// Every kind, indexed by EffectCode: the chain effects in their fixed order
// within one chain position (kChainEffects of them), then the two sends.
extern const std::array<EffectKind, kFxCodeCount> kEffectKinds;

struct alignas(64) StripEffects {
    HighPass highPass;
    std::array<Biquad, kBands> bands;
    Biquad highShelf;
    Biquad lowShelf;
    RmsCompressor rms;
    NonlinearCompressor nonlinear;
    PeakCompressor peak;
    Limiter limiter;
    // The processors that run, in running order.
    std::array<EffectStep, kChainEffects> chain{};
    int32_t chainLength = 0;

    // One block through the chain. Runs in the mix loop.
    void process(int32_t count, std::span<double> left, std::span<double> right) {
        for (int32_t k = 0; k < chainLength; ++k)
            chain[static_cast<std::size_t>(k)](*this, count, left, right);
    }
};

} // namespace tarvex
