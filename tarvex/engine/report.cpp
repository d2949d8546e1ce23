// Statistics report and fader copy.
#include "engine/report.h"

#include "core/text_format.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "automation/decibels.h"
#include "common/staged_file.h"
#include "core/console.h"
#include "core/scales.h"
#include "engine/mix_views.h"

namespace tarvex {

namespace {

double dbOf(double raw, double ref) {
    return rawToDb(raw, ref, kFloorDb);
}

// An average over no interval at all (silence, or a render shorter than a
// tenth of a second) reads as the floor.
double rmsDbOf(float sum, float count) {
    if (count == 0.0f) return kFloorDb;
    return dbOf(static_cast<double>(sum / count), kChannelFullScale);
}

// The file is written under its temporary name; the run puts it in place.
bool writeFile(const std::string& path, const std::string& text) {
    const int error = toolset::writeStaged(path, text);
    if (error != 0) warn("Could not write %s: %s\n", path.c_str(), std::strerror(error));
    return error == 0;
}

std::string backupPrefix(const MixSession& s) {
    return s.settings.prefs.backupDirSet ? s.settings.prefs.backupDir : std::string();
}

} // namespace

void songTimeOf(int64_t position, uint32_t rate, float& minutes, float& seconds) {
    const float at = static_cast<float>(position) / (static_cast<float>(rate) * 60.0f);
    minutes = std::floor(at);
    seconds = (at - minutes) * 60.0f;
}

std::string statsPathOf(const MixSession& s) {
    return backupPrefix(s) + "stats_" + s.settings.fader.mixName + ".txt";
}

std::string faderCopyPathOf(const MixSession& s) {
    return backupPrefix(s) + "faders_" + s.settings.fader.mixName + ".txt";
}

std::string reportText(const MixSession& s) {
    const MixMeters& m = s.state.meters;
    std::string text = "Peaks (dB):\n\n";
    for (int c = 1; c <= s.settings.tracks.channelCount; ++c) {
        const ChannelState& ch = s.state.strips[static_cast<std::size_t>(c)];
        const double l = dbOf(ch.peakL, kBusFullScale);
        const double r = dbOf(ch.peakR, kBusFullScale);
        if (s.state.trackListOn[c] != 0) {
            const std::string& name = s.settings.tracks.trackNames[static_cast<std::size_t>(c) - 1];
            const std::string cut = name.substr(0, name.find('.'));
            appendf(text, "Ch %i\tL  %.2f\tR  %.2f\t%s", c, l, r, cut.c_str());
        }
        if (l > 0.0 || r > 0.0) text += "Channel Over!";
        text += "\n";
    }
    const struct {
        bool present;
        int entry;
        const char* format;
        const char* over;
    } sends[] = {
        {s.settings.fx.rtnOn != 0 || s.settings.fx.revInsert != 0, kRecursiveSendPeak,
         "\nRev\tL  %.2f\tR  %.2f\t(send)", "Reverb Over!"},
        {s.settings.fx.trtnOn != 0 || s.settings.fx.trevInsert != 0, kTapSendPeak,
         "\nTrev\tL  %.2f\tR  %.2f\t(send)", "Tap Reverb Over!"},
    };
    for (const auto& send : sends) {
        if (!send.present) continue;
        const auto at = static_cast<std::size_t>(send.entry - kSlotCount);
        const double l = dbOf(m.sendPeakL[at], kBusFullScale);
        const double r = dbOf(m.sendPeakR[at], kBusFullScale);
        appendf(text, send.format, l, r);
        if (l > 0.0 || r > 0.0) text += send.over;
        text += "\n";
    }
    for (int k = 1; k <= kSubmixCount; ++k) {
        if (s.settings.routing.busFlags[k] == 0) continue;
        const ChannelState& group = s.state.strips[static_cast<std::size_t>(groupSlot(k))];
        const double l = dbOf(group.peakL, kBusFullScale);
        const double r = dbOf(group.peakR, kBusFullScale);
        appendf(text, "\nSub %i\tL  %.2f\tR  %.2f", k, l, r);
        if (l > 0.0 || r > 0.0) text += "Submix Over!";
        text += "\n";
    }
    const double rmsL = rmsDbOf(m.rms.sumL, m.rms.countL);
    const double rmsR = rmsDbOf(m.rms.sumR, m.rms.countR);
    appendf(text, "\nRMS\tL  %.2f\tR  %.2f\t(average)", rmsL, rmsR);
    if (rmsL > 0.0 || rmsR > 0.0) text += "RMS Over!";
    text += "\n";

    const double outRef = outputFullScale(s.settings.output.outBits);
    const uint32_t rate = s.settings.tracks.sampleRate;
    float minutes = 0.0f, seconds = 0.0f;
    const double outL = dbOf(m.outPeakL, outRef);
    songTimeOf(m.outPeakPosL, rate, minutes, seconds);
    appendf(text, "\nPeak Out L = %.2lf dB at %.0f min : %.3f sec", outL,
            static_cast<double>(minutes), static_cast<double>(seconds));
    if (outL > 0.0) text += "Main Out Left Over!";
    text += "\n";
    const double outR = dbOf(m.outPeakR, outRef);
    songTimeOf(m.outPeakPosR, rate, minutes, seconds);
    appendf(text, "Peak Out R = %.2lf dB at %.0f min : %.3f sec", outR,
            static_cast<double>(minutes), static_cast<double>(seconds));
    if (outR > 0.0) text += "Main Out Right Over";
    text += "\n";

    auto clipped = [&](int slot) {
        return s.state.strips[static_cast<std::size_t>(slot)].clip != 0;
    };
    for (int c = 1; c <= kMaxChannels; ++c)
        if (clipped(c)) appendf(text, "Channel %i is clipping after effects processing!\n", c);
    for (int k = 1; k <= kSubmixCount; ++k)
        if (clipped(groupSlot(k)))
            appendf(text, "Submix %i is clipping after effects processing!\n", k);
    if (clipped(kMasterSlot)) text += "Master channel is clipping after effects processing!\n";
    const std::vector<StemFile>& stems = s.settings.output.stems;
    if (!stems.empty())
        text += "\nStems: what each adds to the master, before the master's fader and effects\n";
    for (std::size_t i = 0; i < stems.size() && i < s.state.stems.size(); ++i) {
        const StemStream& stem = s.state.stems[i];
        const double l = dbOf(stem.peakL, outRef);
        const double r = dbOf(stem.peakR, outRef);
        appendf(text, "Stem\tL  %.2f\tR  %.2f\t%s", l, r, stems[i].path.c_str());
        if (l > 0.0 || r > 0.0) text += "\tStem Over!";
        text += "\n";
    }
    if (s.settings.prefs.stemsOn && (s.settings.fx.revInsert != 0 || s.settings.fx.trevInsert != 0))
        text += "No reverb stem: a reverb that is a master insert is part of the master\n";
    // Only a fixed seed is named: a render with it can be made again exactly.
    if (s.settings.prefs.ditherSeedSet)
        appendf(text, "Dither seed = %u\n", s.settings.prefs.ditherSeed);
    text += "\n";
    return text;
}

bool writeReportFiles(const MixSession& s) {
    std::string text = reportText(s);
    // The processor clock is 32 bits on the board: unsigned arithmetic keeps
    // the difference right across one wrap of the counter.
    const auto ticks =
        static_cast<unsigned long>(std::clock()) - static_cast<unsigned long>(s.startClock);
    const double t = static_cast<double>(ticks) / 1000000.0;
    if (s.settings.prefs.verbosity >= 1) warn("%s", text.c_str());
    appendf(text, "Processing time = %.2lf sec\n", t);
    if (s.settings.prefs.verbosity >= 3) warn("\nProcessing time = %.2lf sec\n", t);
    // The optional loudness and overs blocks follow the report's last line.
    const std::string views = mixViewsReport(s);
    if (s.settings.prefs.verbosity >= 1) warn("%s", views.c_str());
    text += views;
    const bool statsOk = writeFile(statsPathOf(s), text);
    const bool copyOk = writeFile(faderCopyPathOf(s), s.settings.fader.faderText);
    return statsOk && copyOk;
}

} // namespace tarvex
