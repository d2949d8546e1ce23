// The end-to-end check of how a program answers its options: each row runs
// the program in a fresh directory, with the same standard input for all.
#pragma once

#include <gtest/gtest.h>

#include "test_support.h"

// The arguments, the exit status, and the start of standard output and of
// standard error (an empty one: nothing at all).
using OptionAnswer = std::tuple<std::vector<std::string>, int, std::string, std::string>;

// Checks every row, and that no run left a file behind.
inline void expectOptionAnswers(const char* program, const std::string& input,
                                std::initializer_list<OptionAnswer> rows) {
    for (const auto& [args, status, out, err] : rows) {
        TempDir dir;
        RunOptions options;
        options.stdinText = input;
        options.separateStderr = true;
        const RunResult r = runProgram(program, args, dir.path(), options);
        EXPECT_EQ(r.status, status) << args[0];
        EXPECT_EQ(r.out.substr(0, out.empty() ? r.out.size() : out.size()), out);
        EXPECT_EQ(r.err.substr(0, err.empty() ? r.err.size() : err.size()), err);
        EXPECT_TRUE(listDirectory(dir.path().string()).empty()) << args[0];
    }
}
