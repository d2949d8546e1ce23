// Output conversion of the master: dither, division, peaks, encoding.
#include "engine/output_stage.h"
#include "core/saturate.h"
#include "core/vector_clones.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

#include "audio/wav_output.h"
#include "core/console.h"
#include "core/scales.h"
#include "meters/metering.h"

namespace tarvex {

namespace {

// Master samples reach the meter divided by 256, at 24-bit scale.
constexpr int32_t kMeterDivisor = 256;

// One draw of the dither noise, in output steps.
int32_t ditherNoise(const OutputSetup& out, DitherNoise& noise) {
    return out.ditherOffset - (noise.next() % out.ditherRange);
}

// Raises an output peak to the largest |v| of a block, at the first sample
// that reaches it (a later equal sample does not move the position).
TARVEX_VECTOR_CLONES
void raiseOutputPeak(double& peak, int64_t& peakPos, const int32_t* v, int32_t n, int64_t pos) {
    const uint32_t most = largestMagnitude(v, n);
    if (!(static_cast<double>(most) > peak)) return;
    int32_t at = 0;
    while (magnitudeOf(v[at]) != most)
        ++at;
    peak = static_cast<double>(most);
    peakPos = pos + at;
}

// The master divided down to output steps.
TARVEX_VECTOR_CLONES
void divideBlock(const int32_t* in, int32_t* out, int32_t n, int shift) {
    for (int32_t i = 0; i < n; ++i)
        out[i] = divideTowardZero(in[i], shift);
}

// Where a stem's samples are, at bus scale: `left`/`right`, less
// `lessLeft`/`lessRight` (in wrapping arithmetic) when those are set.
struct StemSignal {
    const int32_t* left = nullptr;
    const int32_t* right = nullptr;
    const int32_t* lessLeft = nullptr;
    const int32_t* lessRight = nullptr;
    int32_t leftAt(int32_t i) const { return sampleAt(left, lessLeft, i); }
    int32_t rightAt(int32_t i) const { return sampleAt(right, lessRight, i); }

