// Whole-table edits and time searches.
#include "quorrin/cue_edits.h"

namespace quorrin {

float latestTime(const CueTable& table) {
    float last = 0.0f;
    for (const auto& entries : table.slots)
        for (const CueEntry& entry : entries)
            if (entry.time > last) last = entry.time;
    return last;
}

float earliestTime(const CueTable& table, float last) {
    float first = last;
    for (const auto& entries : table.slots)
        for (const CueEntry& entry : entries)
            if (entry.time < first) first = entry.time;
    return first;
}

bool scaleTimes(CueTable& table, float factor) {
    // The bounds are compared in double, so 0.001 typed in is accepted.
    if (!(factor >= 0.001 && factor <= 1000.0)) return false;
    for (auto& entries : table.slots) {
        for (CueEntry& entry : entries) {
            entry.time *= factor;
            entry.ramp *= factor;
        }
    }
    return true;
}

void nudgeTimes(CueTable& table, float seconds) {
    for (auto& entries : table.slots)
        for (CueEntry& entry : entries)
            entry.time += seconds;
}

void adjustLevels(CueTable& table, float dB) {
    for (auto& entries : table.slots)
        for (CueEntry& entry : entries)
            entry.level += dB;
}

float applyToTime(const CueOperation& operation, float seconds) {
    if (operation.kind == CueOperation::Kind::nudge) return seconds + operation.amount;
    if (operation.kind == CueOperation::Kind::scale) return seconds * operation.amount;
    return seconds;
}

float applyToLevel(const CueOperation& operation, float dB) {
    return operation.kind == CueOperation::Kind::adjust ? dB + operation.amount : dB;
}

float applyToRamp(const CueOperation& operation, float seconds) {
    return operation.kind == CueOperation::Kind::scale ? seconds * operation.amount : seconds;
}

void applyOperation(CueTable& table, const CueOperation& operation) {
    switch (operation.kind) {
    case CueOperation::Kind::nudge:
        nudgeTimes(table, operation.amount);
        break;
    case CueOperation::Kind::scale:
        scaleTimes(table, operation.amount);
        break;
    case CueOperation::Kind::adjust:
        adjustLevels(table, operation.amount);
        break;
    }
}

std::optional<float> nextTimeAfter(const CueTable& table, float after) {
    // No upper bound on the gap: a song scaled up a thousandfold still lists
    // every time.
    std::optional<float> next;
    for (const auto& entries : table.slots)
        for (const CueEntry& entry : entries)
            if (entry.time > after && (!next || entry.time < *next)) next = entry.time;
    return next;
}

} // namespace quorrin
