// Reading the control files: the "begin" framing, keyword lookup, number
// conversion and the small shared helpers that sit on top of them.
//
// Control files are read whole. Tokens are separated by tabs and newlines; a
// keyword is a whole token; every search runs from the start of the text up
// to the token "end". A keyword's values are the fields that follow it on the
// same line. Carriage returns before a newline are dropped, so files written
// on other systems read the same.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

class Diagnostics;

// The part of a control file that the readers use.
struct FramedText {
    std::string text; // from the newline that ends the "begin" line (or the whole text)
    int firstLine;    // file line number of the first line of `text`
};

// Largest control file read: far beyond any real mix script (512 cues for
// each of 137 slots come to about 2 MiB), small enough to read on the board.
constexpr int64_t kMaxControlFileBytes = 32 * 1024 * 1024;

// Reads a whole file into `out`; false when there is no such file. A file
// that exists but cannot be read (a directory, a read error, over
// kMaxControlFileBytes) ends the run with status 2 and a message naming it.
// A named pipe is read without waiting for a writer to appear.
bool readWholeFile(const std::string& path, std::string& out);

// Drops the carriage return of every CR LF line end.
std::string dropCarriageReturns(std::string_view text);

// Finds the first "begin" that stands as a whole word (bounded by spaces, tabs,
// line ends or the ends of the text) and keeps the text from the newline that
// ends its line. Without such a word the whole text is kept.
FramedText frameAfterBegin(std::string_view text);

// Whole-text number conversions: leading blanks, an optional sign and the
// longest number that follows; text that is not a number gives 0. Integers
// saturate at the 32-bit limits.
int32_t parseInt(std::string_view text);
int64_t parseLong(std::string_view text);
double parseDouble(std::string_view text);
// A value field of an effect line: as parseDouble, but "nan" (which the
// decimal conversion accepts) counts as 0 like any other text.
double parseFieldNumber(std::string_view text);

// Splits the text into its lines. Entry 0 is the text's start, entry j the
// text after the j-th newline; a text ending with a newline gives a last,
// empty line. The number of newlines is the size less one.
std::vector<std::string_view> pointToLines(std::string_view text);

// One occurrence of a keyword in a control text.
struct KeywordHit {
    std::size_t line;  // index into the text's lines
    std::size_t field; // index of the keyword among the line's fields
};

// A control text split into lines of tab-separated fields, up to the token
// "end". Empty fields (runs of tabs) are skipped.
class KeywordText {
  public:
    KeywordText(std::string text, int firstLine);
    // The line views point into the value itself: it stays where it was made.
    KeywordText(const KeywordText&) = delete;
    KeywordText& operator=(const KeywordText&) = delete;

    // Every occurrence of the keyword as a whole token, in text order.
    std::vector<KeywordHit> find(std::string_view keyword) const;
    // The first and the last occurrence; false when there is none.
    bool first(std::string_view keyword, KeywordHit& hit) const;
    bool last(std::string_view keyword, KeywordHit& hit) const;
    // Number of fields after the keyword on its line.
    std::size_t valueCount(const KeywordHit& hit) const;
    // The k-th field after the keyword (0-based), or "" when the line has none.
    std::string_view value(const KeywordHit& hit, std::size_t k) const;
    // The raw text of the line after the keyword and the tabs that follow it.
    std::string_view restOfLine(const KeywordHit& hit) const;
    // File line number of a hit, for messages.
    int fileLine(const KeywordHit& hit) const { return firstLine_ + static_cast<int>(hit.line); }

    std::size_t lineCount() const { return lines_.size(); }
    const std::vector<std::string_view>& fields(std::size_t line) const {
        return lines_[line].fields;
    }
    int fileLineOf(std::size_t line) const { return firstLine_ + static_cast<int>(line); }

  private:
    struct Line {
        std::string_view raw;                 // the whole line
        std::vector<std::string_view> fields; // non-empty tab-separated fields
        std::vector<std::size_t> ends;        // offset in raw just past each field
    };
    std::string text_;
    int firstLine_;
    std::vector<Line> lines_;
};

// Reads every line of one effect code into a table of 136 rows of `width`
// doubles: column 0 becomes 1.0 for an addressed entry, columns 1 to
// fieldCount - 1 take the line's values in order. Only a line whose first
// field is the code counts. "M" addresses entry 0 and sets both master flags;
// "G" n addresses entry 127 + n; an entry above 135 becomes 135 with the
// channel message. Values are read from the line itself: a missing one is 0
// and prints a warning. A line with a negative channel or none at all is
// skipped with a message. `fileName` names the file in messages. With
// `diagnostics`, every line not used as written is named there too; with
// `rowLines` (136 entries), each addressed entry gets the file line that set
// it, and the others 0.
void readEffectRows(const KeywordText& text, std::string_view code, std::span<double> table,
                    int width, int fieldCount, int& anyMaster, int& codeMaster,
                    const std::string& fileName, Diagnostics* diagnostics = nullptr,
                    std::span<int32_t> rowLines = {});

} // namespace tarvex
