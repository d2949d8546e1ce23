// tarvex: renders the mix of a session folder.
#include <string>
#include <vector>

#include "driver/run_sequence.h"

int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    return tarvex::runTarvex(args, stdin);
}
