// Cue table to fader-file text. Numbers are written with the C conversions
// of the file format: times "%.3f" (whole minutes, seconds and milliseconds
// "%.0f"), levels "%.2f", ramps "%.3f".
#include "quorrin/cue_writer.h"

#include "common/text_format.h"
#include "quorrin/cue_edits.h"

#include <cmath>

namespace quorrin {

namespace {

// Adding +0 turns -0 into 0, so a whole number never prints as "-0".
double withoutNegativeZero(double value) {
    return value + 0.0;
}

void appendHeader(std::string& out, const CueTable& table) {
    toolset::appendf(out, "%s\n", table.header.c_str());
    if (!table.nameLine.empty()) toolset::appendf(out, "%s\n", table.nameLine.c_str());
    out += '\n';
}

void appendEntry(std::string& out, int32_t slot, const CueEntry& entry) {
    double level = entry.level;
    if (slot == kMasterSlot)
        toolset::appendf(out, "v\tM\t%.2f\n", level);
    else if (slot >= kChannelCount)
        toolset::appendf(out, "v\tG\t%i\t%.2f\n", static_cast<int>(slot - kChannelCount + 1),
                         level);
    else
        toolset::appendf(out, "v\t%i\t%.2f\n", static_cast<int>(slot), level);
    if (entry.ramp != 0.0f) toolset::appendf(out, "rmp\t%.3f\n", static_cast<double>(entry.ramp));
}

} // namespace

std::string timeLine(float seconds, int32_t timeFields) {
    return "\nt\t" + timeFieldsText(seconds, timeFields) + "\n";
}

std::string levelText(float dB) {
    return toolset::formatText("%.2f", static_cast<double>(dB));
}

std::string rampText(float seconds) {
    return toolset::formatText("%.3f", static_cast<double>(seconds));
}

std::string timeFieldsText(float seconds, int32_t timeFields) {
    double time = seconds;
    if (timeFields == 1) return toolset::formatText("%.3f", time);
    // Whole minutes are counted only from 60 s up, so earlier (and negative)
    // times keep everything in the seconds field.
    double minutes = time >= 60.0 ? std::floor(time / 60.0) : 0.0;
    double remaining = time - minutes * 60.0;
    if (timeFields == 2) return toolset::formatText("%.0f\t%.3f", minutes, remaining);
    double wholeSeconds = std::trunc(remaining);
    double milliseconds = (remaining - wholeSeconds) * 1000.0;
    return toolset::formatText("%.0f\t%.0f\t%.0f", withoutNegativeZero(minutes),
                               withoutNegativeZero(wholeSeconds),
                               withoutNegativeZero(milliseconds));
}

std::string formatByChannels(const CueTable& table, int32_t timeFields) {
    std::string out;
    appendHeader(out, table);
    for (int32_t slot = 0; slot < kSlotCount; ++slot) {
        for (const CueEntry& entry : table.slots[static_cast<size_t>(slot)]) {
            out += timeLine(entry.time, timeFields);
            appendEntry(out, slot, entry);
            out += '\n';
        }
    }
    return out;
}

std::string formatByTimes(const CueTable& table, int32_t timeFields) {
    std::string out;
    appendHeader(out, table);
    for (std::optional<float> now = nextTimeAfter(table, -1.0f); now;
         now = nextTimeAfter(table, *now)) {
        out += timeLine(*now, timeFields);
        for (int32_t slot = 0; slot < kSlotCount; ++slot)
            for (const CueEntry& entry : table.slots[static_cast<size_t>(slot)])
                if (entry.time == *now) appendEntry(out, slot, entry);
    }
    return out;
}

int32_t entriesLeftOutByTimes(const CueTable& table) {
    int32_t count = 0;
    for (const auto& entries : table.slots)
        for (const CueEntry& entry : entries)
            if (!(entry.time > -1.0f)) ++count; // a time that is not a number is left out too
    return count;
}

std::string leftOutWarning(const CueTable& table, Ordering ordering) {
    if (ordering != Ordering::byTimes) return "";
    const int32_t count = entriesLeftOutByTimes(table);
    if (count == 0) return "";
    return toolset::formatText(
        "Warning: %i %s at -1 s or earlier %s left out of the text ordered by "
        "times; order by channels ('co') to keep %s.\n",
        static_cast<int>(count), count == 1 ? "entry" : "entries", count == 1 ? "is" : "are",
        count == 1 ? "it" : "them");
}

std::string formatCues(const CueTable& table, int32_t timeFields, Ordering ordering) {
    return ordering == Ordering::byChannels ? formatByChannels(table, timeFields)
                                            : formatByTimes(table, timeFields);
}

std::string formatEntryCounts(const CueTable& table) {
    std::string out = "\nEntries:\n";
    for (int32_t slot = 0; slot < kSlotCount; ++slot) {
        int count = static_cast<int>(table.slots[static_cast<size_t>(slot)].size());
        if (count == 0) continue;
        if (slot == kMasterSlot)
            toolset::appendf(out, "ch M:  %i\n", count);
        else if (slot >= kChannelCount)
            toolset::appendf(out, "ch G%i:  %i\n", static_cast<int>(slot - kChannelCount + 1),
                             count);
        else
            toolset::appendf(out, "ch %i:  %i\n", static_cast<int>(slot), count);
    }
    return out;
}

} // namespace quorrin
