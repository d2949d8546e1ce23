// The run driver: preferences, track list, fader file, WAV headers, render
// window and output header, routing and automation set-up, the mix loop and
// the reports, in that order.
#include "driver/run_sequence.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>

#include "audio/wav_input.h"
#include "audio/wav_output.h"
#include "core/console.h"
#include "driver/effect_lines.h"
#include "driver/fader_file.h"
#include "driver/output_guard.h"
#include "driver/preferences.h"
#include "driver/routing_lines.h"
#include "driver/tempo_map.h"
#include "driver/time_entries.h"
#include "driver/track_list.h"
#include "engine/mix_loop.h"
#include "engine/output_stage.h"
#include "engine/report.h"
#include "engine/reverb_stage.h"
#include "session/mix_session.h"

namespace tarvex {

const char* const kBanner = "Tarvex version 1.164 (w20e) -- offline multitrack mixdown\n"
                            "Renders a mix of WAV tracks from a plain-text mix script.\n";

namespace {

void readCommandLine(MixSession& s, const std::vector<std::string>& args) {
    if (args.size() >= 1) s.tracks.tracksPath = args[0];
    if (args.size() >= 2) s.tracks.fadersPath = args[1];
    if (args.size() >= 3) s.tracks.prefsPath = args[2];
}

void readWavHeaders(MixSession& s) {
    TrackTable& t = s.tracks;
    for (int c = 1; c <= t.channelCount; ++c) {
        if (t.channelOn[c] == 0) continue;
        t.wavOk[c] = GET_ATTRIBUTES(c, wavPathOf(s, c), t.wavChannels, t.wavDataOffset, t.wavRate,
                                    t.wavFrames, t.wavBytes, t.wavBits);
        if (t.wavOk[c] == 0) t.channelOn[c] = 0;
    }
    if (s.prefs.verbosity == 2) warn("Read file headers.\n");
}

// All channels that are on must share the rate of the first one.
void checkSampleRates(MixSession& s) {
    TrackTable& t = s.tracks;
    bool first = true;
    for (int c = 1; c <= t.channelCount; ++c) {
        if (t.channelOn[c] == 0) continue;
        if (first) {
            t.sampleRate = t.wavRate[c];
            first = false;
        } else if (t.wavRate[c] != t.sampleRate) {
            stopRun(1,
                    "The sample rate appears to be %lu\nThe file assigned to channel %i has a "
                    "different rate!\n",
                    static_cast<unsigned long>(t.sampleRate), c);
        }
    }
}

void setUpOutput(MixSession& s) {
    OutputSetup& out = s.output;
    out.outBits = s.prefs.outBits;
    out.outChannels = s.prefs.monoOut ? 1 : 2;
    out.monoGain = s.prefs.monoOut ? s.prefs.monoGain : 1.0;
    out.ditherBits = s.prefs.ditherBits;
    out.ditherOffset = ditherOffsetFor(out.ditherBits);
    out.ditherRange = ditherRangeFor(out.ditherBits);

    refuseOutputsOverInputs({{"mix file", s.fader.outputPath},
                             {"statistics report", statsPathOf(s)},
                             {"fader copy", faderCopyPathOf(s)}},
                            inputPathsOf(s));
    const int64_t frames = s.prefs.renderLength;
    if (!dataSizeFits(out.outChannels, static_cast<uint32_t>(out.outBits), frames))
        stopRun(2,
                "The render window of %lld frames is too long for one WAV file (its data "
                "would pass 4 GiB); shorten it with xin, xout, head, tail or a preview.\n",
                static_cast<long long>(frames));
}

// The headers of the mix and of the tap file, once the effect settings have
// said whether there is a tap file; nothing is written before every output
// has been checked against the inputs.
void writeOutputHeaders(MixSession& s) {
    OutputSetup& out = s.output;
    const int32_t frames = static_cast<int32_t>(s.prefs.renderLength);
    out.tapPath = tapPathFor(s.fx.tapMode, s.prefs);
    if (!out.tapPath.empty()) {
        if (out.tapPath == s.fader.outputPath)
            stopRun(2,
                    "The tap file %s would overwrite the mix file; choose another mix name "
                    "(or oname).\nNothing was written.\n",
                    out.tapPath.c_str());
        refuseOutputsOverInputs({{"tap file", out.tapPath}}, inputPathsOf(s));
    }
    if (!MAKE_HEADER(s.fader.outputPath, s.tracks.sampleRate, static_cast<uint32_t>(out.outBits),
                     out.outChannels, frames))
        stopRun(1, "Could not create the mix file %s: %s\n", s.fader.outputPath.c_str(),
                std::strerror(errno));
    if (!out.tapPath.empty() && !MAKE_HEADER(out.tapPath, s.tracks.sampleRate, 24, 2, frames))
        stopRun(1, "Could not create the tap file %s: %s\n", out.tapPath.c_str(),
                std::strerror(errno));
}

void readEffects(MixSession& s) {
    const double rate =
        s.tracks.sampleRate != 0 ? static_cast<double>(s.tracks.sampleRate) : 44100.0;
    readEffectSettings(KeywordText(s.fader.faderText, s.fader.firstLine), s.tracks.fadersPath, rate,
                       s.prefs.percentMode, s.prefs.verbosity,
                       KeywordText(s.prefs.prefsText, s.prefs.firstLine), s.fx);
}

void runStages(MixSession& s, const std::vector<std::string>& args, std::FILE* input) {
    s.banner = kBanner;
    s.startClock = std::clock();
    readCommandLine(s, args);

    loadPreferences(s);
    std::string listText;
    int listFirstLine = 1;
    countTracks(s, listText, listFirstLine);
    loadFaderFile(s, input);
    allocateBlockBuffers(s);
    readTrackList(s, listText, listFirstLine);

    readWavHeaders(s);
    checkSampleRates(s);
    readStartOffsets(s);
    if (s.prefs.verbosity == 2) warn("Sample Rate: %u\n", s.tracks.sampleRate);
    s.tracks.meterWindow = static_cast<float>(s.tracks.sampleRate) / 10.0f;
    std::srand(static_cast<unsigned>(std::time(nullptr) % 3600));

    settleMixName(s);
    checkPreferences(s);
    setUpOutput(s);

    readRoutingLines(s);
    readAutomationOffset(s);
    buildTempoMap(s);
    readTimeEntries(s);
    setUpPanGains(s);
    readEffects(s);
    writeOutputHeaders(s);

    runMixLoop(s);
    const bool reportsOk = CreateTextFiles(s);
    if (s.prefs.launchSet) {
        std::fflush(stdout);
        [[maybe_unused]] const int ignored = std::system(s.prefs.launchCommand.c_str());
    }
    if (!reportsOk) throw RunStopped(1);
}

} // namespace

int runTarvex(const std::vector<std::string>& args, std::FILE* input) {
    // The session holds several MiB of block buffers: keep it off the stack.
    auto session = std::make_unique<MixSession>();
    int status = 0;
    try {
        runStages(*session, args, input);
    } catch (const RunStopped& stop) {
        status = stop.status;
    } catch (const std::bad_alloc&) {
        warn("Not enough memory for the mix buffers.\n");
        status = 1;
    }
    std::fflush(stdout);
    return status;
}

} // namespace tarvex
