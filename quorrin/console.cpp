// Menu loop. Commands and answers are whitespace-separated words, so several
// may stand on one input line. An answer that should be a number and is not
// one changes nothing and returns to the menu; when standard input ends the
// program ends (status 0 at the menu, as if "x" had been given; status 1 at a
// prompt, since the command asked for was not carried out).
#include "quorrin/console.h"

#include "common/text_format.h"
#include "quorrin/cue_edits.h"
#include "quorrin/cue_writer.h"
#include "quorrin/save_file.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <istream>
#include <optional>
#include <ostream>

namespace quorrin {

namespace {

constexpr int32_t kStatusDone = 0;
constexpr int32_t kStatusInputEnded = 1;
// The last save that was asked for could not be written.
constexpr int32_t kStatusSaveFailed = 1;

// A whole word read as a finite single-precision number.
std::optional<float> wordToFloat(const std::string& word) {
    char* end = nullptr;
    double value = std::strtod(word.c_str(), &end);
    if (end == word.c_str() || *end != '\0') return std::nullopt;
    if (!std::isfinite(value) || std::fabs(value) > FLT_MAX) return std::nullopt;
    return static_cast<float>(value);
}

// A whole word read as a base-10 integer; out of range reads as 0, which
// every caller treats as an invalid choice.
std::optional<int32_t> wordToInt(const std::string& word) {
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(word.c_str(), &end, 10);
    if (end == word.c_str() || *end != '\0') return std::nullopt;
    if (errno == ERANGE || value < INT32_MIN || value > INT32_MAX) return 0;
    return static_cast<int32_t>(value);
}

class Menu {
  public:
    Menu(CueTable& table, int32_t timeFields, const std::string& loadedFile, std::istream& in,
         std::ostream& out)
        : table_(table), timeFields_(timeFields), loadedFile_(loadedFile), in_(in), out_(out) {}

    int32_t run();

  private:
    void printMenu();
    // Reads the answer to a prompt; false when input has ended.
    bool readAnswer(std::string& word);
    // Reads a number; none when input ended (`ended_` is set) or the answer
    // was not a number (which has been said).
    std::optional<float> readFloat();
    void changeOrdering();
    void changeTimeFields();
    void printToFile();

    CueTable& table_;
    int32_t timeFields_;
    Ordering ordering_ = Ordering::byTimes;
    const std::string& loadedFile_;
    std::istream& in_;
    std::ostream& out_;
    bool ended_ = false;
    bool saveFailed_ = false; // the last `pf` wrote nothing usable
};

void Menu::printMenu() {
    float last = latestTime(table_);
    float first = earliestTime(table_, last);
    out_ << "\n"
         << toolset::formatText("First time at %.3f\n", static_cast<double>(first))
         << toolset::formatText("Last time at  %.3f\n", static_cast<double>(last)) << "\n"
         << "'nt' to nudge times\n"
         << "'st' to scale times\n"
         << "'av' to adjust volumes\n"
         << "'ps' to print to screen\n"
         << "'pf' to print to file\n"
         << "'cf' to change number of time fields\n"
         << "'co' to change ordering mode\n"
         << "'x' to exit\n";
}

bool Menu::readAnswer(std::string& word) {
    if (in_ >> word) return true;
    out_ << "\nInput ended at a prompt; the command was not carried out.\n";
    ended_ = true;
    return false;
}

std::optional<float> Menu::readFloat() {
    std::string word;
    if (!readAnswer(word)) return std::nullopt;
    std::optional<float> value = wordToFloat(word);
    if (!value) out_ << "'" << word << "' is not a number; nothing was changed.\n";
    return value;
}

void Menu::changeTimeFields() {
    out_ << toolset::formatText("Currently using %i time fields\n", static_cast<int>(timeFields_))
         << "Enter new value (1-3)\n";
    std::string word;
    if (!readAnswer(word)) return;
    std::optional<int32_t> value = wordToInt(word);
    if (!value) {
        out_ << "'" << word << "' is not a number; nothing was changed.\n";
        return;
    }
    timeFields_ = *value >= 1 && *value <= 3 ? *value : kDefaultTimeFields;
}

void Menu::changeOrdering() {
    if (ordering_ == Ordering::byChannels)
        out_ << "Currently ordered by channels\n"
             << "Enter 's' to switch to ordering by times\n"
             << "Enter 'k' to keep ordering by channels\n";
    else
        out_ << "Currently ordered by times\n"
             << "Enter 's' to switch to ordering by channels\n"
             << "Enter 'k' to keep ordering by times\n";
    std::string word;
    if (!readAnswer(word)) return;
    if (word == "s")
        ordering_ = ordering_ == Ordering::byChannels ? Ordering::byTimes : Ordering::byChannels;
}

void Menu::printToFile() {
    std::string text = formatCues(table_, timeFields_, ordering_);
    out_ << leftOutWarning(table_, ordering_) << "Enter filename\n";
    std::string name;
    if (!readAnswer(name)) return;
    const SaveResult result = saveCueText(text, name, loadedFile_, in_, out_);
    if (result == SaveResult::inputEnded) {
        out_ << "\nInput ended at a prompt; the command was not carried out.\n";
        ended_ = true;
    }
    if (result == SaveResult::failed) saveFailed_ = true;
    if (result == SaveResult::written) saveFailed_ = false;
}

int32_t Menu::run() {
    for (;;) {
        printMenu();
        std::string command;
        if (!(in_ >> command) || command == "x")
            return saveFailed_ ? kStatusSaveFailed : kStatusDone;
        if (command == "nt") {
            out_ << "Enter nudge amount in seconds\n";
            if (std::optional<float> seconds = readFloat()) nudgeTimes(table_, *seconds);
        } else if (command == "st") {
            out_ << "Enter scale factor (0.001 to 1000)\n";
            if (std::optional<float> factor = readFloat()) scaleTimes(table_, *factor);
        } else if (command == "av") {
            out_ << "Enter change in dB\n";
            if (std::optional<float> dB = readFloat()) adjustLevels(table_, *dB);
        } else if (command == "ps") {
            out_ << "\n"
                 << formatCues(table_, timeFields_, ordering_) << "\n"
                 << leftOutWarning(table_, ordering_);
        } else if (command == "pf") {
            printToFile();
        } else if (command == "cf") {
            changeTimeFields();
        } else if (command == "co") {
            changeOrdering();
        }
        if (ended_) return kStatusInputEnded;
    }
}

} // namespace

void printHelp(std::ostream& out) {
    out << "\nHelp:\n"
        << "This program is used to adjust a file called faders.txt.\n"
        << "This is a file that controls the Tarvex program.\n"
        << "\nYou can load in a different filename as the 1st argument.\n"
        << "\nYou can set the time fields with the 2nd argument.\n"
        << "1 = time in seconds\n"
        << "2 = time in minutes and seconds\n"
        << "3 = time in minutes, seconds and milliseconds. (default)\n"
        << "You can change the fields after you have the correct fields to\n"
        << "load the file initially.\n"
        << "\nOnce the file is loaded correctly, you can scale times and volumes,\n"
        << "nudge times, and change formatting.\n\n";
}

int32_t runMenu(CueTable& table, int32_t timeFields, const std::string& loadedFile,
                std::istream& in, std::ostream& out) {
    return Menu(table, timeFields, loadedFile, in, out).run();
}

} // namespace quorrin
