// Command-line options of velmont.
#include "velmont/program_options.h"

#include <string_view>

namespace velmont {

namespace {

struct OptionRow {
    char shortName;       // '\0' when there is none
    const char* longName; // without the leading "--"
    const char* help;     // the option's line in --help
    ProgramOptions::Action action;
};

const OptionRow kOptions[] = {
    {'h', "help", "show this help and exit", ProgramOptions::Action::help},
    {'V', "version", "show the version and exit", ProgramOptions::Action::version},
};

} // namespace

ProgramOptions parseProgramOptions(const std::vector<std::string>& args) {
    ProgramOptions parsed;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const OptionRow* found = nullptr;
        for (const OptionRow& row : kOptions)
            if ((arg[1] == '-' && std::string_view(arg).substr(2) == row.longName) ||
                (arg.size() == 2 && arg[1] == row.shortName))
                found = &row;
        if (found == nullptr) {
            parsed.action = ProgramOptions::Action::usageError;
            parsed.error = "unknown option '" + arg + "'";
            return parsed;
        }
        // --help wins over --version, whatever their order.
        if (parsed.action != ProgramOptions::Action::help) parsed.action = found->action;
    }
    return parsed;
}

std::string usageText() {
    std::string text = "Usage: velmont [options]\n"
                       "Asks a few questions and writes a starting faders.txt in the working "
                       "directory.\n\nOptions:\n";
    for (const OptionRow& row : kOptions) {
        std::string names = std::string("  -") + row.shortName + ", --" + row.longName;
        names.resize(22, ' ');
        text += names + row.help + "\n";
    }
    text += "  --                  end of the options\n";
    return text;
}

std::string versionText() {
    return "velmont 1.0\n";
}

} // namespace velmont
