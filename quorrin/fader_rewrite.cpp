// In-place edits of fader text: the loader lists where each value it took
// stands, and the text is copied with those values replaced.
#include "quorrin/fader_rewrite.h"

#include "common/text_format.h"
#include "quorrin/cue_writer.h"
#include "quorrin/fader_loader.h"

#include <algorithm>
#include <utility>

namespace quorrin {

namespace {

bool changes(const std::vector<CueOperation>& operations, CueOperation::Kind kind) {
    for (const CueOperation& operation : operations)
        if (operation.kind == kind) return true;
    return false;
}

// The part of the text the mixer reads: from the line after the first
// "begin" (the whole text when there is none) up to the first token "end",
// spaces not counted. Cue lines in the notes around it are left alone.
std::pair<size_t, size_t> mixedPart(std::string_view text) {
    size_t start = 0;
    const size_t begin = text.find("begin");
    if (begin != std::string_view::npos) {
        const size_t newline = text.find('\n', begin);
        start = newline == std::string_view::npos ? text.size() : newline + 1;
    }
    for (size_t at = start; at < text.size();) {
        const size_t stop = std::min(text.find_first_of("\t\r\n", at), text.size());
        std::string token(text.substr(at, stop - at));
        std::erase(token, ' ');
        if (token == "end") return {start, at};
        at = stop + 1;
    }
    return {start, text.size()};
}

std::string lineError(std::string_view fileName, int32_t line, const std::string& what) {
    return toolset::formatText("%.*s line %d: %s; nothing was written",
                               static_cast<int>(fileName.size()), fileName.data(),
                               static_cast<int>(line), what.c_str());
}

} // namespace

FaderRewrite rewriteFaderText(std::string_view text, int32_t readFields, int32_t writeFields,
                              const std::vector<CueOperation>& operations,
                              std::string_view fileName, std::vector<std::string>& messages) {
    std::vector<ValuePlace> places;
    parseFaderText(text, readFields, fileName, messages, &places);
    const bool scales = changes(operations, CueOperation::Kind::scale);
    const bool timesChange =
        scales || changes(operations, CueOperation::Kind::nudge) || writeFields != readFields;
    const bool levelsChange = changes(operations, CueOperation::Kind::adjust);

    const auto [first, last] = mixedPart(text);
    FaderRewrite result;
    size_t copied = 0;
    for (const ValuePlace& place : places) {
        if (place.begin < first || place.end > last) continue;
        std::string replacement;
        float value = place.value;
        if (place.kind == ValuePlace::Kind::time && timesChange) {
            for (const CueOperation& operation : operations)
                value = applyToTime(operation, value);
            if (!place.plain)
                return {"", lineError(fileName, place.line,
                                      toolset::formatText("the time is not written as %d plain "
                                                          "numbers, as the file is read",
                                                          static_cast<int>(readFields)))};
            if (value < 0.0f)
                return {"", lineError(fileName, place.line,
                                      toolset::formatText("the time would move to %.3f s, below "
                                                          "zero",
                                                          static_cast<double>(value)))};
            replacement = timeFieldsText(value, writeFields);
        } else if (place.kind == ValuePlace::Kind::level && levelsChange) {
            for (const CueOperation& operation : operations)
                value = applyToLevel(operation, value);
            if (!place.plain)
                return {"", lineError(fileName, place.line, "the level is not a plain number")};
            replacement = levelText(value);
        } else if (place.kind == ValuePlace::Kind::ramp && scales) {
            for (const CueOperation& operation : operations)
                value = applyToRamp(operation, value);
            if (!place.plain)
                return {"", lineError(fileName, place.line, "the ramp is not a plain number")};
            replacement = rampText(value);
        } else {
            continue;
        }
        result.text.append(text.substr(copied, place.begin - copied));
        result.text += replacement;
        copied = place.end;
    }
    result.text.append(text.substr(copied));
    return result;
}

} // namespace quorrin
