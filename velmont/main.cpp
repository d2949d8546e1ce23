// Velmont: asks which layout, how many channels and which effects a new mix
// script should have, then writes faders.txt in the current directory. The
// old faders.txt is replaced only once the new one is completely written; a
// dialogue that cannot be finished leaves it as it was.
//
// With the answers given as options nothing is asked: the template goes to
// the -o file (faders.txt by default), which must not exist unless --force is
// given.
//
// Exit status: 0 when the template was written (or, for the effects answer 4,
// deliberately not written) and for --help and --version, 1 when the user
// chose "Exit" or the -o file exists without --force, 2 when the dialogue
// could not be finished, the file could not be written or an option is
// unknown or ill-formed.
#include <sys/stat.h>

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
constexpr int kStatusFileExists = 1;
constexpr int kStatusFailed = 2;

// Every failure of the run ends here.
[[noreturn]] void endRun(int status, const std::string& message) {
    std::cout.flush();
    std::fprintf(stderr, "velmont: %s\n", message.c_str());
    std::exit(status);
}

// Builds the text for `settings` and puts it in `path`; ends the run on a failure.
void writeTemplate(const velmont::TemplateSettings& settings, const std::string& path) {
    std::string text;
    try {
        text = velmont::buildTemplateText(settings);
    } catch (const std::exception&) {
        endRun(kStatusFailed, "not enough memory for a template of " +
                                  std::to_string(settings.channelCount) + " channels; " + path +
                                  " was not changed.");
    }
    if (const auto failure = velmont::replaceFileContents(path, text)) {
        endRun(kStatusFailed, *failure);
    }
}

} // namespace

int main(int argc, char** argv) {
    // Past the file-size limit a write fails like one on a full disk and is
    // reported, instead of the signal ending the program mid-file.
    std::signal(SIGXFSZ, SIG_IGN);
    const velmont::CommandLine commandLine =
        velmont::parseProgramOptions(std::vector<std::string>(argv + 1, argv + argc));
    const toolset::OptionReading& options = commandLine.reading;
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
    if (commandLine.answered) {
        struct stat info;
        if (!commandLine.force && lstat(commandLine.output.c_str(), &info) == 0) {
            endRun(kStatusFileExists,
                   commandLine.output + " exists; --force replaces it. Nothing was written.");
        }
        writeTemplate(commandLine.settings, commandLine.output);
        return 0;
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

    writeTemplate(outcome.settings, kFaderFile);
    std::cout << "The fader file has been created!\n"
              << "Remove parenthesis around codes to activate effects.\n";
    return 0;
}
