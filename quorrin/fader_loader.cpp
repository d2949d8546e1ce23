// Fader file loading and cue parsing.
//
// Tokens are separated by tabs and newlines, as the mixer reads them, but a
// line's fields are never taken from the next line: a "t" or "v" line that is
// short of fields reads the missing ones as 0 instead of swallowing the line
// below it. A run of tabs counts as one separator. Numbers are read as a
// leading decimal number of the field; text that is not a number counts as 0,
// as it does for the mixer. Values beyond single precision are refused.
#include "quorrin/fader_loader.h"

#include "common/text_format.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>

namespace quorrin {

namespace {

// Walks the tab-separated fields of one line.
class LineFields {
  public:
    explicit LineFields(std::string_view line) : rest_(line) {}

    // The next field, skipping a run of tabs; empty at the end of the line.
    std::string_view next() {
        skipTabs();
        size_t end = rest_.find('\t');
        std::string_view field = rest_.substr(0, end);
        rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end);
        return field;
    }

    // Everything left on the line, as the last field of a line is read.
    std::string_view remainder() {
        skipTabs();
        return rest_;
    }

    // How many fields are left, without using them up.
    int32_t countLeft() const {
        LineFields copy = *this;
        int32_t count = 0;
        while (!copy.next().empty())
            ++count;
        return count;
    }

  private:
    void skipTabs() {
        while (!rest_.empty() && rest_.front() == '\t')
            rest_.remove_prefix(1);
    }
    std::string_view rest_;
};

struct Number {
    double value = 0.0;
    bool inRange = true;
    size_t length = 0; // characters of the field the number takes up
};

// Reads the leading decimal number of a field, 0 when there is none.
Number readNumber(std::string_view field) {
    std::string copy(field);
    Number number;
    char* end = nullptr;
    number.value = std::strtod(copy.c_str(), &end);
    number.length = static_cast<size_t>(end - copy.c_str());
    if (!std::isfinite(number.value) || std::fabs(number.value) > FLT_MAX) {
        number.value = 0.0;
        number.inRange = false;
    }
    return number;
}

enum class LastEntry {
    none,    // no "v" line yet: a ramp has nothing to attach to
    skipped, // the last "v" line was refused: its ramp goes with it
    kept,    // the last "v" line added an entry
};

class Parser {
  public:
    Parser(std::string_view text, int32_t timeFields, std::string_view fileName,
           std::vector<std::string>& messages, std::vector<ValuePlace>* places)
        : text_(text), timeFields_(timeFields), fileName_(fileName), messages_(messages),
          places_(places) {}

    void parseLine(std::string_view line, int32_t lineNumber);
    CueTable& table() { return table_; }

  private:
    void note(const char* what);
    // The leading number of a field (0, with a note, when out of range);
    // `plain` turns false unless the number fills a field that ends at a tab
    // (`whole`) or begins the rest of the line.
    float number(std::string_view field, bool whole, bool& plain);
    void addPlace(ValuePlace::Kind kind, std::string_view first, std::string_view last, float value,
                  int32_t fieldsFound, bool plain);
    void readTime(LineFields& fields);
    void readVolume(LineFields& fields);
    void readRamp(LineFields& fields);
    bool readSlot(LineFields& fields, int32_t& slot);

