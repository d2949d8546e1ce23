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
#include <unistd.h>

#include "audio/wav_input.h"
#include "audio/wav_output.h"
#include "common/staged_file.h"
#include "core/console.h"
#include "core/scales.h"
#include "driver/check_plan.h"
#include "driver/effect_lines.h"
#include "driver/fader_file.h"
#include "driver/fader_line_check.h"
#include "driver/normalize_passes.h"
#include "driver/output_files.h"
#include "driver/output_guard.h"
#include "driver/preferences.h"
#include "driver/routing_lines.h"
#include "driver/stem_plan.h"
#include "driver/stop_signals.h"
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
    if (files.size() >= 1) s.settings.tracks.tracksPath = files[0];
    if (files.size() >= 2) s.settings.tracks.fadersPath = files[1];
    if (files.size() >= 3) s.settings.tracks.prefsPath = files[2];
}

// The options win over the preferences they share a setting with.
void applyOptions(MixSession& s, const RunOptions& options) {
    if (options.threadsSet) s.settings.prefs.threads = options.threads;
    if (options.seedSet) {
        s.settings.prefs.ditherSeedSet = true;
        s.settings.prefs.ditherSeed = options.seed;
    }
    if (options.loudnessOn) s.settings.prefs.loudnessOn = true;
    if (options.loudnessTargetSet) {
        s.settings.prefs.loudnessTargetSet = true;
        s.settings.prefs.loudnessTarget = options.loudnessTarget;
    }
    if (!options.plotPath.empty()) s.settings.prefs.plotPath = options.plotPath;
    if (options.oversOn) s.settings.prefs.oversOn = true;
    if (options.stemsOn) s.settings.prefs.stemsOn = true;
    if (options.normalizeSet) {
        s.settings.prefs.normalizeOn = true;
        s.settings.prefs.normalizeTarget = options.normalizeTarget;
    }
}

// A render asks for a default fader level and writes a template when the
// fader file is missing; a check cannot answer for the user and stops here,
// with the status of a render that got no answer.
void refuseMissingFaderFileInCheck(const MixSession& s) {
    std::string text;
    if (readWholeFile(s.settings.tracks.fadersPath, text)) return;
    refuseMissingNamedFaderFile(s.settings.tracks.fadersPath);
    stopRun(1,
            "%s file was not found.\nCheck only: a render would ask for a default fader value "
            "(or -999 to exit) and write a template faders.txt; nothing to check without a "
            "fader file.\n",
            s.settings.tracks.fadersPath.c_str());
}

// Without a seed the noise differs from run to run, as it always has.
uint32_t ditherSeedOf(const PrefsSettings& prefs) {
    return prefs.ditherSeedSet ? prefs.ditherSeed
                               : static_cast<uint32_t>(std::time(nullptr) % 3600);
}

void readWavHeaders(MixSession& s) {
    TrackTable& t = s.settings.tracks;
    for (int c = 1; c <= t.channelCount; ++c) {
        if (t.channelOn[c] == 0) continue;
        std::string refusal;
        const std::string path = wavPathOf(s.settings, c);
        t.wavOk[c] = readWavFacts(c, path, t.wavChannels, t.wavDataOffset, t.wavRate, t.wavFrames,
                                  t.wavBytes, t.wavBits, &refusal);
        if (t.wavOk[c] != 0) continue;
        t.channelOn[c] = 0;
        s.diagnostics.warning(t.tracksPath, t.listLine[c],
                              "%s cannot be used: %s (channel %d stays silent)", path.c_str(),
                              refusal.c_str(), c);
    }
    if (s.settings.prefs.verbosity == 2) warn("Read file headers.\n");
}

// All channels that are on must share the rate of the first one.
void checkSampleRates(MixSession& s) {
    TrackTable& t = s.settings.tracks;
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
                                wavPathOf(s.settings, c).c_str(),
                                static_cast<unsigned long>(t.wavRate[c]),
                                wavPathOf(s.settings, first).c_str(), first,
                                static_cast<unsigned long>(t.sampleRate));
            stopRun(1,
                    "The sample rate appears to be %lu\nThe file assigned to channel %i has a "
                    "different rate!\n",
                    static_cast<unsigned long>(t.sampleRate), c);
        }
    }
}

