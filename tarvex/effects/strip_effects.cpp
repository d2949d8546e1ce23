// The table of effect kinds.
#include "effects/strip_effects.h"

#include <cmath>

#include "core/scales.h"
#include "core/slot_layout.h"
#include "core/text_format.h"
#include "effects/filter_design.h"

namespace tarvex {

namespace {

constexpr double kBusThresholdScale = 256.0; // bus thresholds are stored x 256 - 1

// A threshold in sample units at the strip's scale, back in dB of full
// scale; unity prints as 0.00, not -0.00.
double thresholdDb(int32_t threshold, int entry) {
    double units = threshold;
    if (entry == kMasterSlot || entry > kMaxChannels) units = (units + 1.0) / kBusThresholdScale;
    const double ratio = units / kChannelFullScale;
    if (!(ratio > 0.0)) return kFloorDb;
    const double dB = 20.0 * std::log10(ratio);
    return std::fabs(dB) < 0.005 ? 0.0 : dB;
}

void describeDynamics(std::string& line, const char* what, const CompressorSettings& c, int entry,
                      double rate) {
    const double ms = rate / 1000.0;
    appendf(line,
            "%s threshold %.2f dB, attack %d samples (%.2f ms), release %d samples (%.2f ms), "
            "ratio %.2f",
            what, thresholdDb(c.threshold, entry), c.attack, c.attack / ms, c.release,
            c.release / ms, c.ratio);
}

// Filters are described by the values their line gave, after limiting.
void describeBiquad(std::string& line, const char* what, const BiquadSettings& b) {
    // A gain written as -0 prints as +0.00.
    appendf(line, "%s %.1f Hz %+.2f dB Q %.3g", what, b.frequency, b.gainDb + 0.0, b.q);
}

// High-pass.
bool hpOn(const EffectSettings& fx, int e) {
    return fx.hp[e].on != 0;
}
void hpSetUp(StripEffects& s, const EffectSettings& fx, int e) {
    s.highPass.setUp(fx.hp[e]);
}
void hpProcess(StripEffects& s, int32_t n, std::span<double> l, std::span<double> r) {
    s.highPass.process(n, l, r);
}
void hpDescribe(std::string& line, const EffectSettings& fx, int e, double) {
    appendf(line, "hp %.1f Hz", fx.hp[e].frequency);
}

// Bands 1..4, as band index 0..3.
template <int kBand> bool bandOn(const EffectSettings& fx, int e) {
    return fx.band[e][kBand].on != 0;
}
template <int kBand> void bandSetUp(StripEffects& s, const EffectSettings& fx, int e) {
    s.bands[kBand].setUp(fx.band[e][kBand].coef);
}
template <int kBand>
void bandProcess(StripEffects& s, int32_t n, std::span<double> l, std::span<double> r) {
    s.bands[kBand].process(n, l, r);
}
template <int kBand> void bandDescribe(std::string& line, const EffectSettings& fx, int e, double) {
    const std::string what = "band" + std::to_string(kBand + 1);
    describeBiquad(line, what.c_str(), fx.band[e][kBand]);
}

// Shelves.
bool hshelfOn(const EffectSettings& fx, int e) {
    return fx.hshelf[e].on != 0;
}
void hshelfSetUp(StripEffects& s, const EffectSettings& fx, int e) {
    s.highShelf.setUp(fx.hshelf[e].coef);
}
void hshelfProcess(StripEffects& s, int32_t n, std::span<double> l, std::span<double> r) {
    s.highShelf.process(n, l, r);
}
void hshelfDescribe(std::string& line, const EffectSettings& fx, int e, double) {
    describeBiquad(line, "hshelf", fx.hshelf[e]);
}
bool lshelfOn(const EffectSettings& fx, int e) {
    return fx.lshelf[e].on != 0;
}
void lshelfSetUp(StripEffects& s, const EffectSettings& fx, int e) {
    s.lowShelf.setUp(fx.lshelf[e].coef);
}
void lshelfProcess(StripEffects& s, int32_t n, std::span<double> l, std::span<double> r) {
    s.lowShelf.process(n, l, r);
}
void lshelfDescribe(std::string& line, const EffectSettings& fx, int e, double) {
    describeBiquad(line, "lshelf", fx.lshelf[e]);
}

// Dynamics.
bool rmsOn(const EffectSettings& fx, int e) {
    return fx.rms[e].on != 0;
}
void rmsSetUp(StripEffects& s, const EffectSettings& fx, int e) {
    s.rms.setUp(fx.rms[e]);
}
void rmsProcess(StripEffects& s, int32_t n, std::span<double> l, std::span<double> r) {
    s.rms.process(n, l, r);
}
void rmsDescribe(std::string& line, const EffectSettings& fx, int e, double rate) {
    describeDynamics(line, "rms", fx.rms[e], e, rate);
}
bool nlcOn(const EffectSettings& fx, int e) {
    return fx.nlc[e].on != 0;
}
void nlcSetUp(StripEffects& s, const EffectSettings& fx, int e) {
    s.nonlinear.setUp(fx.nlc[e]);
}
void nlcProcess(StripEffects& s, int32_t n, std::span<double> l, std::span<double> r) {
    s.nonlinear.process(n, l, r);
}
void nlcDescribe(std::string& line, const EffectSettings& fx, int e, double) {
    const NonlinearSettings& c = fx.nlc[e];
    appendf(line, "nlc threshold %.2f dB, window %lld samples, ratio %.2f",
            thresholdDb(c.threshold, e), static_cast<long long>(c.window), c.ratio);
}
bool compOn(const EffectSettings& fx, int e) {
    return fx.comp[e].on != 0;
}
void compSetUp(StripEffects& s, const EffectSettings& fx, int e) {
    s.peak.setUp(fx.comp[e]);
}
void compProcess(StripEffects& s, int32_t n, std::span<double> l, std::span<double> r) {
    s.peak.process(n, l, r);
}
void compDescribe(std::string& line, const EffectSettings& fx, int e, double rate) {
    describeDynamics(line, "comp", fx.comp[e], e, rate);
}
bool limOn(const EffectSettings& fx, int e) {
    return fx.lim[e].on != 0;
}
void limSetUp(StripEffects& s, const EffectSettings& fx, int e) {
    s.limiter.setUp(fx.lim[e]);
}
void limProcess(StripEffects& s, int32_t n, std::span<double> l, std::span<double> r) {
    s.limiter.process(n, l, r);
}
void limDescribe(std::string& line, const EffectSettings& fx, int e, double) {
    appendf(line, "lim threshold %.2f dB", thresholdDb(fx.lim[e].threshold, e));
}

// Sends: read and printed with the reverbs, never in a chain.
bool revOn(const EffectSettings& fx, int e) {
    return fx.revSendOn[e] != 0;
}
bool trevOn(const EffectSettings& fx, int e) {
    return fx.trevSendOn[e] != 0;
}

} // namespace

const std::array<EffectKind, kFxCodeCount> kEffectKinds = {{
    {kFxHp, "hp", hpOn, hpSetUp, hpProcess, hpDescribe},
    {kFxBand1, "band1", bandOn<0>, bandSetUp<0>, bandProcess<0>, bandDescribe<0>},
    {kFxBand2, "band2", bandOn<1>, bandSetUp<1>, bandProcess<1>, bandDescribe<1>},
    {kFxBand3, "band3", bandOn<2>, bandSetUp<2>, bandProcess<2>, bandDescribe<2>},
    {kFxBand4, "band4", bandOn<3>, bandSetUp<3>, bandProcess<3>, bandDescribe<3>},
    {kFxHshelf, "hshelf", hshelfOn, hshelfSetUp, hshelfProcess, hshelfDescribe},
    {kFxLshelf, "lshelf", lshelfOn, lshelfSetUp, lshelfProcess, lshelfDescribe},
    {kFxRms, "rms", rmsOn, rmsSetUp, rmsProcess, rmsDescribe},
    {kFxNlc, "nlc", nlcOn, nlcSetUp, nlcProcess, nlcDescribe},
    {kFxComp, "comp", compOn, compSetUp, compProcess, compDescribe},
    {kFxLim, "lim", limOn, limSetUp, limProcess, limDescribe},
    {kFxRev, "rev", revOn, nullptr, nullptr, nullptr},
    {kFxTrev, "trev", trevOn, nullptr, nullptr, nullptr},
}};

} // namespace tarvex
