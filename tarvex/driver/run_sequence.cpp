// The run driver: preferences, track list, fader file, WAV headers, render
// window and output header, routing and automation set-up, the mix loop and
// the reports, in that order.
#include "driver/run_sequence.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <new>

#include "audio/wav_input.h"
#include "audio/wav_output.h"
#include "core/console.h"
#include "driver/check_plan.h"
#include "driver/effect_lines.h"
#include "driver/fader_file.h"
#include "driver/fader_line_check.h"
#include "driver/output_files.h"
#include "driver/output_guard.h"
#include "driver/preferences.h"
#include "driver/routing_lines.h"
#include "driver/tempo_map.h"
#include "driver/text_fields.h"
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

// The stop of --strict, once the control files have been read.
struct StrictStop : RunStopped {
    StrictStop() : RunStopped(1) {}
};

void readCommandLine(MixSession& s, const std::vector<std::string>& files) {
    if (files.size() >= 1) s.tracks.tracksPath = files[0];
    if (files.size() >= 2) s.tracks.fadersPath = files[1];
    if (files.size() >= 3) s.tracks.prefsPath = files[2];
}

// The options win over the preferences they share a setting with.
void applyOptions(MixSession& s, const RunOptions& options) {
    if (options.threadsSet) s.prefs.threads = options.threads;
    if (options.seedSet) {
        s.prefs.ditherSeedSet = true;
        s.prefs.ditherSeed = options.seed;
    }
    if (options.loudnessOn) s.prefs.loudnessOn = true;
    if (options.loudnessTargetSet) {
        s.prefs.loudnessTargetSet = true;
        s.prefs.loudnessTarget = options.loudnessTarget;
    }
    if (!options.plotPath.empty()) s.prefs.plotPath = options.plotPath;
    if (options.oversOn) s.prefs.oversOn = true;
}

// A render asks for a default fader level and writes a template when the
// fader file is missing; a check cannot answer for the user and stops here,
// with the status of a render that got no answer.
void refuseMissingFaderFileInCheck(const MixSession& s) {
    std::string text;
    if (readWholeFile(s.tracks.fadersPath, text)) return;
    refuseMissingNamedFaderFile(s.tracks.fadersPath);
    stopRun(1,
            "%s file was not found.\nCheck only: a render would ask for a default fader value "
            "(or -999 to exit) and write a template faders.txt; nothing to check without a "
            "fader file.\n",
            s.tracks.fadersPath.c_str());
}

void readWavHeaders(MixSession& s) {
    TrackTable& t = s.tracks;
    for (int c = 1; c <= t.channelCount; ++c) {
        if (t.channelOn[c] == 0) continue;
        std::string refusal;
        const std::string path = wavPathOf(s, c);
        t.wavOk[c] = readWavFacts(c, path, t.wavChannels, t.wavDataOffset, t.wavRate, t.wavFrames,
                                  t.wavBytes, t.wavBits, &refusal);
        if (t.wavOk[c] != 0) continue;
        t.channelOn[c] = 0;
        s.diagnostics.warning(t.tracksPath, t.listLine[c],
                              "%s cannot be used: %s (channel %d stays silent)", path.c_str(),
                              refusal.c_str(), c);
    }
    if (s.prefs.verbosity == 2) warn("Read file headers.\n");
}

