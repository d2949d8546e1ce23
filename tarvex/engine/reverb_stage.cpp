// Reverb sends, returns, inserts and the tap file.
#include "engine/reverb_stage.h"
#include "core/scales.h"
#include "core/vector_clones.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "audio/wav_output.h"
#include "core/console.h"
#include "core/saturate.h"
#include "meters/metering.h"

namespace tarvex {

namespace {

constexpr std::size_t kFrames = kMaxBlockFrames;
// Tap file samples are at 24-bit scale.
constexpr double kTapScale = 256.0;
constexpr double kReturnToTap = 0.00390625; // 1/256

bool anyInsert(const EffectSettings& fx) {
    return fx.revInsert != 0 || fx.trevInsert != 0;
}

bool anyReverb(const EffectSettings& fx) {
    return fx.recursiveActive != 0 || fx.tapActive != 0;
}

std::span<double> first(std::vector<double>& v, int32_t n) {
    return std::span<double>(v.data(), static_cast<std::size_t>(n));
}

std::span<int32_t> first(std::vector<int32_t>& v, int32_t n) {
    return std::span<int32_t>(v.data(), static_cast<std::size_t>(n));
}

std::span<int32_t> whole(std::vector<int32_t>& v) {
    return std::span<int32_t>(v.data(), v.size());
}

void updateSendPeaks(MixMeters& m, int entry, const std::vector<double>& l,
                     const std::vector<double>& r, int32_t n) {
    const auto at = static_cast<std::size_t>(entry - kSlotCount);
    double peakL = m.sendPeakL[at];
    double peakR = m.sendPeakR[at];
    for (int32_t i = 0; i < n; ++i) {
        peakL = std::max(peakL, std::fabs(l[i]));
        peakR = std::max(peakR, std::fabs(r[i]));
    }
    m.sendPeakL[at] = peakL;
    m.sendPeakR[at] = peakR;
}

// The input filters of one reverb's send that have a line, high-pass first.
void filterSend(const EffectSettings& fx, Biquad& highPass, Biquad& lowPass, int32_t n,
                std::vector<double>& l, std::vector<double>& r) {
    if (fx.revHighPass.on != 0) highPass.process(n, first(l, n), first(r, n));
    if (fx.revLowPass.on != 0) lowPass.process(n, first(l, n), first(r, n));
}

double sampleRateOf(const MixSettings& cfg) {
    return rateOrFallback(cfg.tracks.sampleRate);
}

void runTapReverb(const MixSettings& cfg, MixState& st, int32_t n) {
    BlockBuffers& b = st.buffers;
    ReverbEffects& rv = st.effects.reverbs;
    filterSend(cfg.fx, rv.tapHighPass, rv.tapLowPass, n, b.trevSendL, b.trevSendR);
    rv.tap.process(n, first(b.trevSendL, n), first(b.trevSendR, n), whole(b.returnNextL),
                   whole(b.returnNextR), whole(b.returnL), whole(b.returnR));
}

// `to` less `from`, sample by sample, in 32-bit wrapping arithmetic: each
// difference is what the tap reverb added to one cell of the shared return,
// so the parts add up to the return exactly.
void wrappingSubtract(std::vector<int32_t>& to, const std::vector<int32_t>& from, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        to[i] = static_cast<int32_t>(static_cast<uint32_t>(to[i]) - static_cast<uint32_t>(from[i]));
}

void wrappingAdd(std::vector<int32_t>& to, const std::vector<int32_t>& from, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        to[i] = static_cast<int32_t>(static_cast<uint32_t>(to[i]) + static_cast<uint32_t>(from[i]));
}

// The tap reverb on the shared return, its part of it kept in `share`: what
// it added to this block's return, plus what it added to this block's return
// while the block before ran.
void runTapReverbKeepingItsShare(const MixSettings& cfg, MixState& st, int32_t n) {
    BlockBuffers& b = st.buffers;
    TapReturnShare& share = st.tapShare;
    const auto frames = static_cast<std::size_t>(n);
    // now = carried - before; later = the next block's return before
    std::copy_n(share.laterL.begin(), frames, share.nowL.begin());
    std::copy_n(share.laterR.begin(), frames, share.nowR.begin());
    wrappingSubtract(share.nowL, b.returnL, frames);
    wrappingSubtract(share.nowR, b.returnR, frames);
    std::copy(b.returnNextL.begin(), b.returnNextL.end(), share.laterL.begin());
    std::copy(b.returnNextR.begin(), b.returnNextR.end(), share.laterR.begin());
    runTapReverb(cfg, st, n);
    wrappingAdd(share.nowL, b.returnL, frames);
    wrappingAdd(share.nowR, b.returnR, frames);
    for (std::size_t i = 0; i < share.laterL.size(); ++i) {
        share.laterL[i] = static_cast<int32_t>(static_cast<uint32_t>(b.returnNextL[i]) -
                                               static_cast<uint32_t>(share.laterL[i]));
        share.laterR[i] = static_cast<int32_t>(static_cast<uint32_t>(b.returnNextR[i]) -
                                               static_cast<uint32_t>(share.laterR[i]));
    }
}

void runRecursiveReverb(const MixSettings& cfg, MixState& st, int32_t n) {
    BlockBuffers& b = st.buffers;
    ReverbEffects& rv = st.effects.reverbs;
    filterSend(cfg.fx, rv.recursiveHighPass, rv.recursiveLowPass, n, b.revSendL, b.revSendR);
    rv.recursive.process(n, first(b.revSendL, n), first(b.revSendR, n), whole(b.returnNextL),
                         whole(b.returnNextR), whole(b.returnL), whole(b.returnR));
}

// Sets a send from the master work buffers: work x (return level x send gain).
void setInsertSend(std::span<const double> workL, std::span<const double> workR, float factor,
                   std::vector<double>& l, std::vector<double>& r, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        l[i] = workL[i] * factor;
        r[i] = workR[i] * factor;
    }
}

} // namespace