    CueTable table_;
    std::string_view text_; // the whole text, which every field points into
    int32_t timeFields_;
    std::string_view fileName_;
    std::vector<std::string>& messages_;
    int32_t lineNumber_ = 0;
    bool haveHeader_ = false;
    bool expectNameLine_ = false; // after "begin", the mix-name line comes next
    bool warnedTimeFields_ = false;
    float currentTime_ = 0.0f; // seconds; 0 before the first "t" line
    LastEntry last_ = LastEntry::none;
    int32_t lastSlot_ = 0;
    std::vector<ValuePlace>* places_; // null when the caller needs no places
};

bool isCueWord(std::string_view word) {
    return word == "t" || word == "v" || word == "rmp";
}

void Parser::note(const char* what) {
    messages_.push_back(toolset::formatText("%.*s line %d: %s", static_cast<int>(fileName_.size()),
                                            fileName_.data(), static_cast<int>(lineNumber_), what));
}

// Each field is read once: the files quorrin loads may hold millions of them.
float Parser::number(std::string_view field, bool whole, bool& plain) {
    const Number read = readNumber(field);
    if (!read.inRange) {
        std::string what(field.substr(0, field.find('\t')));
        note(toolset::formatText("%s is out of range; 0 is used", what.c_str()).c_str());
    }
    if (!read.inRange || read.length == 0 || (whole && read.length != field.size())) plain = false;
    return static_cast<float>(read.value);
}

void Parser::addPlace(ValuePlace::Kind kind, std::string_view first, std::string_view last,
                      float value, int32_t fieldsFound, bool plain) {
    if (places_ == nullptr) return;
    const size_t end = static_cast<size_t>(last.data() - text_.data()) + readNumber(last).length;
    places_->push_back(ValuePlace{kind, lineNumber_,
                                  static_cast<size_t>(first.data() - text_.data()), end, value,
                                  fieldsFound, plain});
}

void Parser::parseLine(std::string_view line, int32_t lineNumber) {
    lineNumber_ = lineNumber;
    LineFields fields(line);
    if (!haveHeader_) {
        std::string_view first = fields.next();
        if (first.empty()) return;
        table_.header = first;
        haveHeader_ = true;
        expectNameLine_ = first == "begin";
    } else if (expectNameLine_) {
        LineFields probe(line);
        std::string_view first = probe.next();
        if (first.empty()) return;
        expectNameLine_ = false;
        // A file whose cues follow "begin" directly has no name line; the
        // cue line must not be taken for one.
        if (!isCueWord(first)) {
            table_.nameLine = line;
            return;
        }
    }
    for (std::string_view word = fields.next(); !word.empty(); word = fields.next()) {
        if (word == "t") {
            readTime(fields);
            return;
        }
        if (word == "v") {
            readVolume(fields);
            return;
        }
        if (word == "rmp") {
            readRamp(fields);
            return;
        }
    }
}

void Parser::readTime(LineFields& fields) {
    int32_t found = fields.countLeft();
    if (found != timeFields_ && !warnedTimeFields_) {
        warnedTimeFields_ = true;
        note(toolset::formatText("found %d time fields where %d are read; times may be wrong (the "
                                 "second argument sets the count)",
                                 static_cast<int>(found), static_cast<int>(timeFields_))
                 .c_str());
    }
    double seconds = 0.0;
    bool plain = found == timeFields_;
    std::string_view first;
    std::string_view last;
    if (timeFields_ == 1) {
        first = last = fields.remainder();
        seconds = number(last, false, plain);
    } else if (timeFields_ == 2) {
        first = fields.next();
        double minutes = number(first, true, plain);
        last = fields.remainder();
        seconds = number(last, false, plain) + minutes * 60.0;
    } else {
        first = fields.next();
        double minutes = number(first, true, plain);
        double wholeSeconds = number(fields.next(), true, plain);
        last = fields.remainder();
        double milliseconds = number(last, false, plain);
        seconds = wholeSeconds + minutes * 60.0 + milliseconds / 1000.0;
    }
    if (std::fabs(seconds) > FLT_MAX) {
        note("the time is out of range; 0 is used");
        seconds = 0.0;
        plain = false;
    }
    currentTime_ = static_cast<float>(seconds);
    addPlace(ValuePlace::Kind::time, first, last, currentTime_, found, plain);
}

// Reads a channel field: a number 0 to 127, "M" for the master, or "G"
// followed by a submix number 1 to 8 in the next field.
bool Parser::readSlot(LineFields& fields, int32_t& slot) {
    std::string field(fields.next());
    if (field == "M") {
        slot = kMasterSlot;
        return true;
    }
    bool group = field == "G";
    if (group) field = fields.next();
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(field.c_str(), &end, 10);
    if (field.empty()) {
        note("the channel number is missing; entry skipped");
        return false;
    }
    if (end == field.c_str()) {
        note(toolset::formatText("%s%s is not a channel number; entry skipped", group ? "G " : "",
                                 field.c_str())
                 .c_str());
        return false;
    }
    bool outOfRange = errno == ERANGE;
    if (group) {
        if (outOfRange || value < 1 || value > kGroupCount) {
            note(toolset::formatText("submix G%s is outside G1 to G8; entry skipped", field.c_str())
                     .c_str());
            return false;
        }
        slot = groupSlot(static_cast<int32_t>(value));
        return true;
    }
    if (outOfRange || value < 0 || value >= kChannelCount) {
        note(toolset::formatText("channel %s is outside 0 to 127; entry skipped", field.c_str())
                 .c_str());
        return false;
    }
    slot = static_cast<int32_t>(value);
    return true;
}

void Parser::readVolume(LineFields& fields) {
    int32_t slot = 0;
    last_ = LastEntry::skipped;
    if (!readSlot(fields, slot)) return;
    const std::string_view field = fields.remainder();
    bool plain = true;
    float level = number(field, false, plain);
    std::vector<CueEntry>& entries = table_.slots[static_cast<size_t>(slot)];
    if (entries.size() >= static_cast<size_t>(kMaxEntries)) {
        note("the channel already holds 512 entries; entry skipped");
        return;
    }
    entries.push_back(CueEntry{currentTime_, level, 0.0f});
    addPlace(ValuePlace::Kind::level, field, field, level, 1, plain);
    last_ = LastEntry::kept;
    lastSlot_ = slot;
}

void Parser::readRamp(LineFields& fields) {
    const std::string_view field = fields.remainder();
    bool plain = true;
    float ramp = number(field, false, plain);
    if (last_ == LastEntry::none) {
        note("rmp line before any v line; ignored");
        return;
    }
    if (last_ == LastEntry::kept) {
        table_.slots[static_cast<size_t>(lastSlot_)].back().ramp = ramp;
        addPlace(ValuePlace::Kind::ramp, field, field, ramp, 1, plain);
    }
}

} // namespace

CueTable parseFaderText(std::string_view text, int32_t timeFields, std::string_view fileName,
                        std::vector<std::string>& messages, std::vector<ValuePlace>* places) {
    Parser parser(text, timeFields, fileName, messages, places);
    int32_t lineNumber = 0;
    // A byte-order mark, as some editors write, is not part of the first word.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        parser.parseLine(line, ++lineNumber);
    }
    return std::move(parser.table());
}

} // namespace quorrin
