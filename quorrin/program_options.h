// The command line of quorrin: options first, then the file and the number
// of time fields, as before.
//
//   quorrin [-h | --help] [-V | --version] [--] [file [time-fields]]
//
// A file whose name begins with "-" is given after "--". The options are the
// rows of the table in program_options.cpp, read by the toolset's option
// reader.
#pragma once

#include <string>
#include <vector>

#include "common/option_reader.h"

namespace quorrin {

// The operands are the file name and the time-field count.
toolset::OptionReading parseProgramOptions(const std::vector<std::string>& args);
std::string usageText();
std::string versionText();

} // namespace quorrin
