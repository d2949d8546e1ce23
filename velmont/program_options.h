// The command line of velmont: the dialogue's answers as options, and no file
// arguments.
//
//   velmont [-h | --help] [-V | --version] [answers] [-o FILE] [--force] [--]
//
// Without an answer option the dialogue asks its questions on standard input.
// With one, the template is written from the options alone, byte for byte as
// the dialogue writes it for the same answers. The options are the rows of the
// table in program_options.cpp, read by the toolset's option reader.
#pragma once

#include <string>
#include <vector>

#include "common/option_reader.h"
#include "velmont/template_settings.h"

namespace velmont {

struct CommandLine {
    toolset::OptionReading reading; // the operands are not used
    bool answered = false;          // an answer option was given: no dialogue
    TemplateSettings settings;      // the answers, when answered
    std::string output = "faders.txt";
    bool force = false; // an existing output file may be replaced
};

// A value that does not read gives a usage error in `reading`.
CommandLine parseProgramOptions(const std::vector<std::string>& args);
std::string usageText();
std::string versionText();

} // namespace velmont
