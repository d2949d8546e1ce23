// The command line of quorrin: options first, then the file and the number
// of time fields, as before.
//
//   quorrin [-h | --help] [-V | --version] [operations] [--] [file [time-fields]]
//
// Without an operation option the menu runs. With one, the operations are
// applied in the order given and the result is written without a question:
// the cue list to -o FILE (standard output for "-", the default), or the
// whole fader file in place with --in-place. A file whose name begins with
// "-" is given after "--". The options are the rows of the table in
// program_options.cpp, read by the toolset's option reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/option_reader.h"
#include "quorrin/cue_edits.h"
#include "quorrin/cue_writer.h"

namespace quorrin {

// What the operation options ask for.
struct BatchRequest {
    std::vector<CueOperation> operations; // in command-line order
    int32_t writeFields = 0;              // --fields; 0 keeps the count the file is read with
    Ordering ordering = Ordering::byTimes;
    bool orderingGiven = false; // --by-channel or --by-time was given
    std::string output = "-";   // -o: the cue list's file, "-" for standard output
    bool outputGiven = false;   // -o was given
    bool inPlace = false;       // --in-place: edit the fader file itself
    bool backup = false;        // --backup: keep the old file as FILE~
};

struct CommandLine {
    toolset::OptionReading reading; // operands: the file name and the time-field count
    bool batch = false;             // an operation option was given
    BatchRequest request;           // when batch
};

// A value that does not read, or options that do not go together, give a
// usage error in `reading`.
CommandLine parseProgramOptions(const std::vector<std::string>& args);
std::string usageText();
std::string versionText();

} // namespace quorrin
