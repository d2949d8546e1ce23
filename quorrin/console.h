// The editor's console: the help text and the menu loop that reads commands
// and answers from standard input and carries them out on the cue table.
#pragma once

#include "quorrin/cue_table.h"

#include <cstdint>
#include <iosfwd>
#include <string>

namespace quorrin {

void printHelp(std::ostream& out);

// Runs the menu until "x" or the end of input; returns the exit status (1
// when input ended at a prompt or the last save could not be written).
// `loadedFile` is the file the table came from, which is never saved over.
int32_t runMenu(CueTable& table, int32_t timeFields, const std::string& loadedFile,
                std::istream& in, std::ostream& out);

} // namespace quorrin