void setUpOutput(MixSession& s) {
    OutputSetup& out = s.settings.output;
    out.outBits = s.settings.prefs.outBits;
    out.outChannels = s.settings.prefs.monoOut ? 1 : 2;
    out.monoGain = s.settings.prefs.monoOut ? s.settings.prefs.monoGain : 1.0;
    out.ditherBits = s.settings.prefs.ditherBits;
    out.ditherOffset = ditherOffsetFor(out.ditherBits);
    out.ditherRange = ditherRangeFor(out.ditherBits);

    refuseOutputsOverInputs({{"mix file", s.settings.fader.outputPath},
                             {"statistics report", statsPathOf(s)},
                             {"fader copy", faderCopyPathOf(s)}},
                            inputPathsOf(s));
    if (!s.settings.prefs.plotPath.empty())
        refuseOutputsOverInputs({{"plot", s.settings.prefs.plotPath,
                                  "choose another file for --plot (or plot in prefs.txt)"}},
                                inputPathsOf(s));
    const int64_t frames = s.settings.prefs.renderLength;
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
void writeOutputHeaders(MixSession& s, bool checkOnly, StagedOutputs& staged) {
    OutputSetup& out = s.settings.output;
    const int32_t frames = static_cast<int32_t>(s.settings.prefs.renderLength);
    out.tapPath = tapPathFor(s.settings.fx.tapMode, s.settings.prefs);
    if (!out.tapPath.empty()) {
        if (out.tapPath == s.settings.fader.outputPath)
            stopRun(2,
                    "The tap file %s would overwrite the mix file; choose another mix name "
                    "(or oname).\nNothing was written.\n",
                    out.tapPath.c_str());
        refuseOutputsOverInputs({{"tap file", out.tapPath,
                                  "set mixdir in prefs.txt to write it elsewhere, or leave out "
                                  "the tap line of prefs.txt"}},
                                inputPathsOf(s));
    }
    out.stems = planStems(s.settings);
    std::vector<NamedPath> stemPaths;
    for (const StemFile& stem : out.stems)
        stemPaths.push_back({"stem", stem.path,
                             "choose another mix name (or oname), or leave out "
                             "--stems and the stems line of prefs.txt"});
    refuseOutputsOverInputs(stemPaths, inputPathsOf(s));
    probeOutputFiles(s);
    if (checkOnly) return;
    // Every output is written under its temporary name and put in place once
    // the run is complete; what an interrupted run left at those names goes
    // first.
    staged.add("mix file", s.settings.fader.outputPath, true);
    if (!out.tapPath.empty()) staged.add("tap file", out.tapPath, true);
    staged.add("statistics report", statsPathOf(s), false);
    staged.add("fader copy", faderCopyPathOf(s), false);
    if (!s.settings.prefs.plotPath.empty()) staged.add("plot", s.settings.prefs.plotPath, false);
    for (const StemFile& stem : out.stems)
        staged.add("stem", stem.path, true);
    staged.removeLeftovers();
    // The mix loop gets the streams open past their headers, which claim
    // samples that are not there yet.
    const auto header = [&](const char* what, const std::string& path, uint32_t bits,
                            int32_t channels, std::FILE*& stream) {
        const int fd = toolset::openStaged(path);
        if (fd >= 0) stream = ::fdopen(fd, "wb");
        const int error = errno;
        if (fd >= 0 && stream == nullptr) ::close(fd);
        if (stream == nullptr)
            stopRun(1, "Could not create the %s %s: %s\n", what, path.c_str(),
                    std::strerror(error));
        uint8_t bytes[kWavHeaderBytes];
        makeHeaderBytes(std::span<uint8_t, kWavHeaderBytes>(bytes), s.settings.tracks.sampleRate,
                        bits, channels, frames);
        if (std::fwrite(bytes, 1, sizeof bytes, stream) != sizeof bytes || std::fflush(stream) != 0)
            stopRun(1, "Could not create the %s %s: %s\n", what, path.c_str(),
                    std::strerror(errno != 0 ? errno : EIO));
    };
    header("mix file", s.settings.fader.outputPath, static_cast<uint32_t>(out.outBits),
           out.outChannels, s.state.mixStream);
    if (!out.tapPath.empty()) header("tap file", out.tapPath, 24, 2, s.state.tapStream);
    // Each stem has dither noise of its own, so that the mix's stays as it
    // is without stems.
    s.state.stems.resize(out.stems.size());
    for (std::size_t i = 0; i < out.stems.size(); ++i) {
        StemStream& stem = s.state.stems[i];
        stem.dither.reseed(ditherSeedOf(s.settings.prefs) + static_cast<uint32_t>(i) + 1);
        header("stem", out.stems[i].path, static_cast<uint32_t>(out.outBits), out.outChannels,
               stem.stream);
    }
}

void readEffects(MixSession& s, const FaderLines& fader) {
    const double rate = rateOrFallback(s.settings.tracks.sampleRate);
    readEffectSettings(fader.fields(), s.settings.tracks.fadersPath, rate,
                       s.settings.prefs.percentMode, s.settings.prefs.verbosity,
                       s.settings.prefs.tapSignal, s.settings.fx, &s.diagnostics);
}

// `normalize` is the passes of --normalize, of which this run is one; null
// for any other run.
void runStages(MixSession& s, const RunOptions& options, std::FILE* input, StagedOutputs& staged,
               StopSignals& signals, NormalizePasses* normalize) {
    const bool checkOnly = options.check;
    s.banner = kBanner;
    s.startClock = std::clock();
    readCommandLine(s, options.files);

    const PreferenceLines prefs = readPreferenceLines(
        readPreferencesFile(s.settings.tracks.prefsPath,
                            checkOnly ? MissingPrefs::useDefaults : MissingPrefs::create),
        s.settings.tracks.prefsPath);
    loadPreferences(s, prefs);
    applyOptions(s, options);
    const TrackListLines trackList = readTrackListLines(
        readTrackListFile(s.settings.tracks.tracksPath), s.settings.tracks.tracksPath);
    countTracks(s, trackList);
    if (checkOnly) refuseMissingFaderFileInCheck(s);
    const FaderLines fader(normalize != nullptr ? normalize->faderText(s, input)
                                                : readFaderFile(s, input));
    takeFaderLines(s, fader);
    signals.check("fader file");
    checkFaderLines(s, fader, prefs);
    allocateBlockBuffers(s.state);
    readTrackList(s, trackList);
    const std::array<int32_t, kSlotCount> listedOn = s.settings.tracks.channelOn;

    readWavHeaders(s);
    checkSampleRates(s);
    readStartOffsets(s, fader);
    if (s.settings.prefs.verbosity == 2) warn("Sample Rate: %u\n", s.settings.tracks.sampleRate);
    s.settings.tracks.meterWindow = static_cast<float>(s.settings.tracks.sampleRate) / 10.0f;
    s.state.dither.reseed(ditherSeedOf(s.settings.prefs));

    settleMixName(s, prefs, fader);
    checkPreferences(s, prefs);
    setUpOutput(s);

    readRoutingLines(s, fader);
    readAutomationOffset(s, prefs);
    buildTempoMap(s, fader);
    readTimeEntries(s, fader, prefs);
    setUpPanGains(s);
    readEffects(s, fader);
    // Every control line has been read: with --strict, what was not used as
    // written stops the run before a file is written.
    if (options.strict && s.diagnostics.warnings() > 0) {
        std::fflush(stdout);
        std::fprintf(stderr, "%d warning%s, treated as errors\n", s.diagnostics.warnings(),
                     s.diagnostics.warnings() == 1 ? "" : "s");
        throw StrictStop();
    }
    signals.check("files");
    writeOutputHeaders(s, checkOnly, staged);

    if (checkOnly) {
        checkReverbRooms(s);
        warn("%s", renderPlanText(s, listedOn).c_str());
        if (s.settings.prefs.launchSet)
            warn("A render would then run through the shell: %s\n",
                 s.settings.prefs.launchCommand.c_str());
        warn("Check only: no file was written.\n");
        return;
    }
    signals.check("headers");
    runMixLoop(s, signals.blockCheck());
    signals.check("mix");
    // A pass of --normalize that another pass follows leaves no file.
    if (normalize != nullptr && !normalize->finishPass(s)) {
        staged.discard(s.state, true);
        return;
    }
    bool reportsOk = writeReportFiles(s);
    signals.check("reports");
    // From here on a signal no longer stops the run: its files go in place.
    if (reportsOk) {
        reportsOk = staged.commit();
        signals.release();
    } else
        staged.discard(s.state, false);
    if (s.settings.prefs.launchSet) {
        std::fflush(stdout);
        [[maybe_unused]] const int ignored = std::system(s.settings.prefs.launchCommand.c_str());
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
    StopSignals signals;
    StagedOutputs staged;
    int status = 0;
    bool strictStop = false;
    try {
        if (options.normalizeSet && !options.check) {
            NormalizePasses passes(options);
            passes.run([&] {
                if (passes.pass() > 1) session = std::make_unique<MixSession>();
                runStages(*session, options, input, staged, signals, &passes);
            });
        } else {
            runStages(*session, options, input, staged, signals, nullptr);
        }
    } catch (const StrictStop& stop) {
        status = stop.status;
        strictStop = true;
    } catch (const RunStopped& stop) {
        status = stop.status;
    } catch (const std::bad_alloc&) {
        warn("Not enough memory for the mix buffers.\n");
        status = 1;
    }
    // A signal caught before the files went in place stops the run, whatever
    // else it ran into on the way (a question left without its answer).
    const int signal = staged.committed() ? 0 : signals.caught();
    signals.release();
    if (signal != 0) status = 128 + signal;
    if (status != 0) staged.discard(session->state, signal != 0);
    std::fflush(stdout);
    if (signal != 0) {
        std::fprintf(stderr, "Stopped by %s: no file was replaced.\n", signalName(signal).c_str());
        return status;
    }
    // A check ends with the count; a stop that no diagnostic counted is an
    // error of its own.
    const Diagnostics& d = session->diagnostics;
    if (options.check && !strictStop)
        std::fprintf(stderr, "%s\n", d.countText(status != 0 && d.errors() == 0 ? 1 : 0).c_str());
    return status;
}

} // namespace tarvex
