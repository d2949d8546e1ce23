// quorrin [options] [--] [file] [fields]: loads a fader file (default
// "faders.txt") with 1, 2 or 3 time fields per time line (default 3), lists
// its entries per channel and hands the cue table to the menu. A file that
// cannot be opened ends the program with status 1 after the help text; an
// unknown option with status 2 after the usage. With an operation option the
// edits are made without the menu instead.
#include "common/file_text.h"
#include "quorrin/batch_run.h"
#include "quorrin/console.h"
#include "quorrin/cue_writer.h"
#include "quorrin/fader_loader.h"
#include "quorrin/program_options.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int kStatusNoFile = 1;
constexpr int kStatusUsage = 2;

// The second argument counts only when it reads (as a leading base-10
// number) as 1, 2 or 3.
int32_t timeFieldsArgument(const char* text) {
    errno = 0;
    long long value = std::strtoll(text, nullptr, 10);
    if (errno == 0 && value >= 1 && value <= 3) return static_cast<int32_t>(value);
    return quorrin::kDefaultTimeFields;
}

} // namespace

int main(int argc, char** argv) {
    // Past the file-size limit a write fails like one on a full disk and is
    // reported, instead of the signal ending the program mid-file.
    std::signal(SIGXFSZ, SIG_IGN);
    const quorrin::CommandLine commandLine =
        quorrin::parseProgramOptions(std::vector<std::string>(argv + 1, argv + argc));
    const toolset::OptionReading& options = commandLine.reading;
    switch (options.action) {
    case toolset::OptionReading::Action::help:
        std::cout << quorrin::usageText();
        return 0;
    case toolset::OptionReading::Action::version:
        std::cout << quorrin::versionText();
        return 0;
    case toolset::OptionReading::Action::usageError:
        std::cerr << "quorrin: " << options.error << "\n" << quorrin::usageText();
        return kStatusUsage;
    case toolset::OptionReading::Action::run:
        break;
    }
    const std::vector<std::string>& operands = options.operands;
    std::string fileName = !operands.empty() ? operands[0] : "faders.txt";
    int32_t timeFields =
        operands.size() > 1 ? timeFieldsArgument(operands[1].c_str()) : quorrin::kDefaultTimeFields;
    if (commandLine.batch)
        return quorrin::runBatch(commandLine.request, fileName, timeFields, std::cout, std::cerr);

    std::cout << "\nQuorrin 1.0  by the Tarvex toolset team\n";

    const toolset::FileText file = toolset::readFileText(fileName, toolset::kNoSizeLimit);
    if (file.status != toolset::FileText::Status::read) {
        // A file that cannot be opened, whatever the reason, counts as not found.
        if (file.status == toolset::FileText::Status::missing ||
            file.status == toolset::FileText::Status::unopenable)
            std::cout << "File " << fileName << " not found\n";
        else
            std::cout << "File " << fileName << " could not be read: " << std::strerror(file.error)
                      << "\n";
        quorrin::printHelp(std::cout);
        return kStatusNoFile;
    }

    std::vector<std::string> messages;
    quorrin::CueTable table = quorrin::parseFaderText(file.text, timeFields, fileName, messages);
    for (const std::string& message : messages)
        std::cout << message << "\n";
    std::cout << quorrin::formatEntryCounts(table);
    return quorrin::runMenu(table, timeFields, fileName, std::cin, std::cout);
}
