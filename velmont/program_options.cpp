// Command-line options of velmont.
#include "velmont/program_options.h"

namespace velmont {

namespace {

const toolset::OptionRow kOptions[] = {toolset::kHelpRow, toolset::kVersionRow};

} // namespace

toolset::OptionReading parseProgramOptions(const std::vector<std::string>& args) {
    return toolset::readOptions(kOptions, args);
}

std::string usageText() {
    return "Usage: velmont [options]\n"
           "Asks a few questions and writes a starting faders.txt in the working directory.\n\n"
           "Options:\n" +
           toolset::optionHelpLines(kOptions) + "  --                  end of the options\n";
}

std::string versionText() {
    return "velmont 1.03.1\n"; // as the dialogue's banner says
}

} // namespace velmont
