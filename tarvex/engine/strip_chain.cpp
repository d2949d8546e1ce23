// Effect chain of a strip.
#include "engine/strip_chain.h"
#include "core/vector_clones.h"

#include "core/saturate.h"
#include "effects/compressors.h"
#include "effects/filters.h"
#include "effects/limiter.h"
#include "effects/nonlinear_compressor.h"

namespace tarvex {

namespace {

// Whether effect `code` is switched on for the entry, before its position is
// looked at. The master takes only effects whose line addressed "M".
bool effectOn(const EffectSettings& fx, int code, int entry, StripKind kind) {
    if (kind == StripKind::Master && fx.masterEffectFlag[code] == 0) return false;
    switch (code) {
    case kFxHp:
        return fx.hpOn[entry] != 0;
    case kFxBand1:
    case kFxBand2:
    case kFxBand3:
    case kFxBand4:
        return fx.bandOn[entry][code - kFxBand1 + 1] != 0;
    case kFxHshelf:
        return fx.hshelfOn[entry] != 0;
    case kFxLshelf:
        return fx.lshelfOn[entry] != 0;
    case kFxRms:
        return fx.rmsOn[entry] != 0;
    case kFxNlc:
        return fx.nlcOn[entry] != 0;
    case kFxComp:
        return fx.compOn[entry] != 0;
    case kFxLim:
        return fx.limOn[entry] != 0;
    default:
        return false;
    }
}

void runEffect(const EffectSettings& fx, EffectMemory& m, int code, int e, int64_t pos, int32_t n,
               std::span<double> l, std::span<double> r) {
    switch (code) {
    case kFxHp:
        HPF(n, pos, e, l, r, fx.hpPole[e], fx.hpGain[e], m.filters);
        break;
    case kFxBand1:
    case kFxBand2:
    case kFxBand3:
    case kFxBand4: {
        const int slot = code - kFxBand1 + 1;
        const BiquadCoefs& c = fx.bandCoef[e][slot];
        EQ(n, pos, e, slot, l, r, c.b0, c.b1, c.b2, c.a1, c.a2, m.filters);
        break;
    }
    case kFxHshelf: {
        const BiquadCoefs& c = fx.hshelfCoef[e];
        EQ(n, pos, e, kEqHighShelfSlot, l, r, c.b0, c.b1, c.b2, c.a1, c.a2, m.filters);
        break;
    }
    case kFxLshelf: {
        const BiquadCoefs& c = fx.lshelfCoef[e];
        EQ(n, pos, e, kEqLowShelfSlot, l, r, c.b0, c.b1, c.b2, c.a1, c.a2, m.filters);
        break;
    }
    case kFxRms:
        RMSCOMPRESSOR(e, &m.dynamics.rmsState[e], n, l, r, fx.rmsAttack[e], fx.rmsRelease[e],
                      fx.rmsRatio[e], fx.rmsThresh[e], &m.dynamics.rmsInit[e], m.dynamics);
        break;
    case kFxNlc:
        NonLinCOMP(e, n, l, r, fx.nlcWindow[e], fx.nlcRatio[e], fx.nlcThresh[e],
                   &m.dynamics.nlcInit[e], m.dynamics);
        break;
    case kFxComp:
        PEAKCOMPRESSOR(e, &m.dynamics.compState[e], n, l, r, fx.compAttack[e], fx.compRelease[e],
                       fx.compRatio[e], fx.compThresh[e], m.dynamics);
        break;
    case kFxLim:
        LIMITER(e, n, l, r, fx.limThresh[e]);
        break;
    default:
        break;
    }
}

} // namespace

bool stripHasEffects(const EffectSettings& fx, int entry, StripKind kind) {
    for (int code = 0; code < kChainEffects; ++code)
        if (effectOn(fx, code, entry, kind)) return true;
    return false;
}

void runStripChain(const EffectSettings& fx, EffectMemory& memory, int entry, StripKind kind,
                   int64_t pos, int32_t n, std::span<double> left, std::span<double> right) {
    // The master's limiter runs after its reverb inserts, outside the positions.
    const int last = kind == StripKind::Master ? kFxLim - 1 : kFxLim;
    int on[kChainEffects];
    int count = 0;
    for (int code = 0; code <= last; ++code)
        if (effectOn(fx, code, entry, kind)) on[count++] = code;
    for (int position = 1; position <= kChainPositions; ++position)
        for (int k = 0; k < count; ++k)
            if (fx.fxOrder[on[k]][entry] == position)
                runEffect(fx, memory, on[k], entry, pos, n, left, right);
}

void applyEffectsGain(double gain, int32_t n, std::span<double> left, std::span<double> right) {
    for (int32_t i = 0; i < n; ++i) {
        left[i] *= gain;
        right[i] *= gain;
    }
}

TARVEX_VECTOR_CLONES
void storeWithClipCheck(std::span<const double> left, std::span<const double> right,
                        std::span<int32_t> outL, std::span<int32_t> outR, int32_t n,
                        double fullScale, int32_t& clipFlag) {
    // Whether any sample of the block passes full scale (a NaN does not),
    // then the conversion, both written so that the compiler can work on
    // several samples at once.
    if (clipFlag == 0) {
        int32_t over = 0;
        for (int32_t i = 0; i < n; ++i) {
            const double l = left[i];
            const double r = right[i];
            over |= static_cast<int32_t>(l > fullScale) | static_cast<int32_t>(l < -fullScale) |
                    static_cast<int32_t>(r > fullScale) | static_cast<int32_t>(r < -fullScale);
        }
        if (over != 0) clipFlag = 1;
    }
    // truncToInt32 without branches: NaN becomes 0, the rest is held at the
    // limits and truncated.
    for (int32_t i = 0; i < n; ++i) {
        const double l = left[i];
        const double r = right[i];
        outL[i] = truncFiniteToInt32(l == l ? l : 0.0);
        outR[i] = truncFiniteToInt32(r == r ? r : 0.0);
    }
}

} // namespace tarvex
