// The preferences file as read once: its lines split into tab-separated
// fields, each line with its file line number, and the layout slips that the
// warnings name.
//
// The reader only splits text: it does no I/O, prints nothing, never ends the
// run and knows no setting. The stages that read settings look keywords up in
// the value and keep their own checks and messages. The framing is that of
// every control file: the text up to the line holding the first whole word
// "begin" is skipped, CR LF counts as LF, fields are separated by tabs (runs
// of tabs count as one; spaces belong to the fields) and the token "end"
// closes the body, together with the rest of its line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// One line of the body: its fields as written and where each one stands.
struct PrefsLine {
    int fileLine = 1;                // line number in the file, 1 for the first
    std::string text;                // the line as written, ending with its last field
    std::vector<std::size_t> starts; // offset in `text` of each field
    std::vector<std::size_t> ends;   // offset in `text` just past each field

    std::size_t fieldCount() const { return starts.size(); }
    std::string_view field(std::size_t k) const {
        return std::string_view(text).substr(starts[k], ends[k] - starts[k]);
    }
};

// One occurrence of a keyword: a field equal to it, wherever on its line.
struct PrefsHit {
    std::size_t line;  // index into PreferenceLines::lines
    std::size_t field; // index of the keyword among the line's fields
};

// A body line that holds a run of two tabs or a tab before a space.
struct PrefsLayoutSlip {
    int fileLine;   // line number in the file
    bool doubleTab; // two tabs in a row
    bool tabSpace;  // a tab followed by a space
};

// Everything the stages read from the preferences file.
struct PreferenceLines {
    std::string fileName;               // the file, for messages
    std::string body;                   // the text from the newline that ends the "begin" line
    int firstLine = 1;                  // file line number of the first line of `body`
    std::vector<PrefsLine> lines;       // the body's lines up to the one holding "end"
    std::vector<PrefsLayoutSlip> slips; // lines of `body` (also past "end") with a slip
    std::string afterBegin;             // what follows "begin" on its own line, unread
    int endMidLine = 0;                 // file line where "end" follows other fields, or 0

    // Every occurrence of the keyword, in file order.
    std::vector<PrefsHit> find(std::string_view keyword) const;
    // The first and the last occurrence; false when there is none.
    bool first(std::string_view keyword, PrefsHit& hit) const;
    bool last(std::string_view keyword, PrefsHit& hit) const;
    // Number of fields after the keyword on its line.
    std::size_t valueCount(const PrefsHit& hit) const;
    // The k-th field after the keyword (0-based), or "" when the line has none.
    std::string_view value(const PrefsHit& hit, std::size_t k) const;
    // The line after the keyword and the tabs that follow it, tabs inside kept.
    std::string_view restOfLine(const PrefsHit& hit) const;
    int fileLine(const PrefsHit& hit) const { return lines[hit.line].fileLine; }
    // Lines with fields none of which is a keyword that some stage reads: an
    // unknown or misspelt keyword, or fields separated by spaces.
    std::vector<std::size_t> unusedLines() const;
};

// True for every keyword that some stage looks up in the preferences.
bool isPrefsKeyword(std::string_view field);

// Control-file text as a diagnostic quotes it: tabs and carriage returns
// spelt out as \t and \r, so that the reader sees where they stand.
std::string shownText(std::string_view text);

// What follows the first whole word "begin" on its line, blanks trimmed; ""
// when there is nothing or when the text holds no "begin". `body` is the text
// that framing kept.
std::string textAfterBegin(std::string_view fileText, std::string_view body);

// Splits the text of a preferences file; `fileName` is kept for messages.
PreferenceLines readPreferenceLines(std::string_view fileText, std::string fileName);

} // namespace tarvex
