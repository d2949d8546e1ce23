// Effect chain of a strip.
#include "engine/strip_chain.h"
#include "core/vector_clones.h"

#include "core/saturate.h"
#include "core/slot_layout.h"

namespace tarvex {

namespace {

// Whether effect `code` is switched on for the entry, before its position is
// looked at. The master takes only effects whose line addressed "M".
bool effectOn(const EffectSettings& fx, int code, int entry, StripKind kind) {
    if (kind == StripKind::Master && fx.masterEffectFlag[code] == 0) return false;
    return kEffectKinds[static_cast<std::size_t>(code)].isOn(fx, entry);
}

} // namespace

bool stripHasEffects(const EffectSettings& fx, int entry, StripKind kind) {
    for (int code = 0; code < kChainEffects; ++code)
        if (effectOn(fx, code, entry, kind)) return true;
    return false;
}

StripKind stripKindOf(int entry) {
    if (entry == kMasterSlot) return StripKind::Master;
    return entry > kMaxChannels ? StripKind::Submix : StripKind::Channel;
}

void setUpStripEffect(const EffectSettings& fx, int entry, StripEffects& strip) {
    const StripKind kind = stripKindOf(entry);
    for (int code = 0; code < kChainEffects; ++code) {
        const EffectKind& k = kEffectKinds[static_cast<std::size_t>(code)];
        if (k.isOn(fx, entry)) k.setUp(strip, fx, entry);
    }
    // The master's limiter runs after its reverb inserts, outside the positions.
    const int last = kind == StripKind::Master ? kFxLim - 1 : kFxLim;
    for (int position = 1; position <= kChainPositions; ++position)
        for (int code = 0; code <= last; ++code)
            if (fx.fxOrder[code][entry] == position && effectOn(fx, code, entry, kind))
                strip.chain[static_cast<std::size_t>(strip.chainLength++)] =
                    kEffectKinds[static_cast<std::size_t>(code)].process;
}

void setUpStripEffects(const EffectSettings& fx, std::vector<StripEffects>& strips) {
    strips.assign(kStripEntries, StripEffects{});
    for (int entry = 0; entry < kStripEntries; ++entry)
        setUpStripEffect(fx, entry, strips[static_cast<std::size_t>(entry)]);
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
