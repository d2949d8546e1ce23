// velmont's options: help and version answer without asking anything, an
// unknown option is refused before the dialogue, and "--" ends the options.
#include <gtest/gtest.h>

#include "test_support.h"

namespace {

RunResult runVelmont(const TempDir& dir, const std::vector<std::string>& args,
                     const std::string& input = "") {
    RunOptions options;
    options.stdinText = input;
    options.separateStderr = true;
    options.timeoutSeconds = 10;
    return runProgram(VELMONT_EXE, args, dir.path(), options);
}

} // namespace

TEST(VelmontOptions, HelpVersionAndUnknownOptionsWriteNothing) {
    TempDir dir;
    const RunResult help = runVelmont(dir, {"-h"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: velmont [options]\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("-V, --version"), std::string::npos);
    EXPECT_EQ(runVelmont(dir, {"--help"}).out, help.out);

    const RunResult version = runVelmont(dir, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "velmont 1.0\n");

    const RunResult bad = runVelmont(dir, {"--channels=4"}, "1\n2\n-6\n1\n1\n");
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.out, ""); // no question was asked
    EXPECT_EQ(bad.err.rfind("velmont: unknown option '--channels=4'\nUsage: velmont", 0), 0u)
        << bad.err;
    EXPECT_TRUE(listDirectory(dir.path().string()).empty());
}

TEST(VelmontOptions, DoubleDashLeavesTheDialogueAsBefore) {
    TempDir plain, dashed;
    const std::string answers = "1\n2\n-6\n1\n1\n";
    const RunResult a = runVelmont(plain, {}, answers);
    const RunResult b = runVelmont(dashed, {"--"}, answers);
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(b.out, a.out);
    EXPECT_EQ(readText(dashed.file("faders.txt")), readText(plain.file("faders.txt")));
}