  private:
    static int32_t sampleAt(const int32_t* v, const int32_t* less, int32_t i) {
        if (less == nullptr) return v[i];
        return static_cast<int32_t>(static_cast<uint32_t>(v[i]) - static_cast<uint32_t>(less[i]));
    }
};

StemSignal stemSignalOf(const StemFile& stem, const MixState& st) {
    const BlockBuffers& b = st.buffers;
    const TapReturnShare& share = st.tapShare;
    const bool shared = !share.nowL.empty();
    switch (stem.source) {
    case StemSource::submix:
    case StemSource::direct: {
        const auto bus = static_cast<std::size_t>(stem.submix);
        return {b.busL[bus].data(), b.busR[bus].data()};
    }
    case StemSource::room:
        if (shared)
            return {b.returnL.data(), b.returnR.data(), share.nowL.data(), share.nowR.data()};
        return {b.returnL.data(), b.returnR.data()};
    case StemSource::taps:
        if (shared) return {share.nowL.data(), share.nowR.data()};
        return {b.returnL.data(), b.returnR.data()};
    }
    return {};
}

// A stem block goes through the master's conversion (its own dither noise,
// the mono fold, the division), without the master's fader and effects.
void writeStemBlock(const OutputSetup& out, const std::string& path, const StemSignal& signal,
                    StemStream& stem, BlockBuffers& b, int64_t pos, int32_t n) {
    const int shift = outputShift(out.outBits);
    const int64_t noiseStep = outputStep(out.outBits);
    const bool dither = out.ditherBits != 0;
    auto dithered = [&](int32_t v) {
        return dither ? clampToInt32(static_cast<int64_t>(v) +
                                     ditherNoise(out, stem.dither) * noiseStep)
                      : v;
    };
    std::size_t bytes = 0;
    if (out.outChannels == 2) {
        for (int32_t i = 0; i < n; ++i) {
            const int32_t l = dithered(signal.leftAt(i));
            const int32_t r = dithered(signal.rightAt(i));
            b.stageL[i] = divideTowardZero(l, shift);
            b.stageR[i] = divideTowardZero(r, shift);
        }
        raiseOutputPeak(stem.peakL, stem.peakPosL, b.stageL.data(), n, pos);
        raiseOutputPeak(stem.peakR, stem.peakPosR, b.stageR.data(), n, pos);
        if (out.outBits == 16)
            encodeStereo16(b.stageL, b.stageR, b.outBytes, n);
        else
            encodeStereo24(b.stageL, b.stageR, b.outBytes, n);
        bytes = static_cast<std::size_t>(n) * (out.outBits == 16 ? 4 : 6);
    } else {
        for (int32_t i = 0; i < n; ++i)
            b.stageL[i] = divideTowardZero(dithered(truncToInt32(signal.leftAt(i) * out.monoGain +
                                                                 signal.rightAt(i) * out.monoGain)),
                                           shift);
        raiseOutputPeak(stem.peakL, stem.peakPosL, b.stageL.data(), n, pos);
        stem.peakR = stem.peakL;
        stem.peakPosR = stem.peakPosL;
        if (out.outBits == 16)
            encodeMono16(b.stageL, b.outBytes, n);
        else
            encodeMono24(b.stageL, b.outBytes, n);
        bytes = static_cast<std::size_t>(n) * (out.outBits == 16 ? 2 : 3);
    }
    if (std::fwrite(b.outBytes.data(), 1, bytes, stem.stream) != bytes)
        stopRun(1, "Could not write the stem %s: %s\n", path.c_str(), std::strerror(errno));
}

} // namespace

void writeStemBlocks(const MixSettings& cfg, MixState& st, int64_t pos, int32_t n) {
    const std::vector<StemFile>& files = cfg.output.stems;
    for (std::size_t i = 0; i < files.size() && i < st.stems.size(); ++i)
        writeStemBlock(cfg.output, files[i].path, stemSignalOf(files[i], st), st.stems[i],
                       st.buffers, pos, n);
}

int32_t ditherOffsetFor(int32_t bits) {
    return bits == 0 ? 0 : static_cast<int32_t>(std::pow(2.0, bits - 1));
}

int32_t ditherRangeFor(int32_t bits) {
    return bits == 0 ? 0 : static_cast<int32_t>(std::pow(2.0, bits) + 1.0);
}

void writeOutputBlock(const MixSettings& cfg, MixState& st, int64_t pos, int32_t n) {
    const OutputSetup& out = cfg.output;
    BlockBuffers& b = st.buffers;
    MixMeters& m = st.meters;
    const int shift = outputShift(out.outBits);
    const int64_t noiseStep = outputStep(out.outBits);
    const bool dither = out.ditherBits != 0;
    std::size_t bytes = 0;

    if (out.outChannels == 2) {
        if (dither) {
            for (int32_t i = 0; i < n; ++i) {
                // Always two draws per frame, left first; the noise never wraps
                // a sample near full scale around.
                const int32_t nl = ditherNoise(out, st.dither);
                const int32_t nr = ditherNoise(out, st.dither);
                b.masterL[i] = clampToInt32(static_cast<int64_t>(b.masterL[i]) + nl * noiseStep);
                b.masterR[i] = clampToInt32(static_cast<int64_t>(b.masterR[i]) + nr * noiseStep);
            }
        }
        divideBlock(b.masterL.data(), b.stageL.data(), n, shift);
        divideBlock(b.masterR.data(), b.stageR.data(), n, shift);
        raiseOutputPeak(m.outPeakL, m.outPeakPosL, b.stageL.data(), n, pos);
        raiseOutputPeak(m.outPeakR, m.outPeakPosR, b.stageR.data(), n, pos);
        measureMasterRms(m.rms, b.masterL, b.masterR, cfg.tracks.meterWindow, kMeterDivisor, n);
        if (out.outBits == 16) {
            encodeStereo16(b.stageL, b.stageR, b.outBytes, n);
            bytes = static_cast<std::size_t>(n) * 4;
        } else {
            encodeStereo24(b.stageL, b.stageR, b.outBytes, n);
            bytes = static_cast<std::size_t>(n) * 6;
        }
    } else {
        for (int32_t i = 0; i < n; ++i) {
            int32_t v = truncToInt32(b.masterL[i] * out.monoGain + b.masterR[i] * out.monoGain);
            if (dither)
                v = clampToInt32(static_cast<int64_t>(v) + ditherNoise(out, st.dither) * noiseStep);
            b.mono[i] = v;
        }
        divideBlock(b.mono.data(), b.stageL.data(), n, shift);
        raiseOutputPeak(m.outPeakL, m.outPeakPosL, b.stageL.data(), n, pos);
        m.outPeakR = m.outPeakL;
        m.outPeakPosR = m.outPeakPosL;
        measureMasterRms(m.rms, b.mono, b.mono, cfg.tracks.meterWindow, kMeterDivisor, n);
        if (out.outBits == 16) {
            encodeMono16(b.stageL, b.outBytes, n);
            bytes = static_cast<std::size_t>(n) * 2;
        } else {
            encodeMono24(b.stageL, b.outBytes, n);
            bytes = static_cast<std::size_t>(n) * 3;
        }
    }
    if (std::fwrite(b.outBytes.data(), 1, bytes, st.mixStream) != bytes)
        stopRun(1, "Could not write the mix file %s: %s\n", cfg.fader.outputPath.c_str(),
                std::strerror(errno));
}

} // namespace tarvex