std::string tapPathFor(int32_t tapMode, const PrefsSettings& prefs) {
    if (tapMode != 1 && tapMode != 2) return {};
    const std::string dir = prefs.mixDirSet ? prefs.mixDir : std::string();
    return dir + (tapMode == 1 ? "revTap.wav" : "rtnTap.wav");
}

void prepareReverbs(const MixSettings& cfg, MixState& st) {
    const EffectSettings& fx = cfg.fx;
    if (!anyReverb(fx)) return;
    // A master insert without its return line has a return level of 0: the
    // reverb then hears silence and the tap file gets silence.
    if (fx.revInsert != 0 && fx.rtnOn == 0)
        warn("%s: \"rev M\" has no \"rtn\" line, so the reverb's return level is 0 and it "
             "receives silence.\n",
             cfg.tracks.fadersPath.c_str());
    if (fx.trevInsert != 0 && fx.trtnOn == 0)
        warn("%s: \"trev M\" has no \"trtn\" line, so the tap reverb's return level is 0 and it "
             "receives silence.\n",
             cfg.tracks.fadersPath.c_str());
    BlockBuffers& b = st.buffers;
    b.returnL.assign(kFrames, 0);
    b.returnR.assign(kFrames, 0);
    b.returnNextL.assign(kFrames, 0);
    b.returnNextR.assign(kFrames, 0);
    if (fx.recursiveActive != 0) {
        b.revSendL.assign(kFrames, 0.0);
        b.revSendR.assign(kFrames, 0.0);
    }
    if (fx.tapActive != 0) {
        b.trevSendL.assign(kFrames, 0.0);
        b.trevSendR.assign(kFrames, 0.0);
    }
    if (!cfg.output.tapPath.empty()) {
        b.tapL.assign(kFrames, 0);
        b.tapR.assign(kFrames, 0);
        b.tapBytes.assign(kFrames * 6, 0);
    }
}

void prepareTapShare(const MixSettings& cfg, MixState& st) {
    bool room = false, taps = false;
    for (const StemFile& stem : cfg.output.stems) {
        room = room || stem.source == StemSource::room;
        taps = taps || stem.source == StemSource::taps;
    }
    if (!room || !taps) return;
    TapReturnShare& share = st.tapShare;
    share.nowL.assign(kFrames, 0);
    share.nowR.assign(kFrames, 0);
    share.laterL.assign(kFrames, 0);
    share.laterR.assign(kFrames, 0);
}

