// Loudness, overs and the picture of a mix: set-up, per-block feed, report.
#include "engine/mix_views.h"

#include "core/text_format.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "automation/level_automation.h"
#include "common/staged_file.h"
#include "core/console.h"
#include "core/saturate.h"
#include "core/scales.h"
#include "engine/plot_svg.h"

namespace tarvex {

namespace {

constexpr int32_t kBusHigh = std::numeric_limits<int32_t>::max();
constexpr int32_t kBusLow = std::numeric_limits<int32_t>::min();

// Ticks of a beat in the fader file's tempo mode.
constexpr double kTicksPerBeat = 480.0;
// Loudest true peak the report accepts after a trim to the target.
constexpr double kTruePeakCeiling = -1.0;

std::span<const int32_t> firstN(const std::vector<int32_t>& v, int32_t n) {
    return std::span<const int32_t>(v.data(), static_cast<std::size_t>(n));
}

std::string slotName(int slot) {
    if (slot == kMasterSlot) return "Master";
    if (slot > kMaxChannels) return "Submix " + std::to_string(slot - kMaxChannels);
    return "Channel " + std::to_string(slot);
}

std::string sourceName(const MixSettings& s, int32_t source) {
    if (source >= kOverAtSum) {
        const int bus = source - kOverAtSum;
        return slotName(bus == 0 ? kMasterSlot : groupSlot(bus)) + " at bus sum";
    }
    if (source >= kOverAtFader) {
        const int slot = source - kOverAtFader;
        const int vca = s.automation.routing.vcaAssign[static_cast<std::size_t>(slot)];
        if (slot != kMasterSlot && slot <= kMaxChannels && vca > 0 &&
            s.automation.routing.vcaFlags[static_cast<std::size_t>(vca)] != 0)
            return slotName(slot) + " at fader with VCA " + std::to_string(vca);
        return slotName(slot) + " at fader";
    }
    if (source == kOverOutLeft) return "Out L";
    if (source == kOverOutRight) return "Out R";
    if (source == kOverOutMono) return "Out";
    return slotName(source);
}

// The master's level in force at a song position, in dB; a master without
// level entries passes at unity.
double masterdBAt(const MixSettings& s, int64_t position) {
    const AutomationScript& script = s.automation;
    if (script.slots.masterLevel == 0) return 0.0;
    const PlayedEntries played =
        playedEntries(script.volume, kMasterSlot, playFromOf(s, kMasterSlot));
    // unity reads 0.0, not -0.0
    return levelTodB(playedLevelAt(script.volume, kMasterSlot, played, position)) + 0.0;
}

} // namespace

std::string clockTextOf(int64_t position, uint32_t rate) {
    if (rate == 0) return "0:00.000";
    // In unsigned steps that cannot overflow, also for the far-off times a
    // damaged control file can name: the whole seconds first, then the rest.
    const uint64_t magnitude =
        position < 0 ? 0 - static_cast<uint64_t>(position) : static_cast<uint64_t>(position);
    const uint64_t ms = magnitude / rate * 1000 + magnitude % rate * 1000 / rate;
    char text[48];
    std::snprintf(text, sizeof text, "%s%" PRIu64 ":%02" PRIu64 ".%03" PRIu64,
                  position < 0 ? "-" : "", ms / 60000, ms % 60000 / 1000, ms % 1000);
    return text;
}

std::string cueTextOf(const MixSettings& s, int64_t position) {
    // A far-off time from a damaged file holds at the limits of the type.
    int64_t p = 0;
    if (__builtin_sub_overflow(position, s.prefs.automationOffset, &p))
        p = s.prefs.automationOffset < 0 ? INT64_MAX : INT64_MIN;
    const std::vector<TempoSection>& map = s.automation.tempoMap;
    // A section without beats or bars has no bar and beat to name.
    const bool countable = std::all_of(map.begin(), map.end(), [](const TempoSection& section) {
        return section.beatsPerBar > 0 && section.samplesPerBeat > 0.0;
    });
    if (!s.prefs.tempoMode || map.empty() || !countable) return clockTextOf(p, s.tracks.sampleRate);
    int64_t sectionStart = 0;
    int64_t barsBefore = 0;
    std::size_t k = 0;
    // Sections of a damaged map may reach the 64-bit limits: the sums hold
    // there (at most 128 sections of 2^31 bars, so the bars fit).
    while (k + 1 < map.size() && addPositions(sectionStart, map[k].length) <= p) {
        sectionStart = addPositions(sectionStart, map[k].length);
        barsBefore += map[k].bars;
        ++k;
    }
    const TempoSection& sec = map[k];
    const double beats =
        static_cast<double>(subtractPositions(p, sectionStart)) / sec.samplesPerBeat;
    const double wholeBeats = std::floor(beats);
    const int64_t beatIndex = truncToSamples(wholeBeats);
    const int64_t bar = addPositions(barsBefore + 1, beatIndex / sec.beatsPerBar);
    const int64_t beat = 1 + beatIndex % sec.beatsPerBar;
    const auto tick = static_cast<int64_t>(std::lround((beats - wholeBeats) * kTicksPerBeat));
    char text[64];
    std::snprintf(text, sizeof text, "bar %" PRId64 " beat %" PRId64 " tick %" PRId64, bar, beat,
                  tick);
    return text;
}

int64_t cueBefore(const MixSettings& s, int64_t position) {
    int64_t latest = -1;
    auto scan = [&](const EntryTable& t, int slots, bool vcas) {
        for (int slot = 0; slot < slots; ++slot) {
            const PlayedEntries played =
                playedEntries(t, slot, vcas ? s.prefs.renderStart : playFromOf(s, slot));
            for (int32_t e = 0; e < played.end; ++e) {
                const int64_t time = t.times[t.at(e, slot)];
                if (time <= position && time > latest) latest = time;
            }
        }
    };
    scan(s.automation.volume, kEntrySlots, false);
    scan(s.automation.vca, kVcaSlots, true);
    return latest;
}

int64_t playFromOf(const MixSettings& s, int slot) {
    const int64_t start = s.prefs.renderStart;
    if (slot < 1 || slot > s.tracks.channelCount) return start;
    const int64_t channelStart = s.fader.startOffset[static_cast<std::size_t>(slot)];
    return channelStart != 0 ? std::max(start, channelStart) : start;
}

void prepareMixViews(const MixSettings& cfg, MixState& st) {
    MixViews& w = st.views;
    const PrefsSettings& p = cfg.prefs;
    const OutputSetup& out = cfg.output;
    // --normalize measures every pass, with or without the report's block.
    w.loudnessOn = p.loudnessOn || p.normalizeOn;
    w.oversOn = p.oversOn;
    w.plotOn = !p.plotPath.empty();
    const int32_t outHigh = outputHigh(out.outBits);
    const int32_t outLow = outputLow(out.outBits);

    if (w.loudnessOn) {
        std::string error;
        if (!w.loudness.open(cfg.tracks.sampleRate, out.outChannels, out.outBits, kMaxBlockFrames,
                             error))
            stopRun(1, "Cannot measure the loudness of %s: %s\n", cfg.fader.outputPath.c_str(),
                    error.c_str());
    }
    if (w.oversOn) {
        w.overs.reserve(kOversKept);
        w.outputRuns[0] = {out.outChannels == 2 ? kOverOutLeft : kOverOutMono, outHigh, outLow};
        w.outputRuns[1] = {kOverOutRight, outHigh, outLow};
        // Stereo dither is added to the master in place after its clip
        // check, so a clipped master sample can sit up to the noise's reach
        // inside the limits.
        const int32_t reach = out.outChannels == 2 && out.ditherBits != 0
                                  ? out.ditherOffset * outputStep(out.outBits)
                                  : 0;
        w.busRuns[0] = {kMasterSlot, kBusHigh - reach, kBusLow + reach};
        for (int k = 1; k <= kSubmixCount; ++k)
            w.busRuns[static_cast<std::size_t>(k)] = {groupSlot(k), kBusHigh, kBusLow};
        for (int slot = 0; slot < kSlotCount; ++slot)
            w.clipSeen[static_cast<std::size_t>(slot)] =
                st.strips[static_cast<std::size_t>(slot)].clip;
        for (int slot = 0; slot < kSlotCount; ++slot)
            w.faderRuns[static_cast<std::size_t>(slot)] = {kOverAtFader + slot, kBusHigh, kBusLow};
        for (int bus = 0; bus <= kSubmixCount; ++bus)
            w.sumRuns[static_cast<std::size_t>(bus)] = {kOverAtSum + bus, kBusHigh, kBusLow};
    }
    if (w.plotOn) w.envelope.reset(p.renderStart, p.renderLength, out.outChannels);
}

void observeOutputBlock(const MixSettings& cfg, MixState& st, int64_t pos, int32_t n) {
    MixViews& w = st.views;
    if (n <= 0 || !(w.loudnessOn || w.oversOn || w.plotOn)) return;
    const BlockBuffers& b = st.buffers;
    const bool stereo = cfg.output.outChannels == 2;
    const std::span<const int32_t> left = firstN(b.stageL, n);
    const std::span<const int32_t> right = stereo ? firstN(b.stageR, n) : left;

    if (w.loudnessOn) w.loudness.addBlock(left, right, n);
    if (w.plotOn) {
        const int32_t high = outputHigh(cfg.output.outBits);
        const int32_t low = outputLow(cfg.output.outBits);
        w.envelope.add(0, left, pos, n, high, low);
        if (stereo) w.envelope.add(1, right, pos, n, high, low);
    }
    if (!w.oversOn) return;
    w.outputRuns[0].scan(left, left, pos, n, w.overs);
    if (stereo) w.outputRuns[1].scan(right, right, pos, n, w.overs);
    auto clipOf = [&](int slot) { return st.strips[static_cast<std::size_t>(slot)].clip; };
    // Submixes and the master keep their saturated samples until the next
    // block, so their stretches are exact.
    for (int k = 1; k <= kSubmixCount; ++k)
        if (clipOf(groupSlot(k)) != 0 && !b.busL[k].empty())
            w.busRuns[k].scan(firstN(b.busL[k], n), firstN(b.busR[k], n), pos, n, w.overs);
    if (clipOf(kMasterSlot) != 0)
        w.busRuns[0].scan(firstN(b.masterL, n), firstN(b.masterR, n), pos, n, w.overs);
    // Only the master and submix flags: the channels' are read apart, while
    // no strip is running.
    w.clipSeen[kMasterSlot] = clipOf(kMasterSlot);
    for (int k = 1; k <= kSubmixCount; ++k)
        w.clipSeen[groupSlot(k)] = clipOf(groupSlot(k));
}

void observeChannelClips(const MixSettings& cfg, MixState& st, int64_t pos, int32_t n) {
    MixViews& w = st.views;
    if (n <= 0 || !w.oversOn) return;
    // A channel's clip check runs inside its strip: what is known is the
    // block in which its flag went up.
    for (int c = 1; c <= cfg.tracks.channelCount; ++c)
        if (st.strips[static_cast<std::size_t>(c)].clip != 0 && w.clipSeen[c] == 0) {
            w.overs.add({c, pos, n, true});
            w.clipSeen[c] = 1;
        }
}

void observeConsoleStage(const MixSettings& cfg, MixState& st, ConsoleStage stage, int64_t pos,
                         int32_t n) {
    MixViews& w = st.views;
    if (n <= 0 || !w.oversOn) return;
    const BlockBuffers& b = st.buffers;
    switch (stage) {
    case ConsoleStage::submixSums:
    case ConsoleStage::submixFaders:
        for (int k = 1; k <= kSubmixCount; ++k) {
            if (cfg.routing.busFlags[static_cast<std::size_t>(k)] == 0 || b.busL[k].empty())
                continue;
            // A submix without level entries leaves its fader as it came.
            const int slot = groupSlot(k);
            if (stage == ConsoleStage::submixFaders &&
                cfg.automation.slots.groupLevel[static_cast<std::size_t>(slot)] == 0)
                continue;
            FullScaleRuns& runs = stage == ConsoleStage::submixSums
                                      ? w.sumRuns[static_cast<std::size_t>(k)]
                                      : w.faderRuns[static_cast<std::size_t>(slot)];
            runs.scan(firstN(b.busL[k], n), firstN(b.busR[k], n), pos, n, w.overs);
        }
        break;
    case ConsoleStage::masterSum:
        w.sumRuns[0].scan(firstN(b.masterL, n), firstN(b.masterR, n), pos, n, w.overs);
        break;
    case ConsoleStage::masterFader:
        if (cfg.automation.slots.masterLevel != 0)
            w.faderRuns[kMasterSlot].scan(firstN(b.masterL, n), firstN(b.masterR, n), pos, n,
                                          w.overs);
        break;
    }
}

void observeChannelFader(MixState& st, const StripOutput& strip, int c, int64_t pos, int32_t n) {
    MixViews& w = st.views;
    if (n <= 0 || !w.oversOn) return;
    w.faderRuns[static_cast<std::size_t>(c)].scan(firstN(strip.left, n), firstN(strip.right, n),
                                                  pos, n, w.overs);
}

void finishMixViews(const MixSettings& cfg, MixState& st) {
    MixViews& w = st.views;
    if (w.loudnessOn) w.loudnessResult = w.loudness.result();
    if (w.oversOn) {
        for (FullScaleRuns& r : w.outputRuns)
            r.finish(w.overs);
        for (FullScaleRuns& r : w.busRuns)
            r.finish(w.overs);
        for (FullScaleRuns& r : w.faderRuns)
            r.finish(w.overs);
        for (FullScaleRuns& r : w.sumRuns)
            r.finish(w.overs);
        std::stable_sort(
            w.overs.stretches.begin(), w.overs.stretches.end(),
            [](const FullScaleStretch& a, const FullScaleStretch& b) { return a.start < b.start; });
    }
    if (!w.plotOn) return;
    const std::string& path = cfg.prefs.plotPath;
    const std::string svg = plotSvg(cfg, st);
    // Written under its temporary name; the run puts it in place.
    if (const int error = toolset::writeStaged(path, svg); error != 0)
        stopRun(1, "Could not write the plot %s: %s\n", path.c_str(), std::strerror(error));
    // The passes of --normalize name the plot of the last one only.
    if (cfg.prefs.verbosity > 0 && !cfg.prefs.normalizeOn)
        warn("Wrote the plot %s\n", path.c_str());
}

std::string mixViewsReport(const MixSession& s) {
    const MixViews& w = s.state.views;
    std::string text;
    if (s.settings.prefs.loudnessOn) {
        const LoudnessResult& r = w.loudnessResult;
        text += "\nLoudness of the output (EBU R128)\n";
        appendf(text, "Integrated\t%.1f LUFS\n", r.integrated);
        appendf(text, "Range\t\t%.1f LU\n", r.range);
        appendf(text, "Momentary max\t%.1f LUFS\n", r.momentaryMax);
        appendf(text, "Short-term max\t%.1f LUFS\n", r.shortTermMax);
        if (s.settings.output.outChannels == 2)
            appendf(text, "True peak\tL  %.2f dBTP\tR  %.2f dBTP\n", r.truePeakL, r.truePeakR);
        else
            appendf(text, "True peak\t%.2f dBTP\n", r.truePeakL);
        if (s.settings.prefs.loudnessTargetSet) {
            const double target = s.settings.prefs.loudnessTarget;
            if (!std::isfinite(r.integrated)) {
                appendf(text,
                        "Target\t\t%.1f LUFS: the output is too quiet or too short to "
                        "measure; no mtrim change.\n",
                        target);
            } else {
                const double change = target - r.integrated;
                appendf(text, "Target\t\t%.1f LUFS: change mtrim by %+.1f dB\n", target, change);
                const double peak = std::max(r.truePeakL, r.truePeakR) + change;
                if (peak > kTruePeakCeiling)
                    appendf(text,
                            "Warning: the true peak would then reach %+.2f dBTP, above %.0f "
                            "dBTP.\n",
                            peak, kTruePeakCeiling);
            }
        }
    }
    text += s.normalizeReport;
    if (w.oversOn) {
        const uint32_t rate = s.settings.tracks.sampleRate;
        if (w.overs.stretches.empty()) {
            text += "\nOvers: none\n";
        } else {
            text += "\nOvers (time, sample, length, the cue before it)\n";
            for (const FullScaleStretch& o : w.overs.stretches) {
                const int64_t cue = cueBefore(s.settings, o.start);
                const std::string cueText =
                    cue < 0 ? std::string("none") : "t " + cueTextOf(s.settings, cue);
                const double master = masterdBAt(s.settings, o.start);
                if (o.blockOnly)
                    appendf(text,
                            "%s\t%s\tsample %" PRId64 "\tclips in this block of %" PRId64
                            " samples\tcue %s\tmaster %.1f dB\n",
                            sourceName(s.settings, o.source).c_str(),
                            clockTextOf(o.start, rate).c_str(), o.start, o.length, cueText.c_str(),
                            master);
                else
                    appendf(text,
                            "%s\t%s\tsample %" PRId64 "\t%" PRId64
                            " samples\tcue %s\tmaster %.1f dB\n",
                            sourceName(s.settings, o.source).c_str(),
                            clockTextOf(o.start, rate).c_str(), o.start, o.length, cueText.c_str(),
                            master);
            }
            if (w.overs.dropped > 0) appendf(text, "... and %" PRId64 " more\n", w.overs.dropped);
        }
    }
    return text;
}

} // namespace tarvex
