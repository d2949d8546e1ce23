// The command line of velmont: a few options and no file arguments.
//
//   velmont [-h | --help] [-V | --version] [--]
//
// Each option is a row of the table in program_options.cpp. The dialogue
// itself takes its answers from standard input.
#pragma once

#include <string>
#include <vector>

namespace velmont {

struct ProgramOptions {
    enum class Action { run, help, version, usageError };
    Action action = Action::run;
    std::vector<std::string> operands; // arguments that are not options (not used)
    std::string error;                 // one line when action is usageError
};

ProgramOptions parseProgramOptions(const std::vector<std::string>& args);
std::string usageText();
std::string versionText();

} // namespace velmont
