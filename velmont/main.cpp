// Velmont: asks which layout, how many channels and which effects a new mix
// script should have, then writes faders.txt in the current directory. The
// old faders.txt is replaced only once the new one is completely written; a
// dialogue that cannot be finished leaves it as it was.
//
// Exit status: 0 when the template was written (or, for the effects answer 4,
// deliberately not written) and for --help and --version, 1 when the user
// chose "Exit", 2 when the dialogue could not be finished, faders.txt could
// not be written or an option is unknown.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "velmont/dialogue.h"
#include "velmont/file_replace.h"
#include "velmont/program_options.h"
#include "velmont/template_text.h"

namespace {

constexpr const char* kFaderFile = "faders.txt";
constexpr int kStatusExitChosen = 1;
constexpr int kStatusFailed = 2;

// Every failure of the run ends here.
[[noreturn]] void endRun(int status, const std::string& message) {
    std::cout.flush();
    std::fprintf(stderr, "velmont: %s\n", message.c_str());
    std::exit(status);
}

} // namespace

int main(int argc, char** argv) {
    // Past the file-size limit a write fails like one on a full disk and is
    // reported, instead of the signal ending the program mid-file.
    std::signal(SIGXFSZ, SIG_IGN);
    const toolset::OptionReading options =
        velmont::parseProgramOptions(std::vector<std::string>(argv + 1, argv + argc));
    switch (options.action) {
    case toolset::OptionReading::Action::help:
        std::cout << velmont::usageText();
        return 0;
    case toolset::OptionReading::Action::version:
        std::cout << velmont::versionText();
        return 0;
    case toolset::OptionReading::Action::usageError:
        std::cerr << "velmont: " << options.error << "\n" << velmont::usageText();
        return kStatusFailed;
    case toolset::OptionReading::Action::run:
        break;
    }

    const velmont::DialogueOutcome outcome = velmont::askTemplateQuestions(std::cin, std::cout);
    if (outcome.kind == velmont::DialogueOutcome::Kind::exitChosen) return kStatusExitChosen;
    if (outcome.kind == velmont::DialogueOutcome::Kind::inputFault) {
        endRun(kStatusFailed, outcome.fault + "; " + kFaderFile + " was not changed.");
    }

    // The effects answer 4 writes nothing and confirms nothing; it still
    // leaves a faders.txt behind, but never empties one that holds a mix.
    if (outcome.settings.effectsChoice == 4) {
        if (const auto failure = velmont::createFileIfMissing(kFaderFile)) {
            endRun(kStatusFailed, *failure);
        }
        return 0;
    }

    std::string text;
    try {
        text = velmont::buildTemplateText(outcome.settings);
    } catch (const std::exception&) {
        endRun(kStatusFailed, "not enough memory for a template of " +
                                  std::to_string(outcome.settings.channelCount) + " channels; " +
                                  kFaderFile + " was not changed.");
    }
    if (const auto failure = velmont::replaceFileContents(kFaderFile, text)) {
        endRun(kStatusFailed, *failure);
    }
    std::cout << "The fader file has been created!\n"
              << "Remove parenthesis around codes to activate effects.\n";
    return 0;
}