SetUpResult setUpReverbs(const EffectSettings& fx, double rate, int32_t firstBlock,
                         ReverbEffects& reverbs) {
    // In send mode a reverb runs when its return line is present; as soon as
    // either reverb is a master insert, only the inserts run.
    const bool inserts = anyInsert(fx);
    const bool tap = inserts ? fx.trevInsert != 0 : fx.trtnOn != 0;
    const bool recursive = inserts ? fx.revInsert != 0 : fx.rtnOn != 0;
    reverbs.tapHighPass.setUp(fx.revHighPass.coef);
    reverbs.tapLowPass.setUp(fx.revLowPass.coef);
    reverbs.recursiveHighPass.setUp(fx.revHighPass.coef);
    reverbs.recursiveLowPass.setUp(fx.revLowPass.coef);
    if (tap) {
        const SetUpResult result =
            reverbs.tap.setUp({fx.trtnSize, fx.trtnTaps, fx.revPos}, rate, kMaxBlockFrames);
        if (!result.ok()) return result;
    }
    if (recursive)
        return reverbs.recursive.setUp({fx.rtnSize, fx.revPos, fx.revWidth}, rate, firstBlock);
    return {};
}

SetUpResult setUpReverbs(const MixSettings& cfg, MixState& st, int32_t firstBlock) {
    return setUpReverbs(cfg.fx, sampleRateOf(cfg), firstBlock, st.effects.reverbs);
}

void rotateReverbReturns(const MixSettings& cfg, MixState& st, int32_t) {
    if (!anyReverb(cfg.fx)) return;
    BlockBuffers& b = st.buffers;
    std::copy(b.returnNextL.begin(), b.returnNextL.end(), b.returnL.begin());
    std::copy(b.returnNextR.begin(), b.returnNextR.end(), b.returnR.begin());
    std::fill(b.returnNextL.begin(), b.returnNextL.end(), 0);
    std::fill(b.returnNextR.begin(), b.returnNextR.end(), 0);
}

void clearReverbSends(const MixSettings& cfg, MixState& st, int32_t n) {
    BlockBuffers& b = st.buffers;
    if (cfg.fx.recursiveActive != 0) {
        std::fill_n(b.revSendL.begin(), n, 0.0);
        std::fill_n(b.revSendR.begin(), n, 0.0);
    }
    if (cfg.fx.tapActive != 0) {
        std::fill_n(b.trevSendL.begin(), n, 0.0);
        std::fill_n(b.trevSendR.begin(), n, 0.0);
    }
}

TARVEX_VECTOR_CLONES
void sendChannelToReverbs(const MixSettings& cfg, MixState& st, const StripOutput& w, int c,
                          int32_t n) {
    const EffectSettings& fx = cfg.fx;
    if (anyInsert(fx)) return;
    BlockBuffers& b = st.buffers;
    const int32_t* l = w.left.data();
    const int32_t* r = w.right.data();
    if (fx.rtnOn != 0 && fx.revSendOn[c] != 0) {
        const double factor = fx.rtnLevel * fx.revSend[c]; // a single-precision product
        for (int32_t i = 0; i < n; ++i) {
            b.revSendL[i] += l[i] * factor;
            b.revSendR[i] += r[i] * factor;
        }
    }
    if (fx.trtnOn != 0 && fx.trevSendOn[c] != 0) {
        const double factor = fx.trtnLevel * fx.trevSend[c];
        for (int32_t i = 0; i < n; ++i) {
            b.trevSendL[i] += l[i] * factor;
            b.trevSendR[i] += r[i] * factor;
        }
    }
}

void sendSubmixesToReverbs(const MixSettings& cfg, MixState& st, int32_t n) {
    const EffectSettings& fx = cfg.fx;
    BlockBuffers& b = st.buffers;
    for (int k = 1; k <= kSubmixCount; ++k) {
        const int slot = groupSlot(k);
        if (cfg.routing.busFlags[k] == 0) continue;
        const int32_t* l = b.busL[k].data();
        const int32_t* r = b.busR[k].data();
        // The recursive send from a submix passes through a 32-bit integer,
        // so its fraction is lost; the tap send stays in double.
        if (fx.rtnOn != 0 && fx.revSendOn[slot] != 0) {
            const double factor = fx.rtnLevel * fx.revSend[slot];
            for (int32_t i = 0; i < n; ++i) {
                b.revSendL[i] += truncToInt32(l[i] * factor);
                b.revSendR[i] += truncToInt32(r[i] * factor);
            }
        }
        if (fx.trtnOn != 0 && fx.trevSendOn[slot] != 0) {
            const double factor = fx.trtnLevel * fx.trevSend[slot];
            for (int32_t i = 0; i < n; ++i) {
                b.trevSendL[i] += l[i] * factor;
                b.trevSendR[i] += r[i] * factor;
            }
        }
    }
}

