// The render plan of a check.
#include "driver/check_plan.h"
#include "core/scales.h"
#include "driver/output_guard.h"

#include "core/text_format.h"

#include "effects/strip_effects.h"
#include "engine/reverb_stage.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <memory>

#include "core/console.h"
#include "driver/stem_plan.h"
#include "driver/time_entries.h"
#include "engine/report.h"

namespace tarvex {

namespace {

// Unity comes back from the level tables a hair below 0 dB; it prints as 0.00, not -0.00.
double tidyDb(double dB) {
    return std::fabs(dB) < 0.005 ? 0.0 : dB;
}

double ratioTodB(double ratio) {
    return ratio > 0.0 ? tidyDb(20.0 * std::log10(ratio)) : kFloorDb;
}

std::string stripName(int entry) {
    if (entry == kMasterSlot) return "M";
    if (entry > kMaxChannels) return "G " + std::to_string(entry - kMaxChannels);
    return std::to_string(entry);
}

double seconds(int64_t samples, uint32_t rate) {
    return rate != 0 ? static_cast<double>(samples) / static_cast<double>(rate) : 0.0;
}

void appendChannels(std::string& text, const MixSession& s,
                    const std::array<int32_t, kSlotCount>& listedOn) {
    const TrackTable& t = s.settings.tracks;
    text += "\nChannels (file, format, length, start):\n";
    for (int c = 1; c <= t.channelCount; ++c) {
        const std::string& name = t.trackNames[static_cast<std::size_t>(c) - 1];
        appendf(text, "  %-4d %s: ", c, name.c_str());
        if (listedOn[c] == 0) {
            text += "off in the track list\n";
            continue;
        }
        if (t.wavOk[c] == 0) {
            text += "off, the file was not accepted\n";
            continue;
        }
        appendf(text, "%d-bit %s %s, %u Hz, %lld frames (%.3f s), starts at sample %lld",
                t.wavBits[c], t.wavBits[c] == 32 ? "float" : "PCM",
                t.wavChannels[c] == 1 ? "mono" : "stereo", t.wavRate[c],
                static_cast<long long>(t.wavFrames[c]), seconds(t.wavFrames[c], t.wavRate[c]),
                static_cast<long long>(s.settings.fader.startOffset[c]));
        text += t.channelOn[c] != 0 ? "\n" : "; off, it feeds no bus in use\n";
    }
}

void appendEntries(std::string& text, const EntryTable& table, int slot, const std::string& name,
                   uint32_t rate) {
    for (int32_t n = 0; n < table.count[slot]; ++n) {
        const std::size_t at = table.at(n, slot);
        appendf(text, "  %-5s sample %-10lld %8.2f dB", name.c_str(),
                static_cast<long long>(table.times[at]), tidyDb(levelTodB(table.levels[at])));
        if (table.ramps[at] != 0)
            appendf(text, "  ramp %lld (%.3f s)", static_cast<long long>(table.ramps[at]),
                    seconds(table.ramps[at], rate));
        if (table.shapes[at] != 1.0f)
            appendf(text, "  shape %.3g", static_cast<double>(table.shapes[at]));
        text += "\n";
    }
}

void appendCues(std::string& text, const MixSession& s) {
    const AutomationScript& au = s.settings.automation;
    const uint32_t rate = s.settings.tracks.sampleRate;
    text += "\nLevel cues (song sample, level, ramp in samples):\n";
    bool any = false;
    auto slot = [&](int k) {
        if (au.volume.count[k] == 0) return;
        any = true;
        appendEntries(text, au.volume, k, stripName(k), rate);
    };
    for (int c = 1; c <= s.settings.tracks.channelCount; ++c)
        slot(c);
    for (int k = 1; k <= kSubmixCount; ++k)
        slot(groupSlot(k));
    slot(kMasterSlot);
    for (int v = 1; v < kVcaSlots; ++v)
        if (au.vca.count[v] != 0) {
            any = true;
            appendEntries(text, au.vca, v, "VCA " + std::to_string(v), rate);
        }
    if (!any) text += "  none: every channel stays silent\n";
}

std::string channelList(const MixSession& s, auto&& member) {
    std::string list;
    for (int c = 1; c <= s.settings.tracks.channelCount; ++c)
        if (member(c)) list += (list.empty() ? "" : ", ") + std::to_string(c);
    return list.empty() ? "none" : list;
}

void appendRouting(std::string& text, const MixSession& s) {
    const RoutingTable& r = s.settings.routing;
    const PanRouting& pr = s.settings.automation.routing;
    const SlotSettings& slots = s.settings.automation.slots;
    text += "\nRouting:\n";
    for (int bus = 0; bus < kBusCount; ++bus) {
        const std::string list = channelList(s, [&](int c) { return r.route[c][bus] != 0; });
        if (bus != 0 && list == "none" && r.busFlags[bus] == 0) continue;
        if (bus == 0)
            text += "  direct to the master: ";
        else
            appendf(text, "  submix %d: ", bus);
        text += list;
        if (r.busFlags[bus] == 0) text += bus == 0 ? " (off: a submix is solo)" : " (muted)";
        if (bus != 0 && pr.soloFlags[bus] != 0) text += " (solo)";
        text += "\n";
    }
    for (int v = 1; v < kVcaSlots; ++v)
        if (pr.vcaFlags[v] != 0)
            appendf(text, "  VCA %d: %s\n", v,
                    channelList(s, [&](int c) { return pr.vcaAssign[c] == v; }).c_str());
    appendf(text, "  pan law %.2f dB%s\n", static_cast<double>(pr.panLaw),
            pr.panLaw == 0.0f ? " (delay pan for mono channels)" : "");
    for (int k = 0; k < kEntrySlots - 1; ++k) {
        if (k > s.settings.tracks.channelCount && k <= kMaxChannels) continue;
        std::string line;
        if (slots.pan[k] != 0) appendf(line, " pan %+d", slots.pan[k]);
        if (pr.delayPanned[k] != 0)
            appendf(line, " delay pan %+d, far side %d samples late", pr.delayPanPan[k],
                    std::abs(pr.delay[k]));
        if (slots.polarity[k] == -1) line += " polarity inverted";
        if (slots.fxGain[k] != 1.0)
            appendf(line, " effects gain %+.2f dB", ratioTodB(slots.fxGain[k]));
        if (!line.empty()) appendf(text, "  %-5s%s\n", stripName(k).c_str(), line.c_str());
    }
}

// One strip's effects in the order they run: by chain position, then in the
// fixed order within a position.
void appendStrip(std::string& text, const MixSession& s, int e, double rate) {
    const EffectSettings& fx = s.settings.fx;
    std::string lines;
    auto runs = [&](int code) {
        return e != kMasterSlot || fx.masterEffectFlag[static_cast<std::size_t>(code)] != 0;
    };
    for (int position = 1; position <= kChainPositions; ++position)
        for (int code = 0; code < kChainEffects; ++code) {
            const EffectKind& kind = kEffectKinds[static_cast<std::size_t>(code)];
            if (fx.fxOrder[static_cast<std::size_t>(code)][e] != position || !runs(code) ||
                !kind.isOn(fx, e))
                continue;
            std::string line;
            kind.describe(line, fx, e, rate);
            appendf(lines, "  %-5s %d: %s\n", stripName(e).c_str(), position, line.c_str());
        }
    if (fx.revSendOn[e] != 0 && runs(kFxRev))
        appendf(lines, "  %-5s send to the room reverb %.2f dB%s\n", stripName(e).c_str(),
                ratioTodB(fx.revSend[e]), e == kMasterSlot ? " (master insert)" : "");
    if (fx.trevSendOn[e] != 0 && runs(kFxTrev))
        appendf(lines, "  %-5s send to the tap reverb %.2f dB%s\n", stripName(e).c_str(),
                ratioTodB(fx.trevSend[e]), e == kMasterSlot ? " (master insert)" : "");
    if (e > kMaxChannels && !lines.empty() && fx.submixFxOn[e - kMaxChannels] == 0 &&
        lines.find(" send ") == std::string::npos)
        lines += "        (the submix runs no effects)\n";
    text += lines;
}

void appendEffects(std::string& text, const MixSession& s) {
    const EffectSettings& fx = s.settings.fx;
    const double rate = rateOrFallback(s.settings.tracks.sampleRate);
    text += "\nEffects (strip, chain position: effect):\n";
    const std::size_t before = text.size();
    for (int c = 1; c <= s.settings.tracks.channelCount; ++c)
        appendStrip(text, s, c, rate);
    for (int k = 1; k <= kSubmixCount; ++k)
        appendStrip(text, s, groupSlot(k), rate);
    if (fx.masterFxOn != 0) appendStrip(text, s, kMasterSlot, rate);
    if (fx.rtnOn != 0)
        appendf(text, "  room reverb return %.2f dB, room %.1f ft\n", ratioTodB(fx.rtnLevel),
                static_cast<double>(fx.rtnSize));
    if (fx.trtnOn != 0)
        appendf(text, "  tap reverb return %.2f dB, room %.1f ft, %d taps\n",
                ratioTodB(fx.trtnLevel), static_cast<double>(fx.trtnSize), fx.trtnTaps);
    if (fx.recursiveActive != 0 || fx.tapActive != 0) {
        appendf(text, "  reverb position %.0f %.0f %.0f %%, width %.0f\n",
                static_cast<double>(fx.revPos[0]), static_cast<double>(fx.revPos[1]),
                static_cast<double>(fx.revPos[2]), static_cast<double>(fx.revWidth));
        if (fx.revHighPass.on != 0)
            appendf(text, "  reverb input high-pass %.1f Hz\n", fx.revHighPass.corner);
        if (fx.revLowPass.on != 0)
            appendf(text, "  reverb input low-pass %.1f Hz\n", fx.revLowPass.corner);
    }
    if (text.size() == before) text += "  none\n";
}

// Whether a file could be created (or replaced) at `path`, as fopen "wb"
// would need: write access to it, or to its directory when it is missing.
bool canCreate(const std::string& path, int& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path p(path);
    const bool exists = fs::exists(p, ec);
    std::string target = path;
    int mode = W_OK;
    if (!exists) {
        target = p.has_parent_path() ? p.parent_path().string() : std::string(".");
        mode = W_OK | X_OK;
    } else if (fs::is_directory(p, ec)) {
        error = EISDIR;
        return false;
    }
    if (::access(target.c_str(), mode) == 0) return true;
    error = errno;
    return false;
}

} // namespace

std::string renderPlanText(const MixSession& s, const std::array<int32_t, kSlotCount>& listedOn) {
    const PrefsSettings& p = s.settings.prefs;
    const OutputSetup& out = s.settings.output;
    const uint32_t rate = s.settings.tracks.sampleRate;
    std::string text = "\nPlan of the render\n";
    appendf(text, "Control files: %s, %s, %s\n", s.settings.tracks.tracksPath.c_str(),
            s.settings.tracks.fadersPath.c_str(), s.settings.tracks.prefsPath.c_str());
    appendf(text, "Sample rate %u Hz; song %lld samples (%.3f s)\n", rate,
            static_cast<long long>(s.settings.tracks.songLength),
            seconds(s.settings.tracks.songLength, rate));
    appendf(text, "Output %s: %d-bit %s, samples %lld to %lld (%lld frames, %.3f s)%s\n",
            s.settings.fader.outputPath.c_str(), out.outBits,
            out.outChannels == 1 ? "mono" : "stereo", static_cast<long long>(p.renderStart),
            static_cast<long long>(p.renderStart + p.renderLength),
            static_cast<long long>(p.renderLength), seconds(p.renderLength, rate),
            p.previewMode ? ", preview" : "");
    if (out.outChannels == 1) appendf(text, "Mono fold gain %.2f dB\n", ratioTodB(out.monoGain));
    if (out.ditherBits == 0)
        text += "Dither off\n";
    else if (p.ditherSeedSet)
        appendf(text, "Dither %d bit%s, seed %u\n", out.ditherBits, out.ditherBits == 1 ? "" : "s",
                p.ditherSeed);
    else
        appendf(text, "Dither %d bit%s, seeded from the clock\n", out.ditherBits,
                out.ditherBits == 1 ? "" : "s");
    if (!out.tapPath.empty()) appendf(text, "Tap file %s: 24-bit stereo\n", out.tapPath.c_str());
    for (const StemFile& stem : out.stems)
        appendf(text, "Stem %s: %s\n", stem.path.c_str(), stemContentOf(stem).c_str());
    if (p.stemsOn && reverbIsMasterInsert(s.settings.fx))
        text += "No reverb stem: a reverb that is a master insert is part of the master\n";
    appendf(text, "Report %s, fader copy %s\n", statsPathOf(s).c_str(), faderCopyPathOf(s).c_str());
    if (p.normalizeOn)
        appendf(text,
                "Normalize to %.1f LUFS: up to four renders, each moving mtrim by what the "
                "one before missed\n",
                p.normalizeTarget);
    if (p.threads == 0)
        text += "Channel-strip workers: one per core\n";
    else
        appendf(text, "Channel-strip workers: %d\n", p.threads);
    if (p.automationOffset != 0)
        appendf(text, "Automation offset %lld samples\n",
                static_cast<long long>(p.automationOffset));
    appendChannels(text, s, listedOn);
    appendCues(text, s);
    appendRouting(text, s);
    appendEffects(text, s);
    text += "\n";
    return text;
}

void checkReverbRooms(const MixSession& s) {
    const int64_t length = std::min<int64_t>(s.settings.prefs.renderLength, kMaxBlockFrames);
    if (length <= 0) return;
    // The render's own set-up for its first block, on reverbs of its own.
    const double rate = rateOrFallback(s.settings.tracks.sampleRate);
    const auto reverbs = std::make_unique<ReverbEffects>();
    const SetUpResult result =
        setUpReverbs(s.settings.fx, rate, static_cast<int32_t>(length), *reverbs);
    if (!result.ok()) stopRun(1, "%s", result.message.c_str());
}

void probeOutputFiles(const MixSession& s) {
    int error = 0;
    if (!canCreate(s.settings.fader.outputPath, error))
        stopRun(1, "Could not create the mix file %s: %s\n", s.settings.fader.outputPath.c_str(),
                std::strerror(error));
    if (!s.settings.output.tapPath.empty() && !canCreate(s.settings.output.tapPath, error))
        stopRun(1, "Could not create the tap file %s: %s\n", s.settings.output.tapPath.c_str(),
                std::strerror(error));
    // The files written after the last block: found out now, before anything
    // is written, instead of after a whole render.
    const NamedPath later[] = {{"statistics report", statsPathOf(s)},
                               {"fader copy", faderCopyPathOf(s)},
                               {"plot", s.settings.prefs.plotPath,
                                "choose another file for --plot (or plot in prefs.txt)"}};
    for (const StemFile& stem : s.settings.output.stems)
        if (!canCreate(stem.path, error))
            stopRun(1, "Could not create the stem %s: %s\n", stem.path.c_str(),
                    std::strerror(error));
    for (const NamedPath& out : later)
        if (!out.path.empty() && !canCreate(out.path, error))
            stopRun(1, "Could not create the %s %s: %s; %s.\nNothing was written.\n",
                    out.what.c_str(), out.path.c_str(), std::strerror(error), out.advice.c_str());
}

} // namespace tarvex
