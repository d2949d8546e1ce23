// Command-line options of `tarvex`.
#include "driver/command_line.h"
#include "driver/preferences.h"

#include "common/option_reader.h"

#include <cerrno>
#include <cstdlib>

namespace tarvex {

namespace {

constexpr const char* kVersion = "1.164 (w20e)";

// Stores in `out` the whole decimal number from `low` to `high` that `text`
// is, digits only (no sign, no spaces, nothing after it), and sets `given`;
// returns an empty string, or the refusal naming `option`.
template <typename Number>
std::string readWholeNumber(const char* option, const std::string& text, uint64_t low,
                            uint64_t high, Number& out, bool& given) {
    const std::string refusal = std::string(option) + " needs a whole number from " +
                                std::to_string(low) + " to " + std::to_string(high) + ", not '" +
                                text + "'";
    if (text.empty() || text.size() > 20) return refusal;
    for (char ch : text)
        if (ch < '0' || ch > '9') return refusal;
    errno = 0;
    const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
    if (errno != 0 || v < low || v > high) return refusal;
    out = static_cast<Number>(v);
    given = true;
    return std::string();
}

// The settings of a run that options set; each row of the table names one.
enum Setting : int32_t {
    kCheck,
    kThreads,
    kSeed,
    kLoudness,
    kLoudnessTarget,
    kPlot,
    kOvers,
    kStrict,
    kStems,
    kNormalize,
    kCeiling
};

const toolset::OptionRow kOptions[] = {
    toolset::kHelpRow,
    toolset::kVersionRow,
    {'\0', "check", nullptr,
     "read and validate the session, print the render plan; write no file, run no launch", kCheck},
    {'j', "threads", "N",
     "channel-strip workers, 1 to 64 (default: threads in prefs.txt, else one per core)", kThreads},
    {'\0', "seed", "N", "seed of the dither noise, 0 to 4294967295: renders repeat byte for byte",
     kSeed},
    {'\0', "loudness", nullptr, "add loudness (LUFS, LU) and true peak (dBTP) to the report",
     kLoudness},
    {'\0', "loudness-target", "LUFS", "with --loudness: the mtrim change that reaches LUFS",
     kLoudnessTarget},
    {'\0', "plot", "FILE", "write a picture of the mix (levels, cues, output peaks) as SVG", kPlot},
    {'\0', "overs", nullptr, "list every full-scale stretch and clip in the report, with its cue",
     kOvers},
    {'\0', "strict", nullptr,
     "stop before writing anything when a control-file line is not used as written", kStrict},
    {'\0', "stems", nullptr,
     "also write each submix, the direct channels and each reverb return as a WAV file", kStems},
    {'\0', "normalize", "LUFS",
     "render again with the mtrim that brings the mix to LUFS (at most four passes)", kNormalize},
    {'\0', "ceiling", "DBTP",
     "with --normalize: name a true peak above DBTP in the report (default -1.0)", kCeiling},
};

// Stores one setting; returns an empty string, or the reason its value is
// refused (the message names the option).
std::string applySetting(RunOptions& options, const toolset::GivenSetting& given) {
    const std::string& v = given.value;
    switch (given.sets) {
    case kCheck:
        options.check = true;
        break;
    case kThreads:
        return readWholeNumber("--threads", v, 1, kMaxThreads, options.threads, options.threadsSet);
    case kSeed:
        return readWholeNumber("--seed", v, 0, UINT32_MAX, options.seed, options.seedSet);
    case kLoudness:
        options.loudnessOn = true;
        break;
    case kLoudnessTarget:
        if (!readLoudnessTarget(v, options.loudnessTarget))
            return "--loudness-target needs a level from -70 to 0 LUFS, not '" + v + "'";
        options.loudnessOn = options.loudnessTargetSet = true;
        break;
    case kPlot:
        if (v.empty()) return "--plot needs a file name";
        options.plotPath = v;
        break;
    case kOvers:
        options.oversOn = true;
        break;
    case kStrict:
        options.strict = true;
        break;
    case kStems:
        options.stemsOn = true;
        break;
    case kNormalize:
        if (!readLoudnessTarget(v, options.normalizeTarget))
            return "--normalize needs a level from -70 to 0 LUFS, not '" + v + "'";
        options.normalizeSet = true;
        break;
    case kCeiling: {
        char* end = nullptr;
        const double ceiling = std::strtod(v.c_str(), &end);
        if (v.empty() || *end != '\0' || !(ceiling >= -30.0 && ceiling <= 0.0))
            return "--ceiling needs a true peak from -30 to 0 dBTP, not '" + v + "'";
        options.ceiling = ceiling;
        options.ceilingSet = true;
        break;
    }
    }
    return std::string();
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    const toolset::OptionReading reading = toolset::readOptions(kOptions, args);
    CommandLine line;
    line.options.files = reading.operands;
    // The settings come before the argument the reader refused, if any, so a
    // refused value among them is the first fault of the command line.
    for (const toolset::GivenSetting& given : reading.settings) {
        const std::string why = applySetting(line.options, given);
        if (!why.empty()) {
            line.action = CommandLine::Action::usageError;
            line.error = why;
            return line;
        }
    }
    if (reading.action == toolset::OptionReading::Action::run && line.options.ceilingSet &&
        !line.options.normalizeSet) {
        line.action = CommandLine::Action::usageError;
        line.error = "--ceiling goes with --normalize";
        return line;
    }
    switch (reading.action) {
    case toolset::OptionReading::Action::run:
        break;
    case toolset::OptionReading::Action::help:
        line.action = CommandLine::Action::help;
        break;
    case toolset::OptionReading::Action::version:
        line.action = CommandLine::Action::version;
        break;
    case toolset::OptionReading::Action::usageError:
        line.action = CommandLine::Action::usageError;
        line.error = reading.error;
        break;
    }
    return line;
}

std::string usageText() {
    std::string text = "Usage: tarvex [options] [--] [tracks-file [faders-file [prefs-file]]]\n"
                       "Renders the mix of the session in the working directory (defaults: "
                       "tracks.txt, faders.txt, prefs.txt).\n\nOptions:\n";
    text += toolset::optionHelpLines(kOptions);
    text += "  --                  end of the options: later arguments are file names\n";
    return text;
}

std::string versionText() {
    return std::string("tarvex ") + kVersion + "\n";
}

} // namespace tarvex
