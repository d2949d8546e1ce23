// The command line of velmont: a few options and no file arguments.
//
//   velmont [-h | --help] [-V | --version] [--]
//
// The options are the rows of the table in program_options.cpp, read by the
// toolset's option reader. The dialogue itself takes its answers from
// standard input.
#pragma once

#include <string>
#include <vector>

#include "common/option_reader.h"

namespace velmont {

// The operands are not used.
toolset::OptionReading parseProgramOptions(const std::vector<std::string>& args);
std::string usageText();
std::string versionText();

} // namespace velmont
