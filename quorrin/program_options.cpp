// Command-line options of quorrin.
#include "quorrin/program_options.h"

namespace quorrin {

namespace {

const toolset::OptionRow kOptions[] = {toolset::kHelpRow, toolset::kVersionRow};

} // namespace

toolset::OptionReading parseProgramOptions(const std::vector<std::string>& args) {
    return toolset::readOptions(kOptions, args);
}

std::string usageText() {
    return "Usage: quorrin [options] [--] [file [time-fields]]\n"
           "Loads a fader file (default faders.txt; time-fields 1, 2 or 3, default 3) and edits "
           "its cue times and levels.\n\nOptions:\n" +
           toolset::optionHelpLines(kOptions) +
           "  --                  end of the options: a later argument is the file name\n";
}

std::string versionText() {
    return "quorrin 1.0\n";
}

} // namespace quorrin
