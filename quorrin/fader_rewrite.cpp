// In-place edits of fader text: the loader lists where each value it took
// stands, and the text is copied with those values replaced.
#include "quorrin/fader_rewrite.h"

#include "common/text_format.h"
#include "quorrin/cue_writer.h"
#include "quorrin/fader_loader.h"

namespace quorrin {

namespace {

bool changes(const std::vector<CueOperation>& operations, CueOperation::Kind kind) {
    for (const CueOperation& operation : operations)
        if (operation.kind == kind) return true;
    return false;
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

    FaderRewrite result;
    size_t copied = 0;
    for (const ValuePlace& place : places) {
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
