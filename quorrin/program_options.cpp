// Command-line options of quorrin.
#include "quorrin/program_options.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace quorrin {

namespace {

enum Setting : int32_t {
    kNudge,
    kScale,
    kAdjust,
    kFields,
    kByChannel,
    kByTime,
    kOutput,
    kInPlace,
    kBackup
};

const toolset::OptionRow kOptions[] = {
    toolset::kHelpRow,
    toolset::kVersionRow,
    {'\0', "nudge", "SECONDS", "add SECONDS to every time", kNudge},
    {'\0', "scale", "FACTOR", "multiply every time and ramp by FACTOR (0.001 to 1000)", kScale},
    {'\0', "adjust", "DB", "add DB to every level", kAdjust},
    {'\0', "fields", "1|2|3", "write times with 1, 2 or 3 fields", kFields},
    {'\0', "by-channel", nullptr, "list the cues channel by channel", kByChannel},
    {'\0', "by-time", nullptr, "list the cues time by time (the default)", kByTime},
    {'o', "output", "FILE", "write the cue list to FILE (- for standard output, the default)",
     kOutput},
    {'\0', "in-place", nullptr, "edit the fader file itself, keeping its other lines", kInPlace},
    {'\0', "backup", nullptr, "with --in-place, keep the old file as FILE~", kBackup},
};

// A whole option value read as a finite single-precision number.
std::optional<float> readAmount(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value) || std::fabs(value) > FLT_MAX)
        return std::nullopt;
    return static_cast<float>(value);
}

void refuse(toolset::OptionReading& reading, const std::string& why) {
    reading.action = toolset::OptionReading::Action::usageError;
    reading.error = why;
}

void readRequest(CommandLine& line) {
    BatchRequest& request = line.request;
    for (const toolset::GivenSetting& given : line.reading.settings) {
        line.batch = true;
        const std::string& value = given.value;
        switch (given.sets) {
        case kNudge:
        case kAdjust:
        case kScale: {
            const std::optional<float> amount = readAmount(value);
            // The bounds are compared in double, as the menu compares them.
            if (!amount || (given.sets == kScale && !(*amount >= 0.001 && *amount <= 1000.0))) {
                const char* name = given.sets == kNudge    ? "--nudge"
                                   : given.sets == kAdjust ? "--adjust"
                                                           : "--scale";
                refuse(line.reading,
                       std::string(name) + " '" + value + "' is not " +
                           (given.sets == kScale ? "a factor from 0.001 to 1000" : "a number"));
                return;
            }
            const CueOperation::Kind kind = given.sets == kNudge    ? CueOperation::Kind::nudge
                                            : given.sets == kAdjust ? CueOperation::Kind::adjust
                                                                    : CueOperation::Kind::scale;
            request.operations.push_back({kind, *amount});
            break;
        }
        case kFields:
            if (value != "1" && value != "2" && value != "3") {
                refuse(line.reading, "--fields '" + value + "' is not 1, 2 or 3");
                return;
            }
            request.writeFields = value[0] - '0';
            break;
        case kByChannel:
        case kByTime:
            request.ordering = given.sets == kByChannel ? Ordering::byChannels : Ordering::byTimes;
            request.orderingGiven = true;
            break;
        case kOutput:
            request.output = value;
            request.outputGiven = true;
            break;
        case kInPlace:
            request.inPlace = true;
            break;
        case kBackup:
            request.backup = true;
            break;
        }
    }
    if (request.inPlace && (request.outputGiven || request.orderingGiven))
        refuse(line.reading, "--in-place keeps the file's own lines and order; it takes no -o, "
                             "--by-channel or --by-time");
    else if (request.backup && !request.inPlace)
        refuse(line.reading, "--backup goes with --in-place");
}

} // namespace

CommandLine parseProgramOptions(const std::vector<std::string>& args) {
    CommandLine line;
    line.reading = toolset::readOptions(kOptions, args);
    if (line.reading.action == toolset::OptionReading::Action::run) readRequest(line);
    return line;
}

std::string usageText() {
    return "Usage: quorrin [options] [--] [file [time-fields]]\n"
           "Loads a fader file (default faders.txt; time-fields 1, 2 or 3, default 3) and edits "
           "its cue times and levels.\nWithout an operation option a menu asks what to do; with "
           "one, the operations are applied in the order given.\n\nOptions:\n" +
           toolset::optionHelpLines(kOptions) +
           "  --                  end of the options: a later argument is the file name\n"
           "\nExamples:\n"
           "  quorrin --nudge 1.5 --in-place --backup song.txt   move every cue 1.5 s later\n"
           "  quorrin --scale 0.5 --by-channel -o cues.txt       halve the times into a cue "
           "list\n"
           "  quorrin --adjust -3 -o - song.txt 2                lower every level by 3 dB\n";
}

std::string versionText() {
    return "quorrin 1.0\n";
}

} // namespace quorrin
