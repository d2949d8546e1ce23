// Saving the formatted cue text under a name the user gives. An existing file
// is replaced only when the user answers "o"; the file that was loaded is
// never replaced, since the saved text holds only the cues and would lose
// every other line of it.
#pragma once

#include <iosfwd>
#include <string>

namespace quorrin {

enum class SaveResult {
    written,
    declined,   // the file exists and the answer was not "o"
    refused,    // the name is the loaded file's
    failed,     // the file could not be opened or written
    inputEnded, // standard input closed at the overwrite prompt
};

// Writes `text` to the file `name`, asking on `in`/`out` before replacing an
// existing file. `loadedFile` names the file the cues came from.
SaveResult saveCueText(const std::string& text, const std::string& name,
                       const std::string& loadedFile, std::istream& in, std::ostream& out);

} // namespace quorrin
