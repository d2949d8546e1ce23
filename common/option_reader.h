// Reading a program's command line against its table of options.
//
// Options come first and may stand anywhere before "--"; every argument that
// begins with "-" (other than "-" alone) is an option, and every other one,
// or any after "--", is an operand. An option is named "--name" or "-x". In
// a program with options that take a value, the value may be attached
// ("--name=value", "-xvalue") or be the next argument ("--name value",
// "-x value"), and a value attached to an option that takes none is refused.
// In a program none of whose options take a value, "--name=value" and
// "-xvalue" are simply unknown options.
//
// Reading stops at the first argument it refuses. --help wins over --version
// whatever their order; neither stops the reading, so a later unknown option
// is still refused.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace toolset {

// What a row of the table asks for when it is not a setting of the program.
constexpr int32_t kShowHelp = -1;
constexpr int32_t kShowVersion = -2;

// One option of a program.
struct OptionRow {
    char shortName;        // '\0' when the option has no short form
    const char* longName;  // without the leading "--"
    const char* valueName; // the value's name in --help; nullptr for an option without one
    const char* help;      // the option's line in --help
    int32_t sets;          // kShowHelp, kShowVersion, or the program's number of a setting
};

// The two options every program of the toolset has.
constexpr OptionRow kHelpRow = {'h', "help", nullptr, "show this help and exit", kShowHelp};
constexpr OptionRow kVersionRow = {'V', "version", nullptr, "show the version and exit",
                                   kShowVersion};

// A setting option as the command line gave it.
struct GivenSetting {
    int32_t sets;      // the row's setting number
    std::string value; // its value; empty for an option without one
};

// The outcome of reading a command line.
struct OptionReading {
    enum class Action { run, help, version, usageError };
    Action action = Action::run;
    std::vector<std::string> operands;  // the arguments that are not options, in order
    std::vector<GivenSetting> settings; // the setting options read, in command-line order
    std::string error;                  // one line (without newline) when action is usageError
};

// Reads the arguments after the program name. On a usage error `settings`
// holds those read before the refused argument, so a program that checks
// their values in order can refuse an earlier one first.
OptionReading readOptions(std::span<const OptionRow> table, const std::vector<std::string>& args);

// The lines of --help that list the options, one per row: the names (and the
// value) padded to a column, then the row's help.
std::string optionHelpLines(std::span<const OptionRow> table);

} // namespace toolset
