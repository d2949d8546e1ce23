// quorrin [file] [fields]: loads a fader file (default "faders.txt") with 1,
// 2 or 3 time fields per time line (default 3), lists its entries per
// channel and hands the cue table to the menu. A file that cannot be opened
// ends the program with status 1 after the help text.
#include "console.h"
#include "cue_writer.h"
#include "fader_loader.h"

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int kStatusNoFile = 1;

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
    std::cout << "\nQuorrin 1.0  by the Tarvex toolset team\n";
    std::string fileName = argc > 1 ? argv[1] : "faders.txt";
    int32_t timeFields = argc > 2 ? timeFieldsArgument(argv[2]) : quorrin::kDefaultTimeFields;

    std::string text;
    std::string reason;
    quorrin::ReadStatus status = quorrin::ReadFile(fileName, text, reason);
    if (status == quorrin::ReadStatus::notFound) {
        std::cout << "File " << fileName << " not found\n";
        quorrin::Help(std::cout);
        return kStatusNoFile;
    }
    if (status == quorrin::ReadStatus::readError) {
        std::cout << "File " << fileName << " could not be read: " << reason << "\n";
        quorrin::Help(std::cout);
        return kStatusNoFile;
    }

    std::vector<std::string> messages;
    quorrin::CueTable table = quorrin::ParseBuffer(text, timeFields, fileName, messages);
    for (const std::string& message : messages)
        std::cout << message << "\n";
    std::cout << quorrin::formatEntryCounts(table);
    return quorrin::runMenu(table, timeFields, fileName, std::cin, std::cout);
}
