// tarvex: renders the mix of a session folder.
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/command_line.h"
#include "driver/run_sequence.h"

int main(int argc, char** argv) {
    // Past the file-size limit a write fails like one on a full disk and is
    // reported, instead of the signal ending the program mid-file.
    std::signal(SIGXFSZ, SIG_IGN);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    const tarvex::CommandLine line = tarvex::parseCommandLine(args);
    switch (line.action) {
    case tarvex::CommandLine::Action::help:
        std::fputs(tarvex::usageText().c_str(), stdout);
        return 0;
    case tarvex::CommandLine::Action::version:
        std::fputs(tarvex::versionText().c_str(), stdout);
        return 0;
    case tarvex::CommandLine::Action::usageError:
        std::fprintf(stderr, "tarvex: %s\n%s", line.error.c_str(), tarvex::usageText().c_str());
        return 2;
    case tarvex::CommandLine::Action::run:
        break;
    }
    return tarvex::runTarvex(line.options, stdin);
}
