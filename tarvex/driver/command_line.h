// The command line of `tarvex`: options first, then up to three file names.
//
//   tarvex [options] [--] [tracks-file [faders-file [prefs-file]]]
//
// Options may stand anywhere before "--"; every argument that begins with "-"
// (other than "-" alone) is an option, so a file whose name begins with "-"
// is given after "--". The file names keep their places: track list, fader
// file, preferences, a later one used only when the ones before it are given.
//
// Each option is one row of the table in command_line.cpp: its names, its
// value, its help line and the setting of `RunOptions` it stores.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvex {

// What the command line asks of a run; run_sequence.cpp applies it.
struct RunOptions {
    std::vector<std::string> files; // track list, fader file, preferences (each optional)
    bool check = false;             // --check: validate and print the plan, write nothing
    bool threadsSet = false;        // -j/--threads given (it wins over `threads` in prefs.txt)
    int32_t threads = 0;            // channel-strip workers, 1..64
    bool seedSet = false;           // --seed given (it wins over `seed` in prefs.txt)
    uint32_t seed = 0;              // dither noise seed
    bool loudnessOn = false;        // --loudness: loudness and true peak in the report
    bool loudnessTargetSet = false; // --loudness-target given (it implies --loudness)
    double loudnessTarget = 0.0;    // target integrated loudness, LUFS
    std::string plotPath;           // --plot: SVG picture of the mix
    bool oversOn = false;           // --overs: list the overs in the report
    bool strict = false;            // --strict: a diagnostic about a control file stops the run
    bool stemsOn = false;           // --stems: the stems of the mix in the same pass
    bool normalizeSet = false;      // --normalize given
    double normalizeTarget = 0.0;   // integrated loudness the mix is rendered to, LUFS
    bool ceilingSet = false;        // --ceiling given (it needs --normalize)
    double ceiling = -1.0;          // --ceiling: true peak named when the mix passes it, dBTP
};

// The outcome of reading the command line.
struct CommandLine {
    enum class Action { run, help, version, usageError };
    Action action = Action::run;
    RunOptions options;
    std::string error; // one line (without newline) when action is usageError
};

// Reads the arguments after the program name.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// The --help text: the usage line and one line per option.
std::string usageText();

// The --version text: program name and version.
std::string versionText();

// Highest worker count -j accepts.
constexpr int32_t kMaxThreads = 64;

} // namespace tarvex
