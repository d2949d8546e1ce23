// The program runner every end-to-end test relies on: the cases that could
// hang or mislead a test.
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const std::string kSh = "/bin/sh";

TEST(RunProgram, StatusesAndMergedOutput) {
    const struct {
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string out;
    } rows[] = {
        {{"-c", "exit 3"}, "", 3, ""},
        {{"-c", "kill -TERM $$"}, "", 128 + 15, ""},
        // Standard error is merged in order.
        {{"-c", "echo one; echo two >&2; echo three"}, "", 0, "one\ntwo\nthree\n"},
        // A program that ignores a large input does not kill the caller.
        {{"-c", "exit 4"}, std::string(2000000, 'x'), 4, ""},
    };
    for (const auto& row : rows) {
        const RunResult r = runProgram(kSh, row.args, "/", row.input);
        EXPECT_EQ(r.status, row.status) << row.args[1];
        EXPECT_EQ(r.out, row.out) << row.args[1];
    }
}

TEST(RunProgram, KillsAProgramStillRunningAtTheTimeLimit) {
    // Standard input left open: the second read waits until the time limit.
    const std::string script = "read a; echo \"got $a\"; read b";
    const RunResult open = runProgram(kSh, {"-c", script}, "/", "x\n", false, 1);
    EXPECT_EQ(open.status, 128 + 9);
    EXPECT_EQ(open.out.rfind("got x\n", 0), 0u) << open.out;
    EXPECT_NE(open.out.find("killed after 1 s"), std::string::npos);
}

TEST(RunProgram, PipesNeverBlock) {
    RunOptions apart;
    apart.separateStderr = true;
    apart.stdinText = "in\n";
    RunResult r = runProgram(kSh, {"-c", "echo one; echo two >&2; cat; echo four >&2"}, "/", apart);
    EXPECT_EQ(r.out, "one\nin\n");
    EXPECT_EQ(r.err, "two\nfour\n");
    // Both output pipes full at once: each is drained while the other waits.
    r = runProgram(kSh, {"-c", "head -c 3000000 /dev/zero >&2 & head -c 4000000 /dev/zero; wait"},
                   "/", apart);
    EXPECT_EQ(r.out.size(), 4000000u);
    EXPECT_EQ(r.err.size(), 3000000u);
    // cat writes back while the input is still being written.
    std::string input;
    for (int32_t i = 0; input.size() < 3000000; ++i)
        input += std::to_string(i) + "\n";
    r = runProgram("/bin/cat", {}, "/", input);
    EXPECT_TRUE(r.out == input) << "output of " << r.out.size() << " bytes differs";
}

TEST(RunProgram, FileSizeLimitFailsWritesWithoutKillingTheProgram) {
    TempDir dir;
    const std::string script = "head -c 10000 /dev/zero > big.bin; echo \"status $?\"; "
                               "head -c 10000 /dev/zero | wc -c";
    RunOptions limited;
    limited.fileSizeLimit = 4096;
    limited.separateStderr = true;
    const RunResult r = runProgram(kSh, {"-c", script}, dir.path().string(), limited);
    EXPECT_EQ(r.status, 0) << "the program goes on after the failed write";
    // The file stops at the limit and the writer sees an error; pipes are not limited.
    EXPECT_EQ(r.out, "status 1\n10000\n");
    EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
    EXPECT_EQ(std::filesystem::file_size(dir.file("big.bin")), 4096u);
}

} // namespace
