// Runs the built quorrin for the end-to-end tests.
#pragma once

#include <string>
#include <vector>

#include "test_support.h"

// Runs quorrin in `dir`; `out` is what it printed on standard output. Input is closed after the
// text, so a command left waiting for an answer meets end of input.
inline RunResult runQuorrin(const TempDir& dir, const std::vector<std::string>& args,
                            const std::string& input = "") {
    RunOptions options;
    options.stdinText = input;
    options.separateStderr = true;
    options.timeoutSeconds = 10;
    return runProgram(QUORRIN_EXE, args, dir.path(), options);
}
