// Loading a fader file into a cue table. The caller reads the file whole;
// the parser then keeps only the first word, the time lines ("t"), the volume
// lines ("v") and the ramp lines ("rmp"), and skips every other token. Lines
// that cannot be kept as they are (a channel outside the table, a full
// channel, a ramp with no entry) are reported by file name and line number
// and the rest of the file still loads.
#pragma once

#include "quorrin/cue_table.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorrin {

// Turns fader text into a cue table, reading time lines with `timeFields`
// fields (1 to 3). Messages about lines that were skipped or mended are
// appended to `messages`, each naming `fileName` and the line.
CueTable parseFaderText(std::string_view text, int32_t timeFields, std::string_view fileName,
                        std::vector<std::string>& messages);

} // namespace quorrin
