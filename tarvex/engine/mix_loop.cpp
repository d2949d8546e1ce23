// The block loop of the mix.
#include "engine/mix_loop.h"
#include "core/saturate.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "automation/level_automation.h"
#include "common/staged_file.h"
#include "core/console.h"
#include "engine/channel_strip.h"
#include "engine/mix_views.h"
#include "engine/output_stage.h"
#include "engine/reverb_stage.h"
#include "engine/strip_chain.h"
#include "engine/strip_workers.h"
#include "meters/metering.h"

namespace tarvex {

namespace {

constexpr std::size_t kFrames = kMaxBlockFrames;
// A stereo 24-bit output frame is the widest output frame.
constexpr std::size_t kMaxOutputFrameBytes = 6;

void openInputs(const MixSettings& cfg, MixState& st) {
    for (int c = 1; c <= cfg.tracks.channelCount; ++c) {
        if (cfg.tracks.wavOk[c] == 0) continue;
        const std::string path = wavPathOf(cfg, c);
        ChannelState& ch = st.strips[static_cast<std::size_t>(c)];
        ch.input = std::fopen(path.c_str(), "rb");
        if (ch.input == nullptr) {
            warn("Cannot open %s again for mixing: %s; channel %d is left out.\n", path.c_str(),
                 std::strerror(errno), c);
            ch.playing = 0;
        }
    }
}

// Flushes and closes an output stream; false, with the error, when some of
// its data could not be written.
bool closeOutput(std::FILE*& stream, int& error) {
    const bool flushed = std::fflush(stream) == 0 && std::ferror(stream) == 0;
    const int flushError = errno;
    const bool closed = std::fclose(stream) == 0;
    stream = nullptr;
    error = flushed ? errno : flushError;
    return flushed && closed;
}

void closeFiles(const MixSettings& cfg, MixState& st) {
    int error = 0;
    const bool mixOk = closeOutput(st.mixStream, error);
    const int mixError = error;
    for (int c = 1; c <= cfg.tracks.channelCount; ++c) {
        std::FILE*& input = st.strips[static_cast<std::size_t>(c)].input;
        if (input == nullptr) continue;
        if (std::fclose(input) != 0) warn("Error closing audio file\n");
        input = nullptr;
    }
    if (!mixOk)
        stopRun(1, "Could not write the mix file %s: %s\n", cfg.fader.outputPath.c_str(),
                std::strerror(mixError));
    for (std::size_t i = 0; i < st.stems.size(); ++i)
        if (!closeOutput(st.stems[i].stream, error))
            stopRun(1, "Could not write the stem %s: %s\n", cfg.output.stems[i].path.c_str(),
                    std::strerror(error));
    if (st.tapStream != nullptr && !closeOutput(st.tapStream, error))
        stopRun(1, "Could not write the tap file %s: %s\n", cfg.output.tapPath.c_str(),
                std::strerror(error));
}

// The VCA gains of one block into `gains` (one block of gains per VCA slot).
void fillVcaGains(const MixSettings& cfg, MixState& st, int64_t pos, int32_t n,
                  std::span<double> gains) {
    const AutomationScript& au = cfg.automation;
    AutomationState& as = st.automationState;
    for (int vca = 1; vca < kVcaSlots; ++vca)
        if (au.routing.vcaFlags[vca] != 0)
            automateVca(pos, n, vca, au.vca, as.vcaLevels[static_cast<std::size_t>(vca)], gains);
}

// One of the two halves of the VCA gain buffer: a block's strips read theirs
// while the block before finishes with the other.
std::span<double> vcaHalf(MixState& st, int parity) {
    std::vector<double>& all = st.automationState.vcaGains;
    if (all.empty()) return {};
    const std::size_t half = all.size() / 2;
    return std::span<double>(all.data() + static_cast<std::size_t>(parity) * half, half);
}

// Groups with level entries follow them like channels, at bus scale.
void automateSubmixes(const MixSettings& cfg, MixState& st, int64_t pos, int32_t n,
                      std::span<const double> vcaGains) {
    const AutomationScript& au = cfg.automation;
    for (int k = 1; k <= kSubmixCount; ++k) {
        const int slot = groupSlot(k);
        if (cfg.routing.busFlags[k] == 0 || au.slots.groupLevel[slot] == 0) continue;
        ChannelState& group = st.strips[static_cast<std::size_t>(slot)];
        automateLevels(pos, n, slot, au.volume, group.level, group.sides,
                       std::span<int32_t>(st.buffers.busL[k]).first(static_cast<std::size_t>(n)),
                       std::span<int32_t>(st.buffers.busR[k]).first(static_cast<std::size_t>(n)),
                       au.slots.polarity[slot], kBusDivisor, au.routing.panLeft[slot],
                       au.routing.panRight[slot], au.routing.vcaAssign, vcaGains);
    }
}

void automateMaster(const MixSettings& cfg, MixState& st, int64_t pos, int32_t n,
                    std::span<const double> vcaGains) {
    const AutomationScript& au = cfg.automation;
    if (au.slots.masterLevel == 0) return;
    ChannelState& master = st.strips[kMasterSlot];
    automateLevels(pos, n, kMasterSlot, au.volume, master.level, master.sides,
                   std::span<int32_t>(st.buffers.masterL).first(static_cast<std::size_t>(n)),
                   std::span<int32_t>(st.buffers.masterR).first(static_cast<std::size_t>(n)),
                   au.slots.polarity[kMasterSlot], kBusDivisor, au.routing.panLeft[kMasterSlot],
                   au.routing.panRight[kMasterSlot], au.routing.vcaAssign, vcaGains);
}

// Bus b as doubles in the work buffers.
void loadWork(BlockBuffers& b, const std::vector<int32_t>& l, const std::vector<int32_t>& r,
              int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        b.workL[i] = l[i];
        b.workR[i] = r[i];
    }
}

// Submixes with an effect run their chain (limiter included) at bus scale;
// a submix without one passes unchanged, its effects gain not applied.
void processSubmixes(const MixSettings& cfg, MixState& st, int32_t n) {
    BlockBuffers& b = st.buffers;
    const auto frames = static_cast<std::size_t>(n);
    const std::span<double> l(b.workL.data(), frames);
    const std::span<double> r(b.workR.data(), frames);
    for (int k = 1; k <= kSubmixCount; ++k) {
        if (cfg.routing.busFlags[k] == 0 || cfg.fx.submixFxOn[k] == 0) continue;
        const int slot = groupSlot(k);
        loadWork(b, b.busL[k], b.busR[k], n);
        ChannelState& group = st.strips[static_cast<std::size_t>(slot)];
        group.effects.process(n, l, r);
        const double gain = cfg.automation.slots.fxGain[slot];
        if (gain != 1.0) applyEffectsGain(gain, n, l, r);
        storeWithClipCheck(l, r, b.busL[k], b.busR[k], n, kBusFullScale, group.clip);
    }
}

// The master chain (without its limiter), then its limiter, effects gain and
// clip check, at bus scale.
void processMaster(const MixSettings& cfg, MixState& st, int32_t n) {
    const EffectSettings& fx = cfg.fx;
    const SlotSettings& slots = cfg.automation.slots;
    if (fx.masterFxOn == 0 && slots.masterEffects == 0) return;
    BlockBuffers& b = st.buffers;
    const auto frames = static_cast<std::size_t>(n);
    const std::span<double> l(b.workL.data(), frames);
    const std::span<double> r(b.workR.data(), frames);
    loadWork(b, b.masterL, b.masterR, n);
    ChannelState& strip = st.strips[kMasterSlot];
    StripEffects& master = strip.effects;
    master.process(n, l, r);
    runMasterInserts(cfg, st, n);
    if (fx.masterEffectFlag[kFxLim] != 0 && fx.lim[kMasterSlot].on != 0)
        master.limiter.process(n, l, r);
    if (slots.masterEffects != 0) applyEffectsGain(slots.fxGain[kMasterSlot], n, l, r);
    storeWithClipCheck(l, r, b.masterL, b.masterR, n, kBusFullScale, strip.clip);
}

void clearMixBuffers(const MixSettings& cfg, MixState& st, int32_t n) {
    BlockBuffers& b = st.buffers;
    std::fill_n(b.masterL.begin(), n, 0);
    std::fill_n(b.masterR.begin(), n, 0);
    for (int bus = 0; bus < kBusCount; ++bus) {
        if (cfg.routing.busFlags[bus] == 0) continue;
        std::fill_n(b.busL[bus].begin(), n, 0);
        std::fill_n(b.busR[bus].begin(), n, 0);
    }
}

// Bus 0 goes straight into the master; submix buses are metered first.
void sumBuses(const MixSettings& cfg, MixState& st, int32_t n) {
    BlockBuffers& b = st.buffers;
    for (int bus = 0; bus < kBusCount; ++bus) {
        if (cfg.routing.busFlags[bus] == 0) continue;
        const int32_t* l = b.busL[bus].data();
        const int32_t* r = b.busR[bus].data();
        if (bus > 0) {
            ChannelState& group = st.strips[static_cast<std::size_t>(groupSlot(bus))];
            raisePeak(group.peakL, l, n);
            raisePeak(group.peakR, r, n);
        }
        addSaturating(b.masterL.data(), l, n);
        addSaturating(b.masterR.data(), r, n);
    }
}

struct QuarterMarks {
    int64_t first, second, third;
};

void printProgress(const MixSettings& cfg, MixState& st, const QuarterMarks& q, int64_t pos) {
    if (cfg.prefs.verbosity != 2) return;
    int32_t& flag = st.meters.progressFlag;
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

void allocateBlockBuffers(MixState& st) {
    BlockBuffers& b = st.buffers;
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

void runMixLoop(MixSession& session, const StopCheck& stop) {
    // From here on the settings are read only.
    const MixSettings& cfg = session.settings;
    MixState& st = session.state;
    BlockBuffers& b = st.buffers;
    // Buses exist only where routing asked for them; bus 0 always does.
    for (int bus = 0; bus < kBusCount; ++bus)
        if (cfg.routing.busFlags[bus] != 0) {
            b.busL[bus].assign(kFrames, 0);
            b.busR[bus].assign(kFrames, 0);
        }

    for (int slot = 0; slot < kSlotCount; ++slot)
        st.strips[static_cast<std::size_t>(slot)].playing = cfg.tracks.channelOn[slot];
    openInputs(cfg, st);
    for (int slot = 0; slot < kSlotCount; ++slot)
        st.trackListOn[static_cast<std::size_t>(slot)] =
            st.strips[static_cast<std::size_t>(slot)].playing;
    if (cfg.automation.routing.anyVca != 0)
        st.automationState.vcaGains.assign(2 * static_cast<std::size_t>(kVcaSlots) * kFrames, 1.0);
    for (int entry = 0; entry < kStripEntries; ++entry)
        setUpStripEffect(cfg.fx, entry, st.strips[static_cast<std::size_t>(entry)].effects);
    prepareReverbs(cfg, st);
    prepareTapShare(cfg, st);
    std::array<LevelCursor*, kEntrySlots> levels{};
    for (int slot = 0; slot < kEntrySlots; ++slot)
        levels[static_cast<std::size_t>(slot)] = &st.strips[static_cast<std::size_t>(slot)].level;
    prepareAutomation(cfg.automation, st.automationState, levels, cfg.prefs.renderStart,
                      cfg.tracks.channelCount, cfg.fader.startOffset);
    prepareMixViews(cfg, st);

    const int64_t start = cfg.prefs.renderStart;
    const int64_t length = cfg.prefs.renderLength;
    const int64_t end = start + length;
    const QuarterMarks q{start + length / 4, start + length / 2, start + (3 * length) / 4};
    if (cfg.prefs.verbosity > 0) warn("\n");
    if (cfg.prefs.verbosity == 2) warn("Mixing...\n");
    // The reverbs fix their rooms for the first block; one that does not fit
    // ends the run before any block is mixed.
    if (start < end) {
        const SetUpResult rooms = setUpReverbs(cfg, st, blockSizeAt(start, end).length);
        if (!rooms.ok()) stopRun(1, "%s", rooms.message.c_str());
    }

    StripWorkers workers(stripWorkerCount(cfg.prefs.threads), cfg.tracks.channelCount, st);
    std::array<int, kSlotCount> playingNow{}; // channels that take part in a block
    // The strips of the block at `at` start on the workers: its VCA gains
    // first, then the channels still playing that have begun by its end.
    auto startBlock = [&](int64_t at, int parity) {
        const BlockSize size = blockSizeAt(at, end);
        const std::span<double> gains = vcaHalf(st, parity);
        fillVcaGains(cfg, st, at, size.length, gains);
        int count = 0;
        for (int c = 1; c <= cfg.tracks.channelCount; ++c)
            if (st.strips[static_cast<std::size_t>(c)].playing != 0 &&
                cfg.fader.startOffset[c] < at + size.length)
                playingNow[count++] = c;
        workers.startBlock(cfg, std::span<const int>(playingNow.data(), count), at, size.length,
                           size.savePosition, gains);
    };
    int parity = 0;
    if (start < end) startBlock(start, parity);
    for (int64_t pos = start, block = 0; pos < end; ++block) {
        // A stop leaves the files as they are; the caller removes them.
        if (stop.stopsBefore(block)) return;
        // The blocks so far go to the device while the mix goes on, so that
        // the flush once the mix is complete is short.
        for (std::FILE* out : {st.mixStream, st.tapStream})
            if (out != nullptr) toolset::startWriteback(::fileno(out));
        for (const StemStream& stem : st.stems)
            toolset::startWriteback(::fileno(stem.stream));
        const BlockSize size = blockSizeAt(pos, end);
        const int32_t n = size.length;
        const int64_t blockEnd = pos + n;
        const std::span<const double> vcaGains = vcaHalf(st, parity);
        clearMixBuffers(cfg, st, n);
        rotateReverbReturns(cfg, st, n);
        clearReverbSends(cfg, st, n);
        workers.mixBlock(cfg, st);
        observeChannelClips(cfg, st, pos, n);
        observeConsoleStage(cfg, st, ConsoleStage::submixSums, pos, n);
        // The next block's strips run while this one is finished below.
        if (blockEnd < end) {
            parity ^= 1;
            startBlock(blockEnd, parity);
        }
        automateSubmixes(cfg, st, pos, n, vcaGains);
        observeConsoleStage(cfg, st, ConsoleStage::submixFaders, pos, n);
        processSubmixes(cfg, st, n);
        sumBuses(cfg, st, n);
        sendSubmixesToReverbs(cfg, st, n);
        runReverbsInSendMode(cfg, st, n);
        observeConsoleStage(cfg, st, ConsoleStage::masterSum, pos, n);
        automateMaster(cfg, st, pos, n, vcaGains);
        observeConsoleStage(cfg, st, ConsoleStage::masterFader, pos, n);
        processMaster(cfg, st, n);
        writeOutputBlock(cfg, st, pos, n);
        writeTapBlock(cfg, st, n);
        observeOutputBlock(cfg, st, pos, n);
        writeStemBlocks(cfg, st, pos, n);
        printProgress(cfg, st, q, pos);
        pos = blockEnd;
    }

    closeFiles(cfg, st);
    finishMixViews(cfg, st);
    // The passes of --normalize name the file of the last one only.
    if (cfg.prefs.verbosity > 0 && !cfg.prefs.normalizeOn)
        warn("\nDone!  Created the file: %s\n\n", cfg.fader.outputPath.c_str());
}

} // namespace tarvex
