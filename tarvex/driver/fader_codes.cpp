// The table of fader-file codes, as the readers take them.
#include "driver/fader_codes.h"

#include <initializer_list>

namespace tarvex {

namespace {

constexpr FieldSpec kChannel{FieldKind::Channel, "channel"};

// A code whose reader takes the listed fields; the first `required` of them
// it cannot do without.
constexpr FaderCode listed(std::string_view name, CodeReach reach, uint8_t required,
                           std::initializer_list<FieldSpec> fields,
                           const char* withoutOptional = nullptr) {
    FaderCode code{name,  reach, FieldCount::Listed, 0,    required, {},
                   false, false, withoutOptional,    false};
    for (const FieldSpec& f : fields)
        code.fields[code.listed++] = f;
    return code;
}

// An effect, reverb or order line: its fields are the effect reader's to count.
constexpr FaderCode effect(std::string_view name, bool chain = false) {
    return {name, CodeReach::LineStart, FieldCount::EffectLine, 0, 0, {}, false, false, nullptr,
            chain};
}

constexpr FaderCode timeLine() {
    return {"t",  CodeReach::Timeline, FieldCount::TimeFields, 0, 0, {}, false, true, nullptr,
            false};
}

// Read only in tempo mode, where a line short of its fields ends the run.
constexpr FaderCode tempoMap() {
    FaderCode code = listed("tmap", CodeReach::AnyField, 3,
                            {{FieldKind::Decimal, "tempo"},
                             {FieldKind::Whole, "beats per bar"},
                             {FieldKind::Whole, "bars"}});
    code.tempoOnly = true;
    code.missingStops = true;
    return code;
}

using enum CodeReach;
using enum FieldKind;

constexpr std::array kCodes = {
    // The timeline pass: cues, levels and what changes the latest entry.
    timeLine(),
    listed("v", Timeline, 2, {kChannel, {Decimal, "level"}}),
    listed("vca", Timeline, 2, {{Slot, "VCA number"}, {Decimal, "level"}}),
    listed("p", Timeline, 2, {kChannel, {Whole, "pan"}}),
    listed("pol", Timeline, 2, {kChannel, {Whole, "polarity"}}),
    listed("rmp", Timeline, 1, {{Decimal, "ramp time"}}),
    listed("shape", Timeline, 1, {{Decimal, "shape"}}),
    listed("ofs", Timeline, 1, {{Decimal, "offset"}}),
    listed("inc", Timeline, 1, {{Decimal, "time step"}}),
    // Per-slot values, start offsets, the tempo map and routing: every
    // occurrence of the code is read.
    listed("dp", AnyField, 2, {{Slot, "channel"}, {Whole, "delay pan"}}),
    listed("trim", AnyField, 2, {kChannel, {Decimal, "dB value"}}),
    listed("scale", AnyField, 1, {{Decimal, "factor"}}),
    listed("mtrim", AnyField, 1, {{Decimal, "dB value"}}),
    listed("fxg", AnyField, 2, {kChannel, {Decimal, "gain"}}),
    listed(
        "tstamp", AnyField, 4,
        {{Slot, "channel"}, {Decimal, "minutes"}, {Decimal, "seconds"}, {Decimal, "milliseconds"}}),
    listed("sstamp", AnyField, 2, {{Slot, "channel"}, {Long, "sample count"}}),
    tempoMap(),
    // The last `sub` or `VCA:` line of a bus gives its list, even an empty one.
    listed("sub", AnyField, 1, {{Slot, "bus"}, {Text, "channel list"}}, "it routes no channel"),
    listed("VCA:", AnyField, 1, {{Slot, "VCA number"}, {Text, "channel list"}},
           "it assigns no channel"),
    listed("submu", AnyField, 1, {{Slot, "submix number"}}),
    listed("subso", AnyField, 1, {{Slot, "submix number"}}),
    // Effects of the chain, sends, returns, the room and the order lines.
    effect("hp", true),
    effect("band1", true),
    effect("band2", true),
    effect("band3", true),
    effect("band4", true),
    effect("hshelf", true),
    effect("lshelf", true),
    effect("rms", true),
    effect("nlc", true),
    effect("comp", true),
    effect("lim", true),
    effect("rev"),
    effect("trev"),
    effect("rtn"),
    effect("trtn"),
    effect("pos"),
    effect("width"),
    effect("rhp"),
    effect("rlp"),
    effect("order"),
};

bool namesChainEffect(std::string_view name) {
    const FaderCode* code = faderCodeNamed(name);
    return code != nullptr && code->chain;
}

} // namespace

const FaderCode* faderCodeNamed(std::string_view field) {
    for (const FaderCode& code : kCodes)
        if (code.name == field) return &code;
    return nullptr;
}

const FaderCode* faderCodeOfLine(std::span<const std::string_view> fields) {
    if (fields.empty()) return nullptr;
    if (const FaderCode* code = faderCodeNamed(fields[0])) return code;
    // The order reader takes any first field that begins with 'o', ends it
    // at a colon ("order:hp") and looks for an effect of the chain next.
    const std::string_view first = fields[0];
    if (first[0] != 'o') return nullptr;
    const std::size_t colon = first.find(':');
    const std::string_view next = colon != std::string_view::npos && colon + 1 < first.size()
                                      ? first.substr(colon + 1)
                                      : (fields.size() > 1 ? fields[1] : std::string_view());
    return namesChainEffect(next) ? faderCodeNamed("order") : nullptr;
}

} // namespace tarvex
