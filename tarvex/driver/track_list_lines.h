// The track list as read once: the lines that name channels, each with its
// file line number, and the layout facts that the warnings name.
//
// The reader only splits text: it does no I/O, prints nothing, never ends the
// run and knows no setting. The body is the text after the line holding the
// first whole word "begin" (the whole text without one), CR LF counting as
// LF. Empty lines name no channel; the first line that is not empty always
// names channel 1, and after it a line that is exactly "end" closes the list.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// One line of the track list that names a channel.
struct TrackLine {
    int fileLine = 1;       // line number in the file, 1 for the first
    std::size_t start = 0;  // where the line starts in TrackListLines::body
    std::size_t length = 0; // its length, without the newline
};

// Everything the stages read from the track list.
struct TrackListLines {
    std::string fileName;              // the file, for messages
    std::string body;                  // the text from the newline that ends the "begin" line
    int firstLine = 1;                 // file line number of the first line of `body`
    std::vector<TrackLine> channels;   // line k names channel k + 1
    std::vector<int> tabLines;         // file lines of `body` (also past "end") holding a tab
    std::vector<int> doubleSpaceLines; // file lines of `body` holding two spaces in a row
    std::string afterBegin;            // what follows "begin" on its own line, unread

    // The line as written.
    std::string_view text(const TrackLine& line) const {
        return std::string_view(body).substr(line.start, line.length);
    }
    // The line split at `separator`, a run of separators counting as one; a
    // separator at either end gives an empty first or last field.
    std::vector<std::string_view> fields(const TrackLine& line, char separator) const;
};

// Splits the text of a track list; `fileName` is kept for messages.
TrackListLines readTrackListLines(std::string_view fileText, std::string fileName);

} // namespace tarvex
