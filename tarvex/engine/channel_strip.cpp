// Channel strip of the mix loop.
#include "engine/channel_strip.h"

#include <algorithm>
#include <cstring>

#include "audio/sample_decode.h"
#include "engine/metering.h"

namespace tarvex {

namespace {

// Channel samples beyond this (2^23) after the effects mark the channel as
// clipping.
constexpr int32_t kChannelFullScale = 8388608;
// A unity fader level multiplies a channel by 256 (2^23 to 2^31 scale).
constexpr int64_t kUnityFaderGain = 256;

// Reads `frames` frames at byte `offset` into the raw buffer; whatever the
// file cannot give (it ends early) reads as silence.
void readFrames(std::FILE* f, int64_t offset, std::size_t bytes, uint8_t* raw) {
    std::size_t got = 0;
    if (fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0) got = std::fread(raw, 1, bytes, f);
    if (got < bytes) std::memset(raw + got, 0, bytes - got);
}

// The effect chain and effects gain of a channel. No effect exists yet, so the
// samples pass unchanged; only the clip check runs.
void runChannelEffects(MixSession& s, int c, int32_t n) {
    if (s.meters.clipFlags[c] != 0) return;
    const auto& l = s.buffers.channelL;
    const auto& r = s.buffers.channelR;
    for (int32_t i = 0; i < n; ++i)
        if (l[i] > kChannelFullScale || l[i] < -kChannelFullScale || r[i] > kChannelFullScale ||
            r[i] < -kChannelFullScale) {
            s.meters.clipFlags[c] = 1;
            return;
        }
}

// Fader, pan, polarity and VCA of a channel: every channel plays at unity for
// now, which lifts it from 2^23 to 2^31 scale.
void runChannelFader(MixSession& s, int32_t n) {
    auto lift = [](int32_t v) {
        const int64_t x = v * kUnityFaderGain;
        return static_cast<int32_t>(std::clamp<int64_t>(x, -2147483648LL, 2147483647LL));
    };
    for (int32_t i = 0; i < n; ++i) {
        s.buffers.channelL[i] = lift(s.buffers.channelL[i]);
        s.buffers.channelR[i] = lift(s.buffers.channelR[i]);
    }
}

} // namespace

void runChannelStrip(MixSession& s, int c, int64_t pos, int32_t n) {
    TrackTable& t = s.tracks;
    BlockBuffers& b = s.buffers;
    const int64_t start = s.fader.startOffset[c];
    const int64_t blockEnd = pos + n;
    const int32_t bytesPerSample = t.wavBytes[c];
    const int32_t fileChannels = t.wavChannels[c];
    const int64_t frameBytes = static_cast<int64_t>(bytesPerSample) * fileChannels;

    // A channel starting inside this block is silent up to its start.
    int32_t lead = 0;
    int64_t offset = t.wavDataOffset[c];
    if (pos < start && start < blockEnd) {
        lead = static_cast<int32_t>(start - pos);
        std::fill_n(b.channelL.begin(), lead, 0);
        std::fill_n(b.channelR.begin(), lead, 0);
    } else {
        offset += frameBytes * (pos - start);
    }
    const int32_t count = n - lead;
    const std::size_t bytes =
        static_cast<std::size_t>(frameBytes) * static_cast<std::size_t>(count);
    readFrames(s.inputFiles[c], offset, bytes, b.raw.data());
    decodeSamples(std::span<const uint8_t>(b.raw.data(), bytes), bytesPerSample, fileChannels,
                  count, std::span<int32_t>(b.channelL).subspan(static_cast<std::size_t>(lead)),
                  std::span<int32_t>(b.channelR).subspan(static_cast<std::size_t>(lead)));
    if (fileChannels == 1) std::copy_n(b.channelL.begin() + lead, count, b.channelR.begin() + lead);

    // Past the end of its audio the channel is silent and is not read again.
    const int64_t audioEnd = start + t.wavFrames[c];
    if (audioEnd < blockEnd) {
        const int64_t from = std::max<int64_t>(audioEnd - pos, 0);
        std::fill(b.channelL.begin() + from, b.channelL.begin() + n, 0);
        std::fill(b.channelR.begin() + from, b.channelR.begin() + n, 0);
    }
    if (audioEnd <= blockEnd) t.channelOn[c] = 0;

    runChannelEffects(s, c, n);
    runChannelFader(s, n);

    double& peakL = s.meters.peakL[c];
    double& peakR = s.meters.peakR[c];
    for (int32_t i = 0; i < n; ++i) {
        updatePeak(peakL, b.channelL[i]);
        updatePeak(peakR, b.channelR[i]);
    }
    for (int bus = 0; bus < kBusCount; ++bus) {
        if (s.routing.route[c][bus] == 0 || s.routing.busFlags[bus] == 0) continue;
        int32_t* busL = b.busL[bus].data();
        int32_t* busR = b.busR[bus].data();
        for (int32_t i = 0; i < n; ++i) {
            busL[i] = saturatingAdd(busL[i], b.channelL[i]);
            busR[i] = saturatingAdd(busR[i], b.channelR[i]);
        }
    }
    // Reverb sends join here once the reverbs exist.
}

} // namespace tarvex
