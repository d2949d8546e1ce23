// The run-wide data of one mix.
//
// `MixSession` is owned by the run driver for the whole run. It holds two
// parts. `MixSettings` is what the driver builds before the first block:
// preferences, track facts, the fader file, output format, routing, the
// automation script and the effect settings; the mix loop only reads it.
// `MixState` is what the loop changes: every strip's state (open file,
// playing flag, automation, effects, meters), block buffers, the VCA and
// reverb memories and the output files. Nothing in here is static, so two
// runs in one process never share state.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <span>
#include <string>
#include <vector>

#include "automation/level_tables.h"
#include "core/diagnostics.h"
#include "core/dither_noise.h"
#include "core/slot_layout.h"
#include "effects/effect_settings.h"
#include "meters/metering.h"
#include "meters/mix_views.h"
#include "session/channel_state.h"
#include "session/effect_state.h"

namespace tarvex {

// Longest line accepted in the track list.
constexpr std::size_t kMaxTrackLine = 255;

// Settings of the preferences file.
struct PrefsSettings {
    int32_t verbosity = 2;           // console detail; 2 is the normal level
    bool mixDirSet = false;          // `mixdir` given
    std::string mixDir;              // directory prefix of the mix, preview and tap files
    bool previewDirSet = false;      // `predir` given
    std::string previewDir;          // directory prefix of the preview file
    bool backupDirSet = false;       // `bakdir` given
    std::string backupDir;           // directory prefix of the report and fader copy
    bool wavDirSet = false;          // `wavdir` given
    std::string wavDir;              // directory prefix of the input WAV files
    int32_t trackListMode = 2;       // track-list layout 0, 1 or 2
    bool trackListTab = false;       // track-list fields separated by tabs
    bool previewMode = false;        // render only the preview window
    int32_t startFields = 3;         // time fields of `start` (1..3)
    int32_t cutFields = 3;           // time fields of `xin` and `xout` (1..3)
    int32_t timeFields = 3;          // time fields of the fader file's `t` lines (1..3)
    int64_t renderStart = 0;         // first song sample of the render window
    int64_t renderLength = 0;        // frames in the render window
    int64_t cutIn = 0;               // `xin` in samples, 0 without it
    bool percentMode = false;        // fader levels in percent
    bool tempoMode = false;          // `t` lines in musical time
    bool launchSet = false;          // `launch` given
    std::string launchCommand;       // shell command run at the very end
    bool monoOut = false;            // fold the output to mono
    double monoGain = 1.0;           // fold gain of each side, 0.125..1.0
    float rampSpeed = 0.0f;          // default ramp speed, dB per second
    float panLaw = 3.0f;             // centre attenuation, dB; 0 delay-pans mono channels
    int32_t ditherBits = 1;          // dither depth 0..8
    int32_t outBits = 24;            // output sample size, 16 or 24
    int64_t automationOffset = 0;    // shift of all automation times, samples
    int32_t threads = 0;             // channel-strip workers; 0 = one per core
    bool ditherSeedSet = false;      // `seed` or --seed given: the dither noise repeats
    uint32_t ditherSeed = 0;         // seed of the dither noise
    bool mixNameOverrideSet = false; // `oname` given
    std::string mixNameOverride;     // mix name from `oname`
    bool loudnessOn = false;         // `loudness`: loudness and true peak in the report
    bool loudnessTargetSet = false;  // `loudness` gave a target
    double loudnessTarget = -23.0;   // target integrated loudness, LUFS
    bool normalizeOn = false;        // --normalize: rendered in passes to a loudness
    double normalizeTarget = 0.0;    // the integrated loudness of --normalize, LUFS
    std::string plotPath;            // `plot`: SVG picture of the mix; empty = none
    bool oversOn = false;            // `overs`: list the overs in the report
    int32_t tapSignal = 0;           // `tap`: 1 the recursive reverb, 2 its return, 0 none
    bool stemsOn = false;            // `stems`: a WAV file per submix, direct and reverb return
};

// The track list and the facts of every input file.
struct TrackTable {
    std::string tracksPath = "tracks.txt";           // track list
    std::string fadersPath = "faders.txt";           // fader file
    std::string prefsPath = "prefs.txt";             // preferences
    int32_t channelCount = 0;                        // lines of the track list, 1..127
    std::vector<std::string> trackNames;             // entry k: file name of channel k+1
    std::array<int32_t, kSlotCount> channelOn{};     // 1 when the channel takes part
    std::array<int32_t, kSlotCount> soloFlags{};     // 1 for channels marked solo
    std::array<int32_t, kSlotCount> listLine{};      // track-list file line naming the channel
    std::array<int32_t, kSlotCount> wavOk{};         // 1 when the header was accepted
    std::array<int32_t, kSlotCount> wavChannels{};   // 1 mono, 2 stereo
    std::array<int64_t, kSlotCount> wavDataOffset{}; // byte position of the first sample
    std::array<uint32_t, kSlotCount> wavRate{};      // sample rate, Hz (44100)
    std::array<int64_t, kSlotCount> wavFrames{};     // frames available
    std::array<int32_t, kSlotCount> wavBytes{};      // bytes per sample, 2..4
    std::array<int32_t, kSlotCount> wavBits{};       // bits per sample, 16/24/32
    uint32_t sampleRate = 0;                         // rate shared by all channels that are on
    int64_t songLength = 0;                          // end of the longest channel, samples
    float meterWindow = 0.0f;                        // samples in a tenth of a second
};

// The fader file and what is read from its header.
struct FaderScript {
    std::string faderText;  // text after the "begin" line, spaces removed (the fader copy)
    std::string mixName;    // name of the mix
    std::string outputPath; // mix file, or the preview file
    std::array<int64_t, kSlotCount> startOffset{}; // song sample where a channel starts
};

// Output format and the open output stream.
// What a stem file carries: one submix after its fader, VCA and effects, the
// channels that reach the master directly, or one reverb's return.
enum class StemSource : int32_t { submix, direct, room, taps };

struct StemFile {
    StemSource source;
    int32_t submix;   // 1..8 for a submix stem, else 0
    std::string path; // the mix name with the stem's suffix
};

struct OutputSetup {
    int32_t outBits = 24;        // 16 or 24
    int32_t outChannels = 2;     // 1 for mono output
    double monoGain = 1.0;       // fold gain of each side
    int32_t ditherBits = 1;      // 0..8
    int32_t ditherOffset = 0;    // centre of the dither noise, output steps
    int32_t ditherRange = 0;     // number of dither noise values
    std::string tapPath;         // tap file
    std::vector<StemFile> stems; // stem files, in the order of the report
};

// Routing: which bus each slot feeds and which buses exist.
struct RoutingTable {
    std::array<int32_t, kBusCount> busFlags{1}; // bus in use; bus 0 always
    // route[slot][bus] is 1 when the channel feeds that bus
    std::array<std::array<uint8_t, kBusCount>, kSlotCount> route{};
};

// Block buffers, allocated once before the first block.
struct BlockBuffers {
    std::vector<double> workL, workR;             // effect-chain work area of submixes and master
    std::vector<std::vector<int32_t>> busL, busR; // mix buses 0..8 (unused ones empty)
    std::vector<int32_t> masterL, masterR;        // master accumulators, 2^31 scale
    std::vector<int32_t> stageL, stageR;          // output samples after division
    std::vector<int32_t> mono;                    // mono fold of the master
    std::vector<uint8_t> outBytes;                // encoded output block
    // Reverb buffers, present only when a reverb is in use.
    std::vector<double> revSendL, revSendR;        // recursive reverb send, 2^31 scale
    std::vector<double> trevSendL, trevSendR;      // tap reverb send, 2^31 scale
    std::vector<int32_t> returnL, returnR;         // reverb return of this block, 2^31 scale
    std::vector<int32_t> returnNextL, returnNextR; // what falls into the next block
    std::vector<int32_t> tapL, tapR;               // tap file samples, 2^23 scale
    std::vector<uint8_t> tapBytes;                 // encoded tap file block
};

// One channel's finished block, waiting to be mixed.
struct StripOutput {
    std::vector<int32_t> left, right;
};

// Where one channel strip reads, decodes and processes its block: one per
// thread that runs strips. The samples themselves go to a `StripOutput`
// that the workspace is pointed at for each channel.
struct StripWorkspace {
    std::vector<uint8_t> raw;              // one block of a file's sample bytes
    std::span<int32_t> channelL, channelR; // channel block, 2^23 then 2^31 scale
    std::vector<int32_t> monoIn;           // decoded mono samples for delay panning
    std::vector<double> workL, workR;      // effect-chain work area

