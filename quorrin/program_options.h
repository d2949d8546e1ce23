// The command line of quorrin: options first, then the file and the number
// of time fields, as before.
//
//   quorrin [-h | --help] [-V | --version] [--] [file [time-fields]]
//
// A file whose name begins with "-" is given after "--". Each option is a row
// of the table in program_options.cpp.
#pragma once

#include <string>
#include <vector>

namespace quorrin {

struct ProgramOptions {
    enum class Action { run, help, version, usageError };
    Action action = Action::run;
    std::vector<std::string> operands; // file name, time-field count
    std::string error;                 // one line when action is usageError
};

ProgramOptions parseProgramOptions(const std::vector<std::string>& args);
std::string usageText();
std::string versionText();

} // namespace quorrin
