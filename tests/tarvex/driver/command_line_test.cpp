// The tarvex command line: options before the file names, "--", the values
// of -j and --seed, and the one-line refusals.
#include <gtest/gtest.h>

#include "driver/command_line.h"

using tarvex::CommandLine;
using tarvex::parseCommandLine;
using Args = std::vector<std::string>;

TEST(CommandLine, FileNamesKeepTheirPlacesAroundOptions) {
    const CommandLine line = parseCommandLine({"--check", "t.txt", "-j", "3", "f.txt", "p.txt"});
    ASSERT_EQ(line.action, CommandLine::Action::run) << line.error;
    EXPECT_TRUE(line.options.check);
    EXPECT_TRUE(line.options.threadsSet);
    EXPECT_EQ(line.options.threads, 3);
    EXPECT_EQ(line.options.files, (Args{"t.txt", "f.txt", "p.txt"}));
    EXPECT_FALSE(line.options.seedSet);

    // After "--" a name beginning with "-" is a file, and so is "-" alone.
    const CommandLine dashed = parseCommandLine({"--seed=9", "--", "-t.txt", "--check"});
    ASSERT_EQ(dashed.action, CommandLine::Action::run) << dashed.error;
    EXPECT_EQ(dashed.options.files, (Args{"-t.txt", "--check"}));
    EXPECT_FALSE(dashed.options.check);
    EXPECT_EQ(dashed.options.seed, 9u);
    EXPECT_EQ(parseCommandLine({"-"}).options.files, Args{"-"});
}

TEST(CommandLine, ValuesAttachedOrSeparateAndTheirRanges) {
    EXPECT_EQ(parseCommandLine({"-j7"}).options.threads, 7);
    EXPECT_EQ(parseCommandLine({"--threads=64"}).options.threads, 64);
    EXPECT_EQ(parseCommandLine({"--threads", "1"}).options.threads, 1);
    EXPECT_EQ(parseCommandLine({"--seed", "4294967295"}).options.seed, 4294967295u);
    EXPECT_EQ(parseCommandLine({"--seed", "0"}).options.seed, 0u);

    for (const Args& bad :
         {Args{"-j", "0"}, Args{"-j", "65"}, Args{"-j", "-3"}, Args{"-j", "2x"}, Args{"--threads="},
          Args{"-j"}, Args{"--seed", "4294967296"}, Args{"--seed", "+5"}, Args{"--seed", " 5"}}) {
        const CommandLine line = parseCommandLine(bad);
        EXPECT_EQ(line.action, CommandLine::Action::usageError) << bad[0];
        EXPECT_FALSE(line.error.empty());
        EXPECT_EQ(line.error.find('\n'), std::string::npos) << line.error;
    }
    EXPECT_NE(parseCommandLine({"-j", "65"}).error.find("1 to 64"), std::string::npos);
}

TEST(CommandLine, HelpVersionAndUnknownOptions) {
    EXPECT_EQ(parseCommandLine({"-h"}).action, CommandLine::Action::help);
    EXPECT_EQ(parseCommandLine({"--version"}).action, CommandLine::Action::version);
    // Help wins over version whatever the order.
    EXPECT_EQ(parseCommandLine({"-V", "--help"}).action, CommandLine::Action::help);
    EXPECT_EQ(parseCommandLine({"--help", "-V"}).action, CommandLine::Action::help);

    const CommandLine unknown = parseCommandLine({"tracks.txt", "--frobnicate"});
    EXPECT_EQ(unknown.action, CommandLine::Action::usageError);
    EXPECT_EQ(unknown.error, "unknown option '--frobnicate'");
    EXPECT_EQ(parseCommandLine({"-x"}).action, CommandLine::Action::usageError);
    EXPECT_EQ(parseCommandLine({"--check=yes"}).action, CommandLine::Action::usageError);
    // An unknown option is refused even after --help.
    EXPECT_EQ(parseCommandLine({"--help", "--nope"}).action, CommandLine::Action::usageError);

    // One help line per option, each naming it.
    const std::string usage = tarvex::usageText();
    for (const char* name : {"--help", "--version", "--check", "--threads N", "--seed N", "--"})
        EXPECT_NE(usage.find(name), std::string::npos) << name;
    EXPECT_EQ(tarvex::versionText().rfind("tarvex ", 0), 0u);
}