    void bind(StripOutput& out) {
        channelL = out.left;
        channelR = out.right;
    }
};

// Per-run results of the mix loop, read by the report.
struct MixMeters {
    // Largest |sample| of the reverb sends, 2^31 scale, by peak entry less
    // kSlotCount; the strips keep their own peaks.
    std::array<double, kPeakEntries - kSlotCount> sendPeakL{}, sendPeakR{};
    double outPeakL = 0.0, outPeakR = 0.0;    // largest |output sample|, output scale
    int64_t outPeakPosL = 0, outPeakPosR = 0; // song sample of each output peak
    RmsMeter rms;                             // master level meter
    int32_t progressFlag = 1;                 // drives the progress messages
};

// Everything the driver sets up before the first block.
struct MixSettings {
    PrefsSettings prefs;
    TrackTable tracks;
    FaderScript fader;
    OutputSetup output;
    RoutingTable routing;
    AutomationScript automation;
    EffectSettings fx;
};

// Path of channel c's WAV file: the track-list name behind the WAV directory.
inline std::string wavPathOf(const MixSettings& s, int channel) {
    const std::string& name = s.tracks.trackNames[static_cast<std::size_t>(channel) - 1];
    return s.prefs.wavDirSet ? s.prefs.wavDir + name : name;
}

// One stem file as the mix loop writes it: its stream, its own dither noise
// (the mix's noise stays as it would be without stems) and its peaks.
struct StemStream {
    std::FILE* stream = nullptr;
    DitherNoise dither;
    double peakL = 0.0, peakR = 0.0;    // largest |output sample|, output scale
    int64_t peakPosL = 0, peakPosR = 0; // song sample of each peak
};

// While both reverbs return in send mode their returns share one buffer; the
// tap reverb's part is kept apart for its stem.
struct TapReturnShare {
    std::vector<int32_t> nowL, nowR;     // the tap reverb's part of this block's return
    std::vector<int32_t> laterL, laterR; // its part of the next block's return
};

// Everything the mix loop changes.
struct MixState {
    std::vector<ChannelState> strips = std::vector<ChannelState>(kSlotCount); // by slot
    std::array<int32_t, kSlotCount> trackListOn{}; // on flags as they stood before mixing
    AutomationState automationState;
    EffectState effects;
    BlockBuffers buffers;
    std::vector<StripWorkspace> workspaces; // one per thread running channel strips
    std::vector<StripOutput> stripOutputs;  // channel blocks processed, not yet mixed
    MixMeters meters;
    MixViews views;                 // loudness, overs and plot data
    DitherNoise dither;             // dither noise, seeded before the first block
    std::FILE* mixStream = nullptr; // mix file, open for appending
    std::FILE* tapStream = nullptr; // tap file, open for appending
    std::vector<StemStream> stems;  // one per stem of the output setup
    TapReturnShare tapShare;        // filled only when both reverb stems are written

    MixState() = default;
    MixState(const MixState&) = delete;
    MixState& operator=(const MixState&) = delete;
    // A run that stops early still closes every file it opened.
    ~MixState() {
        if (mixStream != nullptr) std::fclose(mixStream);
        if (tapStream != nullptr) std::fclose(tapStream);
        for (const StemStream& stem : stems)
            if (stem.stream != nullptr) std::fclose(stem.stream);
        for (const ChannelState& strip : strips)
            if (strip.input != nullptr) std::fclose(strip.input);
    }
};

// The whole run: the driver fills the settings, then hands them and the state
// to the mix loop, which takes the settings read-only.
struct MixSession {
    MixSettings settings;        // built before the first block
    MixState state;              // changed by the mix loop
    std::string banner;          // program banner, printed at verbosity 2
    std::clock_t startClock = 0; // processor clock at start-up
    Diagnostics diagnostics;     // what the readers said about the control files
    std::string normalizeReport; // --normalize: its lines of the report, "" otherwise
};

} // namespace tarvex