// All channels that are on must share the rate of the first one.
void checkSampleRates(MixSession& s) {
    TrackTable& t = s.tracks;
    int first = 0;
    for (int c = 1; c <= t.channelCount; ++c) {
        if (t.channelOn[c] == 0) continue;
        if (first == 0) {
            t.sampleRate = t.wavRate[c];
            first = c;
        } else if (t.wavRate[c] != t.sampleRate) {
            s.diagnostics.error(t.tracksPath, t.listLine[c],
                                "%s is at %lu Hz, %s (channel %d) at %lu Hz: every track must "
                                "have one rate",
                                wavPathOf(s, c).c_str(), static_cast<unsigned long>(t.wavRate[c]),
                                wavPathOf(s, first).c_str(), first,
                                static_cast<unsigned long>(t.sampleRate));
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
    if (!s.prefs.plotPath.empty())
        refuseOutputsOverInputs(
            {{"plot", s.prefs.plotPath, "choose another file for --plot (or plot in prefs.txt)"}},
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
// has been checked against the inputs and every file the run will write has
// been found creatable. A check writes no header.
void writeOutputHeaders(MixSession& s, bool checkOnly, UnfinishedOutputs& unfinished) {
    OutputSetup& out = s.output;
    const int32_t frames = static_cast<int32_t>(s.prefs.renderLength);
    out.tapPath = tapPathFor(s.fx.tapMode, s.prefs);
    if (!out.tapPath.empty()) {
        if (out.tapPath == s.fader.outputPath)
            stopRun(2,
                    "The tap file %s would overwrite the mix file; choose another mix name "
                    "(or oname).\nNothing was written.\n",
                    out.tapPath.c_str());
        refuseOutputsOverInputs({{"tap file", out.tapPath,
                                  "set mixdir in prefs.txt to write it elsewhere, or leave out "
                                  "the tap line of prefs.txt"}},
                                inputPathsOf(s));
    }
    probeOutputFiles(s);
    if (checkOnly) return;
    // From here until the mix loop has closed them, the headers claim samples
    // that are not there yet. A file that failed at its header is ours to
    // remove only when it did not exist before: an old mix that could not
    // even be opened stays as it was.
    const auto header = [&](const char* what, const std::string& path, uint32_t bits,
                            int32_t channels) {
        std::error_code ec;
        const bool existed = std::filesystem::exists(std::filesystem::symlink_status(path, ec));
        if (!existed) unfinished.add(what, path);
        if (!writeWavHeader(path, s.tracks.sampleRate, bits, channels, frames))
            stopRun(1, "Could not create the %s %s: %s\n", what, path.c_str(),
                    std::strerror(errno));
        if (existed) unfinished.add(what, path);
    };
    header("mix file", s.fader.outputPath, static_cast<uint32_t>(out.outBits), out.outChannels);
    if (!out.tapPath.empty()) header("tap file", out.tapPath, 24, 2);
}

void readEffects(MixSession& s) {
    const double rate =
        s.tracks.sampleRate != 0 ? static_cast<double>(s.tracks.sampleRate) : 44100.0;
    readEffectSettings(KeywordText(s.fader.faderText, s.fader.firstLine), s.tracks.fadersPath, rate,
                       s.prefs.percentMode, s.prefs.verbosity,
                       KeywordText(s.prefs.prefsText, s.prefs.firstLine), s.fx, &s.diagnostics);
}

void runStages(MixSession& s, const RunOptions& options, std::FILE* input,
               UnfinishedOutputs& unfinished) {
    const bool checkOnly = options.check;
    s.banner = kBanner;
    s.startClock = std::clock();
    readCommandLine(s, options.files);

    const PreferenceLines prefs = readPreferenceLines(
        readPreferencesFile(s.tracks.prefsPath,
                            checkOnly ? MissingPrefs::useDefaults : MissingPrefs::create),
        s.tracks.prefsPath);
    loadPreferences(s, prefs);
    applyOptions(s, options);
    const TrackListLines trackList =
        readTrackListLines(readTrackListFile(s.tracks.tracksPath), s.tracks.tracksPath);
    countTracks(s, trackList);
    if (checkOnly) refuseMissingFaderFileInCheck(s);
    loadFaderFile(s, input);
    checkFaderLines(s);
    allocateBlockBuffers(s);
    readTrackList(s, trackList);
    const std::array<int32_t, kSlotCount> listedOn = s.tracks.channelOn;

    readWavHeaders(s);
    checkSampleRates(s);
    readStartOffsets(s);
    if (s.prefs.verbosity == 2) warn("Sample Rate: %u\n", s.tracks.sampleRate);
    s.tracks.meterWindow = static_cast<float>(s.tracks.sampleRate) / 10.0f;
    // Without a seed the noise differs from run to run, as it always has.
    s.dither.reseed(s.prefs.ditherSeedSet ? static_cast<unsigned>(s.prefs.ditherSeed)
                                          : static_cast<unsigned>(std::time(nullptr) % 3600));

    settleMixName(s);
    checkPreferences(s, prefs);
    setUpOutput(s);

    readRoutingLines(s);
    readAutomationOffset(s, prefs);
    buildTempoMap(s);
    readTimeEntries(s);
    setUpPanGains(s);
    readEffects(s);
    // Every control line has been read: with --strict, what was not used as
    // written stops the run before a file is written.
    if (options.strict && s.diagnostics.warnings() > 0) {
        std::fflush(stdout);
        std::fprintf(stderr, "%d warning%s, treated as errors\n", s.diagnostics.warnings(),
                     s.diagnostics.warnings() == 1 ? "" : "s");
        throw StrictStop();
    }
    writeOutputHeaders(s, checkOnly, unfinished);

    if (checkOnly) {
        checkReverbRooms(s);
        warn("%s", renderPlanText(s, listedOn).c_str());
        if (s.prefs.launchSet)
            warn("A render would then run through the shell: %s\n", s.prefs.launchCommand.c_str());
        warn("Check only: no file was written.\n");
        return;
    }
    runMixLoop(s);
    unfinished.finished();
    const bool reportsOk = CreateTextFiles(s);
    if (s.prefs.launchSet) {
        std::fflush(stdout);
        [[maybe_unused]] const int ignored = std::system(s.prefs.launchCommand.c_str());
    }
    if (!reportsOk) throw RunStopped(1);
}

} // namespace

int runTarvex(const std::vector<std::string>& files, std::FILE* input) {
    RunOptions options;
    options.files = files;
    return runTarvex(options, input);
}

int runTarvex(const RunOptions& options, std::FILE* input) {
    // The session holds several MiB of block buffers: keep it off the stack.
    auto session = std::make_unique<MixSession>();
    UnfinishedOutputs unfinished;
    int status = 0;
    bool strictStop = false;
    try {
        runStages(*session, options, input, unfinished);
    } catch (const StrictStop& stop) {
        status = stop.status;
        strictStop = true;
    } catch (const RunStopped& stop) {
        status = stop.status;
    } catch (const std::bad_alloc&) {
        warn("Not enough memory for the mix buffers.\n");
        status = 1;
    }
    if (status != 0) unfinished.removeAll(*session);
    std::fflush(stdout);
    // A check ends with the count; a stop that no diagnostic counted is an
    // error of its own.
    const Diagnostics& d = session->diagnostics;
    if (options.check && !strictStop)
        std::fprintf(stderr, "%s\n", d.countText(status != 0 && d.errors() == 0 ? 1 : 0).c_str());
    return status;
}

} // namespace tarvex
