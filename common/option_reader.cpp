// The table-driven reader of command lines.
#include "common/option_reader.h"

#include <algorithm>
#include <string_view>

namespace toolset {

namespace {

// Column at which the help of an option starts in --help.
constexpr std::size_t kHelpColumn = 22;

const OptionRow* findLong(std::span<const OptionRow> table, std::string_view name) {
    for (const OptionRow& row : table)
        if (name == row.longName) return &row;
    return nullptr;
}

const OptionRow* findShort(std::span<const OptionRow> table, char name) {
    for (const OptionRow& row : table)
        if (row.shortName != '\0' && row.shortName == name) return &row;
    return nullptr;
}

} // namespace

OptionReading readOptions(std::span<const OptionRow> table, const std::vector<std::string>& args) {
    OptionReading reading;
    auto refuse = [&reading](const std::string& why) {
        reading.action = OptionReading::Action::usageError;
        reading.error = why;
        return reading;
    };
    const bool valuesAttach = std::any_of(
        table.begin(), table.end(), [](const OptionRow& row) { return row.valueName != nullptr; });
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            reading.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // "--name", "--name=value", "-x", "-x value" or "-xvalue".
        const OptionRow* row = nullptr;
        std::string value;
        bool valueAttached = false;
        if (arg[1] == '-') {
            const std::size_t eq = valuesAttach ? arg.find('=') : std::string::npos;
            row = findLong(table,
                           std::string_view(arg).substr(2, eq == std::string::npos ? eq : eq - 2));
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                valueAttached = true;
            }
        } else if (valuesAttach || arg.size() == 2) {
            row = findShort(table, arg[1]);
            if (arg.size() > 2) {
                value = arg.substr(2);
                valueAttached = true;
            }
        }
        if (row == nullptr) return refuse("unknown option '" + arg + "'");
        if (row->valueName == nullptr && valueAttached)
            return refuse("option '" + arg + "' takes no value");
        if (row->valueName != nullptr && !valueAttached) {
            if (i + 1 >= args.size())
                return refuse(std::string("option --") + row->longName + " needs a value " +
                              row->valueName);
            value = args[++i];
        }
        if (row->sets == kShowHelp)
            reading.action = OptionReading::Action::help;
        else if (row->sets == kShowVersion) {
            if (reading.action == OptionReading::Action::run)
                reading.action = OptionReading::Action::version;
        } else
            reading.settings.push_back({row->sets, value});
    }
    return reading;
}

std::string optionHelpLines(std::span<const OptionRow> table) {
    std::string text;
    for (const OptionRow& row : table) {
        std::string names = row.shortName != '\0' ? std::string("  -") + row.shortName + ", "
                                                  : std::string("      ");
        names += std::string("--") + row.longName;
        if (row.valueName != nullptr) names += std::string(" ") + row.valueName;
        names.resize(std::max(kHelpColumn, names.size() + 1), ' ');
        text += names + row.help + "\n";
    }
    return text;
}

} // namespace toolset
