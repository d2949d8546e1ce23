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

// Where a value that went into the cue table stands in the text, so that an
// edit can replace just its digits: all the time fields of a "t" line, the
// level of a "v" line, the length of an "rmp" line.
struct ValuePlace {
    enum class Kind { time, level, ramp };
    Kind kind;
    int32_t line;        // 1-based line number
    size_t begin;        // byte offset of the value's first character in the text
    size_t end;          // byte offset just past its last digit
    float value;         // seconds or dB, as the table holds it
    int32_t fieldsFound; // time: the fields the line holds; 1 otherwise
    bool plain;          // every field read is a number in range that fills its field
                         // (the last one may be followed by other text)
};

// Turns fader text into a cue table, reading time lines with `timeFields`
// fields (1 to 3). Messages about lines that were skipped or mended are
// appended to `messages`, each naming `fileName` and the line. When `places`
// is given, every value the table took is listed there in text order.
CueTable parseFaderText(std::string_view text, int32_t timeFields, std::string_view fileName,
                        std::vector<std::string>& messages,
                        std::vector<ValuePlace>* places = nullptr);

} // namespace quorrin
