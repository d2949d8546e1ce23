// Channel strip of the mix loop.
#include "engine/channel_strip.h"
#include "core/saturate.h"
#include "core/vector_clones.h"

#include <algorithm>
#include <cstring>

#include "audio/sample_decode.h"
#include "automation/level_automation.h"
#include "automation/routing.h"
#include "engine/reverb_stage.h"
#include "engine/strip_chain.h"
#include "meters/metering.h"

namespace tarvex {

namespace {

// Reads `frames` frames at byte `offset` into the raw buffer; whatever the
// file cannot give (it ends early) reads as silence.
void readFrames(std::FILE* f, int64_t offset, std::size_t bytes, uint8_t* raw) {
    std::size_t got = 0;
    if (fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0) got = std::fread(raw, 1, bytes, f);
    if (got < bytes) std::memset(raw + got, 0, bytes - got);
}

// Frames of a channel taken through reading, decoding, fader and meters in
// one go when nothing in its strip needs the whole block at once: small
// enough for the samples to stay in the core's cache between the steps.
constexpr int32_t kSliceFrames = 4096;

// The clip check of a channel that keeps its integer samples: frames
// [from, to) of the block mark it when one passes full scale, found in one
// pass over both sides.
TARVEX_VECTOR_CLONES
void checkChannelClip(const StripWorkspace& b, int32_t from, int32_t to, int32_t& clip) {
    if (clip != 0) return;
    int32_t high = 0;
    int32_t low = 0;
    for (int32_t i = from; i < to; ++i) {
        const int32_t l = b.channelL[i];
        const int32_t r = b.channelR[i];
        high = l > high ? l : high;
        high = r > high ? r : high;
        low = l < low ? l : low;
        low = r < low ? r : low;
    }
    if (high > kChannelFullScaleInt || low < -kChannelFullScaleInt) clip = 1;
}

bool keepsIntegerSamples(const MixSettings& cfg, int c) {
    return !stripHasEffects(cfg.fx, c, StripKind::Channel) && cfg.automation.slots.fxGain[c] == 1.0;
}

// The effect chain and effects gain of a channel at 2^23 scale, then the clip
// check. A channel with no effect and unity gain keeps its integer samples;
// only the clip check looks at them.
void runChannelEffects(const MixSettings& cfg, ChannelState& ch, StripWorkspace& b, int c,
                       int32_t n) {
    const double gain = cfg.automation.slots.fxGain[c];
    int32_t& clip = ch.clip;
    if (keepsIntegerSamples(cfg, c)) {
        checkChannelClip(b, 0, n, clip);
        return;
    }
    const auto frames = static_cast<std::size_t>(n);
    const std::span<double> l(b.workL.data(), frames);
    const std::span<double> r(b.workR.data(), frames);
    for (int32_t i = 0; i < n; ++i) {
        l[i] = b.channelL[i];
        r[i] = b.channelR[i];
    }
    ch.effects.process(n, l, r);
    if (gain != 1.0) applyEffectsGain(gain, n, l, r);
    storeWithClipCheck(l, r, b.channelL, b.channelR, n, kChannelFullScale, clip);
}

// Fader, pan, polarity and VCA: the channel moves from 2^23 to 2^31 scale.
void runChannelFader(const MixSettings& cfg, ChannelState& ch, StripWorkspace& b, int c,
                     int64_t pos, int32_t n, std::span<const double> vcaGains) {
    const AutomationScript& au = cfg.automation;
    automateLevels(pos, n, c, au.volume, ch.level, ch.sides, b.channelL, b.channelR,
                   au.slots.polarity[c], kChannelDivisor, au.routing.panLeft[c],
                   au.routing.panRight[c], au.routing.vcaAssign, vcaGains);
}

// Fills frames [from, to) of channel c's block at `pos` with its decoded
// samples: silence before its start and past the end of its audio, and
// wherever the file ends early.
void loadFrames(const MixSettings& cfg, ChannelState& ch, StripWorkspace& b, int c, int64_t pos,
                int32_t from, int32_t to) {
    const TrackTable& t = cfg.tracks;
    const int64_t start = cfg.fader.startOffset[c];
    const int64_t audioEnd = start + t.wavFrames[c];
    const auto first = static_cast<int32_t>(std::clamp<int64_t>(start - pos, from, to));
    const auto last = static_cast<int32_t>(std::clamp<int64_t>(audioEnd - pos, first, to));
    std::fill(b.channelL.begin() + from, b.channelL.begin() + first, 0);
    std::fill(b.channelR.begin() + from, b.channelR.begin() + first, 0);
    std::fill(b.channelL.begin() + last, b.channelL.begin() + to, 0);
    std::fill(b.channelR.begin() + last, b.channelR.begin() + to, 0);
    if (last == first) return;
    const int32_t bytesPerSample = t.wavBytes[c];
    const int32_t fileChannels = t.wavChannels[c];
    const int64_t frameBytes = static_cast<int64_t>(bytesPerSample) * fileChannels;
    const int32_t count = last - first;
    const std::size_t bytes =
        static_cast<std::size_t>(frameBytes) * static_cast<std::size_t>(count);
    readFrames(ch.input, t.wavDataOffset[c] + frameBytes * (pos + first - start), bytes,
               b.raw.data());
    const auto at = static_cast<std::size_t>(first);
    const auto frames = static_cast<std::size_t>(count);
    decodeSamples(std::span<const uint8_t>(b.raw.data(), bytes), bytesPerSample, fileChannels,
                  count, std::span<int32_t>(b.channelL).subspan(at, frames),
                  std::span<int32_t>(b.channelR).subspan(at, frames));
    if (fileChannels == 1)
        std::copy_n(b.channelL.begin() + first, count, b.channelR.begin() + first);
}

// A delay-panned mono channel's block: its samples decoded apart, then
// spread over both sides with the delay history; silence before its start
// and past the end of its audio.
void loadDelayPanned(const MixSettings& cfg, ChannelState& ch, StripWorkspace& b, int c,
                     int64_t pos, int32_t n, int32_t savePosition) {
    const TrackTable& t = cfg.tracks;
    const PanRouting& pr = cfg.automation.routing;
    const int64_t start = cfg.fader.startOffset[c];
    const int64_t blockEnd = pos + n;
    const int32_t bytesPerSample = t.wavBytes[c];
    // A channel starting inside this block is silent up to its start.
    int32_t lead = 0;
    int64_t offset = t.wavDataOffset[c];
    if (pos < start && start < blockEnd) {
        lead = static_cast<int32_t>(start - pos);
        std::fill_n(b.channelL.begin(), lead, 0);
        std::fill_n(b.channelR.begin(), lead, 0);
    } else {
        offset += bytesPerSample * (pos - start);
    }
    const int32_t count = n - lead;
    const std::size_t bytes =
        static_cast<std::size_t>(bytesPerSample) * static_cast<std::size_t>(count);
    readFrames(ch.input, offset, bytes, b.raw.data());
    const auto from = static_cast<std::size_t>(lead);
    std::fill_n(b.monoIn.begin(), lead, 0);
    decodeSamples(std::span<const uint8_t>(b.raw.data(), bytes), bytesPerSample, 1, count,
                  std::span<int32_t>(b.monoIn).subspan(from),
                  std::span<int32_t>(b.channelR).subspan(from));
    delayPanChannel(lead, n, pr.delayPanPan[c], pr.delay[c], b.monoIn, ch.historyL, ch.historyR,
                    b.channelL, b.channelR, savePosition);
    const int64_t audioEnd = start + t.wavFrames[c];
    if (audioEnd < blockEnd) {
        const int64_t end = std::max<int64_t>(audioEnd - pos, 0);
        std::fill(b.channelL.begin() + end, b.channelL.begin() + n, 0);
        std::fill(b.channelR.begin() + end, b.channelR.begin() + n, 0);
    }
}

// A channel without effects, VCA or delay panning, a slice at a time: every
// step works on each sample alone (the fader's memory runs on from slice to
// slice as it runs from sample to sample), so the result is that of whole
// blocks.
TARVEX_VECTOR_CLONES
void processChannelInSlices(const MixSettings& cfg, ChannelState& ch, StripWorkspace& b, int c,
                            int64_t pos, int32_t n, std::span<const double> vcaGains) {
    const AutomationScript& au = cfg.automation;
    for (int32_t from = 0; from < n; from += kSliceFrames) {
        const int32_t count = std::min(kSliceFrames, n - from);
        const int32_t to = from + count;
        loadFrames(cfg, ch, b, c, pos, from, to);
        checkChannelClip(b, from, to, ch.clip);
        const auto at = static_cast<std::size_t>(from);
        const auto frames = static_cast<std::size_t>(count);
        const std::span<int32_t> left = std::span<int32_t>(b.channelL).subspan(at, frames);
        const std::span<int32_t> right = std::span<int32_t>(b.channelR).subspan(at, frames);
        automateLevels(pos + from, count, c, au.volume, ch.level, ch.sides, left, right,
                       au.slots.polarity[c], kChannelDivisor, au.routing.panLeft[c],
                       au.routing.panRight[c], au.routing.vcaAssign, vcaGains);
        raisePeak(ch.peakL, left.data(), count);
        raisePeak(ch.peakR, right.data(), count);
    }
}

} // namespace

TARVEX_VECTOR_CLONES
void processChannel(const MixSettings& cfg, ChannelState& ch, StripWorkspace& b, int c, int64_t pos,
                    int32_t n, int32_t savePosition, std::span<const double> vcaGains) {
    const TrackTable& t = cfg.tracks;
    const int64_t start = cfg.fader.startOffset[c];
    const int64_t blockEnd = pos + n;
    const PanRouting& pr = cfg.automation.routing;
    const bool delayPanned = t.wavChannels[c] == 1 && pr.delayPanned[c] != 0;

    if (keepsIntegerSamples(cfg, c) && pr.vcaAssign[c] == 0 && !delayPanned) {
        processChannelInSlices(cfg, ch, b, c, pos, n, vcaGains);
    } else {
        if (delayPanned)
            loadDelayPanned(cfg, ch, b, c, pos, n, savePosition);
        else
            loadFrames(cfg, ch, b, c, pos, 0, n);
        runChannelEffects(cfg, ch, b, c, n);
        runChannelFader(cfg, ch, b, c, pos, n, vcaGains);
        raisePeak(ch.peakL, b.channelL.data(), n);
        raisePeak(ch.peakR, b.channelR.data(), n);
    }
    // Past the end of its audio the channel is not read again.
    if (start + t.wavFrames[c] <= blockEnd) ch.playing = 0;
}

TARVEX_VECTOR_CLONES
void mixChannel(const MixSettings& cfg, MixState& st, const StripOutput& w, int c, int32_t n) {
    BlockBuffers& b = st.buffers;
    for (int bus = 0; bus < kBusCount; ++bus) {
        if (cfg.routing.route[c][bus] == 0 || cfg.routing.busFlags[bus] == 0) continue;
        addSaturating(b.busL[bus].data(), w.left.data(), n);
        addSaturating(b.busR[bus].data(), w.right.data(), n);
    }
    sendChannelToReverbs(cfg, st, w, c, n);
}

} // namespace tarvex
