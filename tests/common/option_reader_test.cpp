// The option reader: operands around options and after "--", values attached
// or separate, help over version, the one-line refusals, and the help lines.
#include <gtest/gtest.h>

#include "common/option_reader.h"

using namespace toolset;

namespace {

const OptionRow kValued[] = {kHelpRow,
                             kVersionRow,
                             {'\0', "check", nullptr, "check only", 0},
                             {'j', "threads", "N", "workers", 1}};
const OptionRow kPlain[] = {kHelpRow, kVersionRow};

// Action, [operands], setting=value and ": error" in one line.
std::string summary(const OptionReading& r) {
    std::string s = std::to_string(static_cast<int>(r.action));
    for (const std::string& operand : r.operands)
        s += " [" + operand + "]";
    for (const GivenSetting& given : r.settings)
        s.append(" ").append(std::to_string(given.sets)).append("=").append(given.value);
    return r.error.empty() ? s : s.append(": ").append(r.error);
}

TEST(OptionReader, ReadsTheTableAndRefusesWithOneLine) {
    const std::tuple<std::span<const OptionRow>, std::vector<std::string>, const char*> cases[] = {
        {kValued, {"--check", "t", "-j", "3", "--", "-f", "-h"}, "0 [t] [-f] [-h] 0= 1=3"},
        {kValued, {"-", "-j7", "--threads", "-3", "--threads="}, "0 [-] 1=7 1=-3 1="},
        {kValued, {"-V", "--help"}, "1"},
        {kValued, {"--help", "-V"}, "1"},
        {kValued, {"--version"}, "2"},
        {kValued, {"-j"}, "3: option --threads needs a value N"},
        {kValued, {"a", "--frobnicate", "b"}, "3 [a]: unknown option '--frobnicate'"},
        {kValued, {"--check=yes"}, "3: option '--check=yes' takes no value"},
        {kValued, {"-hx"}, "3: option '-hx' takes no value"},
        // The settings before a refusal stay, for the program to check first.
        {kValued, {"--help", "-j", "2", "--nope"}, "3 1=2: unknown option '--nope'"},
        {kPlain, {"--help=x"}, "3: unknown option '--help=x'"},
        {kPlain, {"-Vh"}, "3: unknown option '-Vh'"},
        {kPlain, {"-h", "--", "-x"}, "1 [-x]"},
    };
    for (const auto& [table, args, expected] : cases)
        EXPECT_EQ(summary(readOptions(table, args)), expected) << args[0];
    EXPECT_EQ(optionHelpLines(kValued), "  -h, --help          show this help and exit\n"
                                        "  -V, --version       show the version and exit\n"
                                        "      --check         check only\n"
                                        "  -j, --threads N     workers\n");
}

} // namespace
