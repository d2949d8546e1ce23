// Command-line options of `tarvex`.
#include "driver/command_line.h"
#include "driver/preferences.h"

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace tarvex {

namespace {

constexpr const char* kVersion = "1.164 (w20e)";

// A whole decimal number from `low` to `high`, digits only (no sign, no
// spaces, nothing after it).
bool readWholeNumber(const std::string& text, uint64_t low, uint64_t high, uint64_t& out) {
    if (text.empty() || text.size() > 20) return false;
    for (char ch : text)
        if (ch < '0' || ch > '9') return false;
    errno = 0;
    const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
    if (errno != 0 || v < low || v > high) return false;
    out = v;
    return true;
}

// One option. `apply` stores it and returns an empty string, or the reason
// its value is refused (the message names the option).
struct OptionRow {
    char shortName;        // '\0' when the option has no short form
    const char* longName;  // without the leading "--"
    const char* valueName; // nullptr for an option without a value
    const char* help;      // the option's line in --help
    std::string (*apply)(CommandLine& line, const std::string& value);
};

const OptionRow kOptions[] = {
    {'h', "help", nullptr, "show this help and exit",
     [](CommandLine& l, const std::string&) {
         if (l.action == CommandLine::Action::run || l.action == CommandLine::Action::version)
             l.action = CommandLine::Action::help;
         return std::string();
     }},
    {'V', "version", nullptr, "show the version and exit",
     [](CommandLine& l, const std::string&) {
         if (l.action == CommandLine::Action::run) l.action = CommandLine::Action::version;
         return std::string();
     }},
    {'\0', "check", nullptr,
     "read and validate the session, print the render plan; write no file, run no launch",
     [](CommandLine& l, const std::string&) {
         l.options.check = true;
         return std::string();
     }},
    {'j', "threads", "N",
     "channel-strip workers, 1 to 64 (default: threads in prefs.txt, else one per core)",
     [](CommandLine& l, const std::string& v) {
         uint64_t n = 0;
         if (!readWholeNumber(v, 1, kMaxThreads, n))
             return "--threads needs a whole number from 1 to 64, not '" + v + "'";
         l.options.threadsSet = true;
         l.options.threads = static_cast<int32_t>(n);
         return std::string();
     }},
    {'\0', "seed", "N", "seed of the dither noise, 0 to 4294967295: renders repeat byte for byte",
     [](CommandLine& l, const std::string& v) {
         uint64_t n = 0;
         if (!readWholeNumber(v, 0, UINT32_MAX, n))
             return "--seed needs a whole number from 0 to 4294967295, not '" + v + "'";
         l.options.seedSet = true;
         l.options.seed = static_cast<uint32_t>(n);
         return std::string();
     }},
    {'\0', "loudness", nullptr, "add loudness (LUFS, LU) and true peak (dBTP) to the report",
     [](CommandLine& l, const std::string&) {
         l.options.loudnessOn = true;
         return std::string();
     }},
    {'\0', "loudness-target", "LUFS", "with --loudness: the mtrim change that reaches LUFS",
     [](CommandLine& l, const std::string& v) {
         if (!readLoudnessTarget(v, l.options.loudnessTarget))
             return "--loudness-target needs a level from -70 to 0 LUFS, not '" + v + "'";
         l.options.loudnessOn = l.options.loudnessTargetSet = true;
         return std::string();
     }},
    {'\0', "plot", "FILE", "write a picture of the mix (levels, cues, output peaks) as SVG",
     [](CommandLine& l, const std::string& v) {
         if (v.empty()) return std::string("--plot needs a file name");
         l.options.plotPath = v;
         return std::string();
     }},
    {'\0', "overs", nullptr, "list every full-scale stretch and clip in the report, with its cue",
     [](CommandLine& l, const std::string&) {
         l.options.oversOn = true;
         return std::string();
     }},
    {'\0', "strict", nullptr,
     "stop before writing anything when a control-file line is not used as written",
     [](CommandLine& l, const std::string&) {
         l.options.strict = true;
         return std::string();
     }},
};

const OptionRow* findLong(std::string_view name) {
    for (const OptionRow& row : kOptions)
        if (name == row.longName) return &row;
    return nullptr;
}

const OptionRow* findShort(char name) {
    for (const OptionRow& row : kOptions)
        if (row.shortName != '\0' && row.shortName == name) return &row;
    return nullptr;
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    auto refuse = [&line](const std::string& why) {
        line.action = CommandLine::Action::usageError;
        line.error = why;
        return line;
    };
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            line.options.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // "--name", "--name=value", "-x", "-x value" or "-xvalue".
        const OptionRow* row = nullptr;
        std::string value;
        bool valueAttached = false;
        if (arg[1] == '-') {
            const std::size_t eq = arg.find('=');
            row = findLong(std::string_view(arg).substr(2, eq == std::string::npos ? eq : eq - 2));
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                valueAttached = true;
            }
        } else {
            row = findShort(arg[1]);
            if (arg.size() > 2) {
                value = arg.substr(2);
                valueAttached = true;
            }
        }
        if (row == nullptr) return refuse("unknown option '" + arg + "'");
        if (row->valueName == nullptr && valueAttached)
            return refuse("option '" + arg + "' takes no value");
        if (row->valueName != nullptr && !valueAttached) {
            if (i + 1 >= args.size())
                return refuse(std::string("option --") + row->longName + " needs a value " +
                              row->valueName);
            value = args[++i];
        }
        const std::string why = row->apply(line, value);
        if (!why.empty()) return refuse(why);
    }
    return line;
}

std::string usageText() {
    std::string text = "Usage: tarvex [options] [--] [tracks-file [faders-file [prefs-file]]]\n"
                       "Renders the mix of the session in the working directory (defaults: "
                       "tracks.txt, faders.txt, prefs.txt).\n\nOptions:\n";
    for (const OptionRow& row : kOptions) {
        std::string names = row.shortName != '\0' ? std::string("  -") + row.shortName + ", "
                                                  : std::string("      ");
        names += std::string("--") + row.longName;
        if (row.valueName != nullptr) names += std::string(" ") + row.valueName;
        names.resize(names.size() < 22 ? 22 : names.size() + 1, ' ');
        text += names + row.help + "\n";
    }
    text += "  --                  end of the options: later arguments are file names\n";
    return text;
}

std::string versionText() {
    return std::string("tarvex ") + kVersion + "\n";
}

} // namespace tarvex
