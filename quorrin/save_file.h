// Saving the formatted cue text under a name the user gives. An existing file
// is replaced only when the user answers "o"; the file that was loaded is
// never replaced, since the saved text holds only the cues and would lose
// every other line of it.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

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

// Replaces the contents of `path` with `text` without a moment in which the
// file is missing or cut short: the text goes to a temporary file in the same
// folder, is flushed to the device and is then renamed over `path` (through a
// symbolic link, over its target), keeping the old file's permission bits. A
// target that exists but is no plain file (a device, standard output) is
// written in place. Returns nothing on success, else a message naming the
// file and the system's reason.
std::optional<std::string> replaceFileText(const std::string& path, std::string_view text);

} // namespace quorrin
