// The codes of the fader file: every code some reader takes, how that reader
// finds its lines and the fields it reads after the code.
//
// The readers keep their own parsing; this table only describes it, so that
// the line check can name a line that no reader takes as written. A field
// count here is the count the reader uses: a field past it is never read, a
// line short of the required fields is dropped (or, for `t` and `tmap`, ends
// the run where it is read).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace tarvex {

// How a reader finds the lines of a code.
enum class CodeReach : uint8_t {
    LineStart, // only as the first field of a line (effect, reverb and order lines)
    Timeline,  // the timeline pass: the first such field of a line takes the rest of it
    AnyField,  // every field equal to the code, wherever it stands in a line
};

// How a field is read.
enum class FieldKind : uint8_t {
    Channel, // "M", "G" and a number in the next field, or a channel number
    Slot,    // a channel, bus or VCA number in one field; its range is checked where it is read
    Decimal, // the decimal conversion; text reads as 0
    Whole,   // a whole number (32 bits); text reads as 0
    Long,    // a whole number (64 bits); text reads as 0
    Text,    // taken as written (a channel list)
};

// How many fields follow the code.
enum class FieldCount : uint8_t {
    Listed,     // the listed fields
    TimeFields, // one to three time fields, as `tfields` of the preferences says
    EffectLine, // counted by the effect reader itself
};

struct FieldSpec {
    FieldKind kind = FieldKind::Decimal;
    const char* name = ""; // as messages name it: "level", "channel list"
};

struct FaderCode {
    std::string_view name;           // the code as written: "v", "VCA:"
    CodeReach reach;                 // how its reader finds its lines
    FieldCount count;                // how its fields are counted
    uint8_t listed;                  // fields listed in `fields`
    uint8_t required;                // fields without which the line is dropped
    std::array<FieldSpec, 4> fields; // the fields after the code, in order
    bool tempoOnly;                  // read only in tempo mode
    bool missingStops;               // a missing required field ends the run
    const char* withoutOptional;     // what a line without its optional fields does
    bool chain;                      // an effect of the chain, which order lines place
};

// The code named by exactly this field, or nullptr.
const FaderCode* faderCodeNamed(std::string_view field);

// The code of a line from its fields, as the readers see them: the first
// field names it, and a first field that begins with 'o' and names an effect
// of the chain after a colon or in the next field is an order line whatever
// its spelling.
const FaderCode* faderCodeOfLine(std::span<const std::string_view> fields);

} // namespace tarvex
