// Editing a whole fader file in place: the cue operations are applied to the
// numbers of the "t", "v" and "rmp" lines the cue table reads, and every other
// byte of the text (notes, the mix name, routing, effects, pans, blank lines,
// line ends) stays as it was. As the mixer reads only the lines between the
// "begin" line and "end", cue lines in the notes before or after are kept too. Only the values an
// operation changes are rewritten: times when a nudge, a scale or a new field count is asked for,
// levels for an adjustment, ramp lengths for a scale.
#pragma once

#include "quorrin/cue_edits.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorrin {

struct FaderRewrite {
    std::string text;  // the edited file, when `error` is empty
    std::string error; // one line naming the file and the line that stopped the edit
};

// Reads `text` with `readFields` time fields, applies `operations` in order
// and writes the edited times with `writeFields` fields (1 to 3). A time that
// would end below zero, or a value to be rewritten that is not written as a
// plain number in the layout read, stops the edit. Messages about lines the
// cue table skips are appended to `messages`.
FaderRewrite rewriteFaderText(std::string_view text, int32_t readFields, int32_t writeFields,
                              const std::vector<CueOperation>& operations,
                              std::string_view fileName, std::vector<std::string>& messages);

} // namespace quorrin