void runReverbsInSendMode(const MixSettings& cfg, MixState& st, int32_t n) {
    const EffectSettings& fx = cfg.fx;
    if (anyInsert(fx)) return;
    BlockBuffers& b = st.buffers;
    if (fx.trtnOn != 0) {
        if (st.tapShare.nowL.empty())
            runTapReverb(cfg, st, n);
        else
            runTapReverbKeepingItsShare(cfg, st, n);
        updateSendPeaks(st.meters, kTapSendPeak, b.trevSendL, b.trevSendR, n);
    }
    if (fx.rtnOn != 0) {
        runRecursiveReverb(cfg, st, n);
        updateSendPeaks(st.meters, kRecursiveSendPeak, b.revSendL, b.revSendR, n);
    }
    if (fx.rtnOn == 0 && fx.trtnOn == 0) return;
    addSaturating(b.masterL.data(), b.returnL.data(), n);
    addSaturating(b.masterR.data(), b.returnR.data(), n);
}

void runMasterInserts(const MixSettings& cfg, MixState& st, int32_t n) {
    const EffectSettings& fx = cfg.fx;
    if (!anyInsert(fx)) return;
    BlockBuffers& b = st.buffers;
    const auto frames = static_cast<std::size_t>(n);
    const std::span<double> workL(b.workL.data(), frames);
    const std::span<double> workR(b.workR.data(), frames);
    if (fx.revInsert != 0) {
        setInsertSend(workL, workR, fx.rtnLevel * fx.revSend[kMasterSlot], b.revSendL, b.revSendR,
                      n);
        updateSendPeaks(st.meters, kRecursiveSendPeak, b.revSendL, b.revSendR, n);
    }
    if (fx.trevInsert != 0) {
        setInsertSend(workL, workR, fx.trtnLevel * fx.trevSend[kMasterSlot], b.trevSendL,
                      b.trevSendR, n);
        updateSendPeaks(st.meters, kTapSendPeak, b.trevSendL, b.trevSendR, n);
    }
    if (fx.trevInsert != 0) runTapReverb(cfg, st, n);
    if (fx.revInsert != 0) runRecursiveReverb(cfg, st, n);
    for (int32_t i = 0; i < n; ++i) {
        workL[i] += static_cast<double>(b.returnL[i]);
        workR[i] += static_cast<double>(b.returnR[i]);
    }
}

void writeTapBlock(const MixSettings& cfg, MixState& st, int32_t n) {
    if (st.tapStream == nullptr) return;
    const EffectSettings& fx = cfg.fx;
    BlockBuffers& b = st.buffers;
    if (fx.tapMode == 1) {
        // The send as it left the reverb, back at 24-bit scale; with a return
        // level of 0 there is nothing to undo and the tap gets silence.
        if (fx.rtnLevel == 0.0f) {
            std::fill_n(b.tapL.begin(), n, 0);
            std::fill_n(b.tapR.begin(), n, 0);
        } else {
            const double divisor = fx.rtnLevel * kTapScale;
            for (int32_t i = 0; i < n; ++i) {
                b.tapL[i] = truncToInt32(static_cast<float>(b.revSendL[i]) / divisor);
                b.tapR[i] = truncToInt32(static_cast<float>(b.revSendR[i]) / divisor);
            }
        }
    } else {
        for (int32_t i = 0; i < n; ++i) {
            b.tapL[i] = truncToInt32(static_cast<float>(b.returnL[i]) * kReturnToTap);
            b.tapR[i] = truncToInt32(static_cast<float>(b.returnR[i]) * kReturnToTap);
        }
    }
    encodeStereo24(first(b.tapL, n), first(b.tapR, n), b.tapBytes, n);
    const std::size_t bytes = static_cast<std::size_t>(n) * 6;
    if (std::fwrite(b.tapBytes.data(), 1, bytes, st.tapStream) != bytes)
        stopRun(1, "Could not write the tap file %s: %s\n", cfg.output.tapPath.c_str(),
                std::strerror(errno));
}

} // namespace tarvex
