// The block loop of the mix.
#include "engine/mix_loop.h"
#include "core/saturate.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "automation/level_automation.h"
#include "core/console.h"
#include "driver/track_list.h"
#include "engine/channel_strip.h"
#include "meters/metering.h"
#include "engine/output_stage.h"

namespace tarvex {

namespace {

constexpr std::size_t kFrames = kMaxBlockFrames;
// A stereo frame of 32-bit float samples is the widest input frame.
constexpr std::size_t kMaxInputFrameBytes = 8;
// A stereo 24-bit output frame is the widest output frame.
constexpr std::size_t kMaxOutputFrameBytes = 6;

void openInputs(MixSession& s) {
    for (int c = 1; c <= s.tracks.channelCount; ++c) {
        if (s.tracks.wavOk[c] == 0) continue;
        const std::string path = wavPathOf(s, c);
        s.inputFiles[c] = std::fopen(path.c_str(), "rb");
        if (s.inputFiles[c] == nullptr) {
            warn("Cannot open %s again for mixing: %s; channel %d is left out.\n", path.c_str(),
                 std::strerror(errno), c);
            s.tracks.channelOn[c] = 0;
        }
    }
}

void closeFiles(MixSession& s) {
    const bool mixOk = std::fflush(s.output.stream) == 0 && std::ferror(s.output.stream) == 0;
    const int mixError = errno;
    const bool closed = std::fclose(s.output.stream) == 0;
    s.output.stream = nullptr;
    for (int c = 1; c <= s.tracks.channelCount; ++c) {
        if (s.inputFiles[c] == nullptr) continue;
        if (std::fclose(s.inputFiles[c]) != 0) warn("Error closing audio file\n");
        s.inputFiles[c] = nullptr;
    }
    if (!mixOk || !closed)
        stopRun(1, "Could not write the mix file %s: %s\n", s.fader.outputPath.c_str(),
                std::strerror(mixOk ? errno : mixError));
}

// The stages below that do nothing yet are the effect and reverb stages still
// to come; they keep their places in the block order.
void rotateReverbReturns(MixSession&) {}
void processSubmixes(MixSession&, int32_t) {}
void sendSubmixesToReverbs(MixSession&, int32_t) {}
void runReverbsInSendMode(MixSession&, int32_t) {}

void fillVcaGains(MixSession& s, int64_t pos, int32_t n) {
    AutomationSet& au = s.automation;
    for (int vca = 1; vca < kVcaSlots; ++vca)
        if (au.routing.vcaFlags[vca] != 0)
            FillVCA(pos, n, vca, au.vca, au.vcaLevels, au.memory, au.vcaGains);
}

// Groups with level entries follow them like channels, at bus scale.
void automateSubmixes(MixSession& s, int64_t pos, int32_t n) {
    AutomationSet& au = s.automation;
    for (int k = 1; k <= kSubmixCount; ++k) {
        const int slot = groupSlot(k);
        if (s.routing.busFlags[k] == 0 || au.slots.groupLevel[slot] == 0) continue;
        AUTOMATE(pos, n, slot, au.volume, au.levels, au.memory,
                 std::span<int32_t>(s.buffers.busL[k]).first(static_cast<std::size_t>(n)),
                 std::span<int32_t>(s.buffers.busR[k]).first(static_cast<std::size_t>(n)),
                 au.slots.polarity[slot], kBusDivisor, au.routing.panLeft[slot],
                 au.routing.panRight[slot], au.routing.vcaAssign, au.vcaGains);
    }
}

void automateMaster(MixSession& s, int64_t pos, int32_t n) {
    AutomationSet& au = s.automation;
    if (au.slots.masterLevel == 0) return;
    AUTOMATE(pos, n, kMasterSlot, au.volume, au.levels, au.memory,
             std::span<int32_t>(s.buffers.masterL).first(static_cast<std::size_t>(n)),
             std::span<int32_t>(s.buffers.masterR).first(static_cast<std::size_t>(n)),
             au.slots.polarity[kMasterSlot], kBusDivisor, au.routing.panLeft[kMasterSlot],
             au.routing.panRight[kMasterSlot], au.routing.vcaAssign, au.vcaGains);
}

// The master's effects gain (its effect chain is still to come) and its clip
// check against bus full scale.
void processMaster(MixSession& s, int32_t n) {
    if (s.automation.slots.masterEffects == 0) return;
    auto& l = s.buffers.masterL;
    auto& r = s.buffers.masterR;
    const double gain = s.automation.slots.fxGain[kMasterSlot];
    for (int32_t i = 0; i < n; ++i) {
        const double vl = gain != 1.0 ? l[i] * gain : l[i];
        const double vr = gain != 1.0 ? r[i] * gain : r[i];
        if (s.meters.clipFlags[kMasterSlot] == 0 &&
            (vl > 2147483648.0 || vl < -2147483648.0 || vr > 2147483648.0 || vr < -2147483648.0))
            s.meters.clipFlags[kMasterSlot] = 1;
        l[i] = truncToInt32(vl);
        r[i] = truncToInt32(vr);
    }
}

void clearMixBuffers(MixSession& s, int32_t n) {
    BlockBuffers& b = s.buffers;
    std::fill_n(b.masterL.begin(), n, 0);
    std::fill_n(b.masterR.begin(), n, 0);
    for (int bus = 0; bus < kBusCount; ++bus) {
        if (s.routing.busFlags[bus] == 0) continue;
        std::fill_n(b.busL[bus].begin(), n, 0);
        std::fill_n(b.busR[bus].begin(), n, 0);
    }
}

// Bus 0 goes straight into the master; submix buses are metered first.
void sumBuses(MixSession& s, int32_t n) {
    BlockBuffers& b = s.buffers;
    for (int bus = 0; bus < kBusCount; ++bus) {
        if (s.routing.busFlags[bus] == 0) continue;
        const int32_t* l = b.busL[bus].data();
        const int32_t* r = b.busR[bus].data();
        if (bus > 0) {
            double& peakL = s.meters.peakL[groupSlot(bus)];
            double& peakR = s.meters.peakR[groupSlot(bus)];
            for (int32_t i = 0; i < n; ++i) {
                updatePeak(peakL, l[i]);
                updatePeak(peakR, r[i]);
            }
        }
        for (int32_t i = 0; i < n; ++i) {
            b.masterL[i] = saturatingAdd(b.masterL[i], l[i]);
            b.masterR[i] = saturatingAdd(b.masterR[i], r[i]);
        }
    }
}

struct QuarterMarks {
    int64_t first, second, third;
};

void printProgress(MixSession& s, const QuarterMarks& q, int64_t pos) {
    if (s.prefs.verbosity != 2) return;
    int32_t& flag = s.meters.progressFlag;
    if (pos > q.first && pos < q.second && flag == 1) {
        warn("1/4 done\n");
        flag = 0;
    } else if (pos > q.second && pos < q.third && flag == 0) {
        warn("1/2 done\n");
        flag = 1;
    } else if (pos > q.third && flag == 1) {
        warn("3/4 done\n");
        flag = 0;
    } else {
        return;
    }
    std::fflush(stdout);
}

} // namespace

void allocateBlockBuffers(MixSession& s) {
    BlockBuffers& b = s.buffers;
    b.raw.assign(kFrames * kMaxInputFrameBytes, 0);
    b.channelL.assign(kFrames, 0);
    b.channelR.assign(kFrames, 0);
    b.monoIn.assign(kFrames, 0);
    b.workL.assign(kFrames, 0.0);
    b.workR.assign(kFrames, 0.0);
    b.masterL.assign(kFrames, 0);
    b.masterR.assign(kFrames, 0);
    b.stageL.assign(kFrames, 0);
    b.stageR.assign(kFrames, 0);
    b.mono.assign(kFrames, 0);
    b.outBytes.assign(kFrames * kMaxOutputFrameBytes, 0);
    b.busL.assign(kBusCount, {});
    b.busR.assign(kBusCount, {});
}

BlockSize blockSizeAt(int64_t pos, int64_t end) {
    if (pos + (kMaxBlockFrames - 1) < end) return {kMaxBlockFrames, kMaxBlockFrames - 256};
    const auto length = static_cast<int32_t>(end - pos);
    return {length, length > 255 ? length - 256 : length};
}

void runMixLoop(MixSession& s) {
    BlockBuffers& b = s.buffers;
    // Buses exist only where routing asked for them; bus 0 always does.
    for (int bus = 0; bus < kBusCount; ++bus)
        if (s.routing.busFlags[bus] != 0) {
            b.busL[bus].assign(kFrames, 0);
            b.busR[bus].assign(kFrames, 0);
        }

    s.output.stream = std::fopen(s.fader.outputPath.c_str(), "ab");
    if (s.output.stream == nullptr)
        stopRun(1, "Could not open the mix file %s: %s\n", s.fader.outputPath.c_str(),
                std::strerror(errno));
    openInputs(s);
    s.tracks.trackListOn = s.tracks.channelOn;
    if (s.automation.routing.anyVca != 0)
        s.automation.vcaGains.assign(static_cast<std::size_t>(kVcaSlots) * kFrames, 1.0);
    prepareAutomation(s.automation, s.prefs.renderStart, s.tracks.channelCount,
                      s.fader.startOffset);

    const int64_t start = s.prefs.renderStart;
    const int64_t length = s.prefs.renderLength;
    const QuarterMarks q{start + length / 4, start + length / 2, start + (3 * length) / 4};
    if (s.prefs.verbosity > 0) warn("\n");
    if (s.prefs.verbosity == 2) warn("Mixing...\n");

    const int64_t end = start + length;
    for (int64_t pos = start; pos < end;) {
        const BlockSize size = blockSizeAt(pos, end);
        const int32_t n = size.length;
        const int64_t blockEnd = pos + n;
        clearMixBuffers(s, n);
        rotateReverbReturns(s);
        fillVcaGains(s, pos, n);
        for (int c = 1; c <= s.tracks.channelCount; ++c)
            if (s.tracks.channelOn[c] != 0 && s.fader.startOffset[c] < blockEnd)
                runChannelStrip(s, c, pos, n, size.savePosition);
        automateSubmixes(s, pos, n);
        processSubmixes(s, n);
        sumBuses(s, n);
        sendSubmixesToReverbs(s, n);
        runReverbsInSendMode(s, n);
        automateMaster(s, pos, n);
        processMaster(s, n);
        writeOutputBlock(s, pos, n);
        printProgress(s, q, pos);
        pos = blockEnd;
    }

    closeFiles(s);
    if (s.prefs.verbosity > 0)
        warn("\nDone!  Created the file: %s\n\n", s.fader.outputPath.c_str());
}

} // namespace tarvex
