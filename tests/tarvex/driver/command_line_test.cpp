// The tarvex command line: its settings, their ranges and the first fault.
#include <gtest/gtest.h>

#include "driver/command_line.h"

using tarvex::CommandLine;
using tarvex::parseCommandLine;

namespace {

// The action and settings in one line, or the refusal.
std::string summary(const CommandLine& l) {
    if (l.action == CommandLine::Action::usageError) return l.error;
    std::string s = std::to_string(static_cast<int>(l.action));
    if (l.options.check) s += " check";
    if (l.options.threadsSet) s += " j" + std::to_string(l.options.threads);
    if (l.options.seedSet) s += " seed" + std::to_string(l.options.seed);
    for (const std::string& file : l.options.files)
        s += " [" + file + "]";
    return s;
}

TEST(CommandLine, SettingsRangesAndTheFirstFault) {
    const std::string threads = "--threads needs a whole number from 1 to 64, not ";
    const std::string seed = "--seed needs a whole number from 0 to 4294967295, not ";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--check", "t.txt", "-j", "3", "f.txt", "--seed=9", "p.txt"},
         "0 check j3 seed9 [t.txt] [f.txt] [p.txt]"},
        {{"--threads=64", "--seed", "4294967295"}, "0 j64 seed4294967295"},
        {{"--threads", "1", "--seed", "0", "-h"}, "1 j1 seed0"},
        {{"-j", "0", "--nope"}, threads + "'0'"},
        {{"--nope", "-j", "65"}, "unknown option '--nope'"},
        {{"-j2x"}, threads + "'2x'"},
        {{"--threads="}, threads + "''"},
        {{"--seed", "4294967296"}, seed + "'4294967296'"},
        {{"--seed", "+5"}, seed + "'+5'"},
        {{"--seed", " 5"}, seed + "' 5'"},
    };
    for (const auto& [args, expected] : cases)
        EXPECT_EQ(summary(parseCommandLine(args)), expected) << args[0];
}

} // namespace
