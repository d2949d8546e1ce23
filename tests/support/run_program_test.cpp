#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

const std::string kSh = "/bin/sh";

RunResult sh(const std::string& script, const std::string& input = "") {
    return runProgram(kSh, {"-c", script}, "/", input);
}

TEST(RunProgram, ReportsExitStatusAndSignal) {
    EXPECT_EQ(sh("exit 0").status, 0);
    EXPECT_EQ(sh("exit 3").status, 3);
    EXPECT_EQ(sh("exit 255").status, 255);
    EXPECT_EQ(sh("kill -TERM $$").status, 128 + 15);
}

TEST(RunProgram, PassesArgumentsWithoutAShell) {
    const RunResult r =
        runProgram(kSh, {"-c", "printf '%s|' \"$@\"", "sh", "a b", "*", "$HOME", ""}, "/");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "a b|*|$HOME||");
}

TEST(RunProgram, FeedsStandardInputAndClosesIt) {
    const RunResult r = runProgram("/bin/cat", {}, "/", "first line\nsecond\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "first line\nsecond\n");

    // Without text the program sees end of file at once instead of waiting.
    const RunResult empty = runProgram("/bin/cat", {}, "/");
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "");
}

TEST(RunProgram, KeepsStandardInputOpenWhenAsked) {
    const std::string script =
        "read a; echo \"got $a\"; if read b; then echo more; else echo eof; fi";
    const RunResult closed = runProgram(kSh, {"-c", script}, "/", "x\n", true, 10);
    EXPECT_EQ(closed.status, 0);
    EXPECT_EQ(closed.out, "got x\neof\n");

    // Left open, the second read waits for more input until the time limit kills the program.
    const RunResult open = runProgram(kSh, {"-c", script}, "/", "x\n", false, 1);
    EXPECT_EQ(open.status, 128 + 9);
    EXPECT_EQ(open.out.rfind("got x\n", 0), 0u) << open.out;
    EXPECT_NE(open.out.find("killed after 1 s"), std::string::npos);
}

TEST(RunProgram, CapturesStandardErrorInOrder) {
    const RunResult r = sh("echo one; echo two >&2; echo three");
    EXPECT_EQ(r.out, "one\ntwo\nthree\n");
    EXPECT_EQ(r.err, "");
}

TEST(RunProgram, KeepsStandardErrorApartWhenAsked) {
    RunOptions apart;
    apart.separateStderr = true;
    apart.stdinText = "in\n";
    const RunResult r =
        runProgram(kSh, {"-c", "echo one; echo two >&2; cat; echo four >&2"}, "/", apart);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "one\nin\n");
    EXPECT_EQ(r.err, "two\nfour\n");

    // Both pipes full at once: each must be drained while the other waits.
    const RunResult big = runProgram(
        kSh, {"-c", "head -c 3000000 /dev/zero >&2 & head -c 4000000 /dev/zero; wait"}, "/", apart);
    EXPECT_EQ(big.status, 0);
    EXPECT_EQ(big.out.size(), 4000000u);
    EXPECT_EQ(big.err.size(), 3000000u);

    // Why a program could not start is on its standard error.
    TempDir dir;
    const RunResult missing = runProgram(dir.file("no-such-program"), {}, "/", apart);
    EXPECT_EQ(missing.status, 127);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("no-such-program"), std::string::npos) << missing.err;
}

TEST(RunProgram, FileSizeLimitFailsWritesWithoutKillingTheProgram) {
    TempDir dir;
    const std::string script = "head -c 10000 /dev/zero > big.bin; echo \"status $?\"; "
                               "head -c 10000 /dev/zero | wc -c";
    const RunResult free = runProgram(kSh, {"-c", script}, dir.path().string());
    EXPECT_EQ(free.out, "status 0\n10000\n");
    EXPECT_EQ(std::filesystem::file_size(dir.file("big.bin")), 10000u);

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

TEST(RunProgram, RunsInTheGivenDirectory) {
    TempDir dir;
    const RunResult r = runProgram("/bin/pwd", {}, dir.path().string());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::filesystem::canonical(dir.path()).string() + "\n");

    // Relative paths given to the program resolve against that directory.
    writeText(dir.file("note.txt"), "here\n");
    EXPECT_EQ(runProgram("/bin/cat", {"note.txt"}, dir.path().string()).out, "here\n");
}

TEST(RunProgram, LargeOutputDoesNotBlock) {
    const RunResult r = sh("head -c 5000000 /dev/zero");
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.out.size(), 5000000u);
    EXPECT_TRUE(std::all_of(r.out.begin(), r.out.end(), [](char c) { return c == '\0'; }));
}

TEST(RunProgram, LargeInputAndOutputTogetherDoNotBlock) {
    // cat writes back while we still write: both pipes fill unless they are served together.
    std::string input;
    for (int32_t i = 0; input.size() < 3000000; ++i)
        input += std::to_string(i) + "\n";
    const RunResult r = runProgram("/bin/cat", {}, "/", input);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out == input) << "output of " << r.out.size() << " bytes differs";
}

TEST(RunProgram, ProgramThatIgnoresItsInputDoesNotKillTheCaller) {
    const RunResult r = sh("exit 4", std::string(2000000, 'x'));
    EXPECT_EQ(r.status, 4);
}

TEST(RunProgram, ReportsAProgramThatCannotStart) {
    TempDir dir;
    const RunResult missing = runProgram(dir.file("no-such-program"), {}, "/");
    EXPECT_EQ(missing.status, 127);
    EXPECT_NE(missing.out.find("no-such-program"), std::string::npos) << missing.out;

    const RunResult badDir = runProgram("/bin/pwd", {}, dir.file("no-such-dir"));
    EXPECT_EQ(badDir.status, 127);
    EXPECT_NE(badDir.out.find("no-such-dir"), std::string::npos) << badDir.out;
}

TEST(TempDirTest, IsUniqueAndRemovedWithItsContents) {
    std::filesystem::path kept;
    {
        TempDir a;
        TempDir b;
        EXPECT_NE(a.path(), b.path());
        EXPECT_TRUE(std::filesystem::is_directory(a.path()));
        std::filesystem::create_directories(a.path() / "sub" / "deeper");
        writeText(a.file("sub/deeper/f.txt"), "x");
        kept = a.path();
    }
    EXPECT_FALSE(std::filesystem::exists(kept));
}

} // namespace
