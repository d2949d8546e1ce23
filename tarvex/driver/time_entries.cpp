// Timeline reader: time entries, level lines and the per-slot lines.
#include "driver/time_entries.h"
#include "core/saturate.h"

#include <cmath>

#include "automation/level_automation.h"
#include "automation/routing.h"
#include "core/console.h"
#include "core/scales.h"
#include "driver/channel_field.h"
#include "driver/tempo_map.h"
#include "driver/text_fields.h"
#include "engine/mix_views.h"

namespace tarvex {

namespace {

constexpr double kMaxTrimRatio = 15.848931924611133; // +24 dB
constexpr float kDefaultRampSpeed = 192.0f;          // dB per second

enum class LevelKind { None, Volume, Vca };

// The file line of every level entry, laid out as its table, for diagnostics.
struct EntryLines {
    std::vector<int32_t> volume = std::vector<int32_t>(std::size_t{kMaxEntries} * kEntrySlots, 0);
    std::vector<int32_t> vca = std::vector<int32_t>(std::size_t{kMaxEntries} * kVcaSlots, 0);
    std::vector<int32_t> volumeRamp = volume; // the `rmp` line that set each ramp, 0 = none
    std::vector<int32_t> vcaRamp = vca;
    std::array<int32_t, kEntrySlots> pan{}; // the `p` line that set each slot's pan
};

// A slot as a person names it: "the master", "channel 3", "submix 1", "VCA 2".
std::string slotText(int slot, bool vca) {
    if (vca) return "VCA " + std::to_string(slot);
    if (slot == kMasterSlot) return "the master";
    if (slot > kMaxChannels) return "submix " + std::to_string(slot - kMaxChannels);
    return "channel " + std::to_string(slot);
}

// A time of the song as the fader file writes it (m:ss.mmm when a tempo
// section without beats leaves no bar and beat to name).
std::string timeText(const MixSession& s, int64_t position) {
    return cueTextOf(s.settings, position);
}

// The reading state of the timeline pass.
struct Reader {
    MixSession& s;
    const KeywordText& text;
    AutomationScript& au;
    const std::string& file;
    EntryLines& lines;
    int64_t cursor = 0;       // time cursor, samples
    float entryOffset = 0.0f; // shift of the latest entry by `ofs`, samples
    LevelKind kind = LevelKind::None;
    int lastSlot = -1;          // slot or VCA of the latest entry
    int32_t lastIndex = -1;     // its index, -1 when there is none to change
    int32_t timeEntries = 0;    // `t` lines read
    bool levelAtCursor = false; // a level line came after the latest `t` line

    EntryTable& lastTable() { return kind == LevelKind::Vca ? au.vca : au.volume; }
    std::size_t lastAt() { return lastTable().at(lastIndex, lastSlot); }
    std::string lastSlotText() const { return slotText(lastSlot, kind == LevelKind::Vca); }
};

// The slot of a `v`, `p`, `pol`, `trim` or `fxg` line.
struct LineSlot {
    int slot = 0;         // channel slot 0..135
    std::size_t used = 0; // fields taken
    bool master = false;  // the field was "M"
    ChannelField field;   // the field as read
};

// Reads the channel field of a line. Text, and a "G" joined to its number,
// read as 0; after a separate "G" a negative number counts down from slot 127
// while it stays at 0 or above; any other number outside 0..135 gives slot 135
// with the channel message. A line without the field is dropped for want of
// its value, so its slot is never used.
LineSlot lineSlot(const KeywordText& text, const KeywordHit& hit) {
    const ChannelField f = readChannelField(text.fields(hit.line), hit.field + 1);
    LineSlot s{f.slot, f.used, f.kind == ChannelKind::Master, f};
    if (f.group == GroupMark::Joined) {
        s.slot = 0;
        s.master = false;
    } else if (f.kind == ChannelKind::Missing) {
        s.slot = 0;
    } else if (f.kind == ChannelKind::Negative && f.group == GroupMark::Separate &&
               f.number >= -groupSlot(0)) {
        s.slot = static_cast<int>(groupSlot(0) + f.number);
    } else if (f.kind == ChannelKind::Negative || f.limited) {
        s.slot = kStripEntries - 1;
        warnChannelOutOfRange();
    }
    return s;
}

bool plainNumber(std::string_view text) {
    std::size_t k = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (k == text.size()) return false;
    for (; k < text.size(); ++k)
        if (text[k] < '0' || text[k] > '9') return false;
    return true;
}

// Names a channel field that does not address what it says, with the slot the
// line goes to. `needsSwitch`: the master's slot counts for this code only
// when some line of it names "M" (`v` and `fxg`).
void noteChannelField(MixSession& s, const KeywordText& text, const KeywordHit& hit,
                      const LineSlot& ch, const char* code, bool needsSwitch) {
    const ChannelField& f = ch.field;
    if (f.kind == ChannelKind::Master || f.kind == ChannelKind::Missing) return;
    const auto& fields = text.fields(hit.line);
    const std::string_view number = fields[hit.field + f.used];
    const std::string written =
        f.group == GroupMark::Separate ? "G " + std::string(number) : std::string(number);
    const bool inRange =
        (f.kind == ChannelKind::Channel && f.number >= 1 && f.number <= kMaxChannels) ||
        (f.kind == ChannelKind::Submix && f.number >= 1 && f.number <= kSubmixCount);
    const bool numeric = f.group != GroupMark::Joined && plainNumber(number);
    if (inRange && numeric) {
        if (f.kind == ChannelKind::Channel && f.number > s.settings.tracks.channelCount)
            s.diagnostics.warning(s.settings.tracks.fadersPath, text.fileLine(hit),
                                  "channel %lld has no track (the line has no effect)",
                                  static_cast<long long>(f.number));
        return;
    }
    // "0" addresses the master's slot, as "M" does, for lines that need no switch.
    if (f.kind == ChannelKind::Channel && f.number == 0 && numeric && !needsSwitch) return;
    std::string used = slotText(ch.slot, false) + " used";
    if (ch.slot == kMasterSlot && needsSwitch)
        used += std::string(" (it counts only beside a '") + code + " M' line)";
    const std::string& file = s.settings.tracks.fadersPath;
    if (numeric && f.group == GroupMark::Separate)
        s.diagnostics.warning(file, text.fileLine(hit), "submix %s is out of range (1 to 8): %s",
                              std::string(number).c_str(), used.c_str());
    else if (numeric)
        s.diagnostics.warning(file, text.fileLine(hit),
                              "channel %s is out of range (1 to 127, G 1 to 8, or M): %s",
                              written.c_str(), used.c_str());
    else if (inRange && f.group != GroupMark::Joined)
        s.diagnostics.warning(file, text.fileLine(hit), "channel '%s' is read as %s: %s",
                              written.c_str(),
                              (f.group == GroupMark::None ? std::to_string(f.number)
                                                          : "G " + std::to_string(f.number))
                                  .c_str(),
                              used.c_str());
    else
        s.diagnostics.warning(file, text.fileLine(hit),
                              "channel '%s' is not a channel (1 to 127, G 1 to 8, or M): %s",
                              written.c_str(), used.c_str());
}

// Names a fader value that limitFaderValue held to its range.
void noteFader(Reader& r, const KeywordHit& hit, std::string_view written, double read,
               bool percent) {
    const std::string text(written);
    const int32_t line = r.text.fileLine(hit);
    if (std::isnan(read))
        r.s.diagnostics.warning(r.file, line, "level '%s' is not a number (silence used)",
                                text.c_str());
    else if (!percent && read > 12.02)
        r.s.diagnostics.warning(r.file, line, "level '%s' is above +12.02 dB (+12.02 dB used)",
                                text.c_str());
    else if (percent && read > 400.0)
        r.s.diagnostics.warning(r.file, line, "level '%s' is above 400 percent (400 percent used)",
                                text.c_str());
    else if (percent && read < 0.0)
        r.s.diagnostics.warning(r.file, line, "level '%s' is below 0 percent (0 percent used)",
                                text.c_str());
}

bool enoughValues(Reader& r, const KeywordHit& hit, std::size_t needed, const char* line) {
    if (r.text.valueCount(hit) >= needed) return true;
    warn("%s line %d: this %s line is missing a value; line ignored.\n", r.file.c_str(),
         r.text.fileLine(hit), line);
    return false;
}

// `noteCue`: name a change that lands on an earlier cue (a ramp that is
// refused anyway says so instead).
bool haveLatestEntry(Reader& r, const KeywordHit& hit, const char* line, bool noteCue = true) {
    if (r.lastIndex >= 0) {
        // After a `t` line without a level line the change lands on an
        // entry of an earlier cue.
        if (!r.levelAtCursor && noteCue)
            r.s.diagnostics.warning(r.file, r.text.fileLine(hit),
                                    "%s follows no level line of its cue: it changes the cue of "
                                    "%s at %s",
                                    line, r.lastSlotText().c_str(),
                                    timeText(r.s, r.lastTable().times[r.lastAt()]).c_str());
        return true;
    }
    warn("%s line %d: this %s line follows no level entry; line ignored.\n", r.file.c_str(),
         r.text.fileLine(hit), line);
    r.s.diagnostics.warning(r.file, r.text.fileLine(hit), "%s follows no level line (line ignored)",
                            line);
    return false;
}

void readTimeLine(Reader& r, const KeywordHit& hit) {
    const int32_t fields = r.s.settings.prefs.timeFields;
    if (r.text.valueCount(hit) < static_cast<std::size_t>(fields)) {
        r.s.diagnostics.error(r.file, r.text.fileLine(hit),
                              "t has %zu time field%s where %d are needed", r.text.valueCount(hit),
                              r.text.valueCount(hit) == 1 ? "" : "s", fields);
        stopRun(2, "%s line %d: a t line needs %d time field%s here.\n", r.file.c_str(),
                r.text.fileLine(hit), fields, fields == 1 ? "" : "s");
    }
    auto field = [&](std::size_t k) {
        return static_cast<float>(parseDouble(r.text.value(hit, k)));
    };
    int64_t position = 0;
    const int64_t offset = r.s.settings.prefs.automationOffset;
    if (r.s.settings.prefs.tempoMode) {
        const float tick = fields == 3 ? field(2) : 0.0f;
        position = tempoPosition(r.au.tempoMap, field(0), field(1), tick, offset);
    } else {
        float minutes = 0.0f, seconds = 0.0f, millis = 0.0f;
        if (fields == 1) {
            seconds = field(0);
        } else {
            minutes = field(0);
            seconds = field(1);
            if (fields == 3) millis = field(2);
        }
        const double total = static_cast<double>(seconds) + static_cast<double>(minutes) * 60.0 +
                             static_cast<double>(millis) / 1000.0;
        position = truncToSamples(total * r.s.settings.tracks.sampleRate) + offset;
    }
    ++r.timeEntries;
    if (position > r.s.settings.tracks.songLength) {
        r.s.diagnostics.error(
            r.file, r.text.fileLine(hit), "time %s is after the end of the song at %s",
            timeText(r.s, position).c_str(), timeText(r.s, r.s.settings.tracks.songLength).c_str());
        stopRun(2, "Error:  Time entry %i exceeds song length\n", r.timeEntries);
    }
    if (position < 0) {
        r.s.diagnostics.error(r.file, r.text.fileLine(hit),
                              "time %s is before the start of the song",
                              timeText(r.s, position).c_str());
        stopRun(2, "Error:  Time entry %i is less than zero\n", r.timeEntries);
    }
    r.cursor = position;
    r.levelAtCursor = false;
}

void addEntry(Reader& r, const KeywordHit& hit, EntryTable& table, int slot, int32_t level,
              LevelKind kind) {
    r.kind = kind;
    r.entryOffset = 0.0f;
    int32_t& count = table.count[static_cast<std::size_t>(slot)];
    if (count >= kMaxEntries) {
        warn("%s line %d: %s %s already holds %d entries; this entry is ignored.\n", r.file.c_str(),
             r.text.fileLine(hit), kind == LevelKind::Vca ? "VCA" : "channel",
             kind == LevelKind::Vca ? std::to_string(slot).c_str() : slotName(slot).c_str(),
             kMaxEntries);
        r.s.diagnostics.warning(r.file, r.text.fileLine(hit),
                                "%s already has %d cues (line ignored)",
                                slotText(slot, kind == LevelKind::Vca).c_str(), kMaxEntries);
        r.lastIndex = -1;
        return;
    }
    const std::size_t at = table.at(count, slot);
    table.levels[at] = level;
    table.times[at] = r.cursor;
    table.ramps[at] = 0;
    table.shapes[at] = 1.0f;
    (kind == LevelKind::Vca ? r.lines.vca : r.lines.volume)[at] = r.text.fileLine(hit);
    r.levelAtCursor = true;
    r.lastSlot = slot;
    r.lastIndex = count;
    ++count;
}

void readVolumeLine(Reader& r, const KeywordHit& hit) {
    const LineSlot ch = lineSlot(r.text, hit);
    if (!enoughValues(r, hit, ch.used + 1, "v")) return;
    noteChannelField(r.s, r.text, hit, ch, "v", true);
    // The slot is limited before it is flagged, so the flag never lands
    // outside the table.
    if (ch.slot > kMaxChannels) r.au.slots.groupLevel[ch.slot] = 1;
    if (ch.master) r.au.slots.masterLevel = 1;
    double value = parseDouble(r.text.value(hit, ch.used));
    const bool percent = r.s.settings.prefs.percentMode;
    noteFader(r, hit, r.text.value(hit, ch.used), value, percent);
    limitFaderValue(value, percent, ch.slot, r.au.volume.count[ch.slot]);
    addEntry(r, hit, r.au.volume, ch.slot, levelOfFader(value, percent), LevelKind::Volume);
}

void readVcaLine(Reader& r, const KeywordHit& hit) {
    if (!enoughValues(r, hit, 2, "vca")) return;
    int32_t vca = parseInt(r.text.value(hit, 0));
    if (vca > 8 || vca < 1) {
        r.s.diagnostics.warning(r.file, r.text.fileLine(hit),
                                "VCA '%s' is not 1 to 8 (the line has no effect)",
                                std::string(r.text.value(hit, 0)).c_str());
        vca = 0;
    }
    double value = parseDouble(r.text.value(hit, 1));
    const bool percent = r.s.settings.prefs.percentMode;
    if (vca != 0) noteFader(r, hit, r.text.value(hit, 1), value, percent);
    limitFaderValue(value, percent, vca, r.au.vca.count[vca]);
    addEntry(r, hit, r.au.vca, vca, levelOfFader(value, percent), LevelKind::Vca);
}

void readRampLine(Reader& r, const KeywordHit& hit) {
    const bool underFirst = r.lastIndex >= 0 && (r.cursor == 0 || r.lastIndex == 0);
    if (!enoughValues(r, hit, 1, "rmp") || !haveLatestEntry(r, hit, "rmp", !underFirst)) return;
    const bool vca = r.kind == LevelKind::Vca;
    const double written = parseDouble(r.text.value(hit, 0));
    int64_t ramp = truncToSamples(r.s.settings.tracks.sampleRate * written);
    const int32_t line = r.text.fileLine(hit);
    // One diagnostic for the line: the first that applies.
    bool noted = !r.levelAtCursor && !underFirst;
    const float start = static_cast<float>(r.cursor) + r.entryOffset;
    const auto song = static_cast<float>(r.s.settings.tracks.songLength);
    bool clip = false;
    if (underFirst) {
        warn("Error:  A ramp was found under an initial volume entry (channel %i).\nThis is for "
             "initial volume only.\n",
             r.lastSlot);
        r.s.diagnostics.warning(r.file, line,
                                "ramp under %s cue of %s is not used (that cue sets the level "
                                "at once)",
                                r.lastIndex == 0 ? "the first" : "a song-start",
                                r.lastSlotText().c_str());
        noted = true;
        ramp = 0;
        if (start > song) clip = true;
    } else {
        clip = static_cast<float>(ramp) + start > song;
    }
    if (clip) {
        ramp = truncToSamples(song - start);
        if (!noted)
            r.s.diagnostics.warning(
                r.file, line,
                "ramp of %g s for %s runs past the end of the song at %s (cut "
                "to %g s)",
                written, r.lastSlotText().c_str(),
                timeText(r.s, r.s.settings.tracks.songLength).c_str(),
                ramp > 0 ? static_cast<double>(ramp) / r.s.settings.tracks.sampleRate : 0.0);
        noted = true;
        warn(vca ? "Adjusted vca ramp that exceeded song length (channel %i)\n"
                 : "Adjusted volume ramp that exceeded song length (channel %i)\n",
             r.lastSlot);
    }
    if (ramp < 0) {
        if (!noted)
            r.s.diagnostics.warning(r.file, line, "ramp of %g s is below zero (no ramp used)",
                                    written);
        warn(vca ? "Error:  Time entry for vca ramp is less than zero. Ramp reset to 0.\n"
                 : "Error:  Time entry for volume ramp is less than zero. Ramp reset to 0.\n");
        ramp = 0;
    }
    r.lastTable().ramps[r.lastAt()] = ramp;
    (vca ? r.lines.vcaRamp : r.lines.volumeRamp)[r.lastAt()] = ramp > 0 ? line : 0;
}

void readShapeLine(Reader& r, const KeywordHit& hit) {
    if (!enoughValues(r, hit, 1, "shape") || !haveLatestEntry(r, hit, "shape")) return;
    const auto shape = static_cast<float>(parseDouble(r.text.value(hit, 0)));
    if (shape >= 0.125f && shape <= 8.0f)
        r.lastTable().shapes[r.lastAt()] = shape;
    else
        r.s.diagnostics.warning(r.file, r.text.fileLine(hit),
                                "shape '%s' is not 0.125 to 8 (line ignored)",
                                std::string(r.text.value(hit, 0)).c_str());
}

// `ofs` moves the latest entry (a VCA entry when the latest level line was
// a `vca` line).
void readOffsetLine(Reader& r, const KeywordHit& hit) {
    if (!enoughValues(r, hit, 1, "ofs") || !haveLatestEntry(r, hit, "ofs")) return;
    const auto shift =
        static_cast<float>(parseDouble(r.text.value(hit, 0)) * r.s.settings.tracks.sampleRate);
    int64_t& time = r.lastTable().times[r.lastAt()];
    time = truncToSamples(static_cast<double>(static_cast<float>(time) + shift));
    r.entryOffset = shift;
}

void readTimelinePass(Reader& r) {
    const KeywordText& text = r.text;
    for (std::size_t line = 0; line < text.lineCount(); ++line) {
        const auto& fields = text.fields(line);
        for (std::size_t f = 0; f < fields.size(); ++f) {
            const std::string_view tok = fields[f];
            const KeywordHit hit{line, f};
            bool known = true;
            if (tok == "t") {
                readTimeLine(r, hit);
            } else if (tok == "v") {
                readVolumeLine(r, hit);
            } else if (tok == "vca") {
                readVcaLine(r, hit);
            } else if (tok == "p" || tok == "pol") {
                const LineSlot ch = lineSlot(text, hit);
                if (!enoughValues(r, hit, ch.used + 1, tok == "p" ? "p" : "pol")) break;
                noteChannelField(r.s, text, hit, ch, tok == "p" ? "p" : "pol", false);
                const int32_t value = parseInt(text.value(hit, ch.used));
                if (tok == "p") {
                    r.au.slots.pan[ch.slot] = value;
                    r.lines.pan[ch.slot] = text.fileLine(hit);
                } else {
                    r.au.slots.polarity[ch.slot] = (value == -1 || value == 1) ? value : 1;
                    if (value != -1 && value != 1)
                        r.s.diagnostics.warning(r.file, text.fileLine(hit),
                                                "polarity '%s' is not 1 or -1 (1 used)",
                                                std::string(text.value(hit, ch.used)).c_str());
                }
            } else if (tok == "rmp") {
                readRampLine(r, hit);
            } else if (tok == "shape") {
                readShapeLine(r, hit);
            } else if (tok == "ofs") {
                readOffsetLine(r, hit);
            } else if (tok == "inc") {
                if (!enoughValues(r, hit, 1, "inc")) break;
                r.cursor = truncToSamples(static_cast<double>(r.cursor) +
                                          static_cast<float>(r.s.settings.tracks.sampleRate) *
                                              parseDouble(text.value(hit, 0)));
                if (r.cursor > r.s.settings.tracks.songLength)
                    r.s.diagnostics.warning(r.file, text.fileLine(hit),
                                            "inc moves the time to %s, after the end of the song "
                                            "at %s (a cue there never plays)",
                                            timeText(r.s, r.cursor).c_str(),
                                            timeText(r.s, r.s.settings.tracks.songLength).c_str());
            } else {
                known = false;
            }
            // A known line takes the rest of its line; other tokens are
            // passed one at a time.
            if (known) break;
        }
    }
}

void readTimeFieldCount(MixSession& s, const PreferenceLines& prefs) {
    int32_t fieldsLine = 0;
    for (const PrefsHit& hit : prefs.find("tfields")) {
        if (prefs.valueCount(hit) == 0) continue;
        const int32_t v = parseInt(prefs.value(hit, 0));
        // A value outside 1 to 3 is named by the preferences' own checks.
        s.settings.prefs.timeFields = (v >= 1 && v <= 3) ? v : 3;
        fieldsLine = prefs.fileLine(hit);
        if (s.settings.prefs.verbosity != 2) continue;
        if (s.settings.prefs.timeFields == 1)
            warn("Using 1 time field\n");
        else
            warn("Using %i time fields\n", s.settings.prefs.timeFields);
    }
    if (s.settings.prefs.tempoMode && s.settings.prefs.timeFields == 1) {
        s.diagnostics.error(s.settings.tracks.prefsPath, fieldsLine,
                            "tfields 1 cannot hold bar, beat and tick in tempo mode");
        stopRun(2, "Tempo mode needs 2 or 3 time fields (bar, beat and tick), but tfields is 1.\n");
    }
}

void readDelayPans(MixSession& s, const KeywordText& text) {
    const std::string& file = s.settings.tracks.fadersPath;
    // A pan law of 0 delay-pans every mono channel.
    const bool delayMode = s.settings.prefs.panLaw == 0.0f;
    for (const KeywordHit& hit : text.find("dp")) {
        if (text.valueCount(hit) < 2) continue;
        const int32_t line = text.fileLine(hit);
        // The channel is a plain number: "M" and "G" forms read as 0.
        const ChannelField f = readChannelField(text.fields(hit.line), hit.field + 1);
        const int64_t ch = f.group == GroupMark::None ? f.number : 0;
        if (ch < 0 || ch >= kEntrySlots) {
            warn("%s line %d: dp channel %lld has no slot; line ignored.\n",
                 s.settings.tracks.fadersPath.c_str(), text.fileLine(hit),
                 static_cast<long long>(ch));
            s.diagnostics.warning(file, line, "dp channel %lld is out of range (line ignored)",
                                  static_cast<long long>(ch));
            continue;
        }
        int32_t value = parseInt(text.value(hit, 1));
        const bool inRange = value >= -100 && value <= 100;
        const std::string channel(text.value(hit, 0));
        // Delay pans are read for channels 1 up to the last track only.
        if (f.group != GroupMark::None || f.kind != ChannelKind::Channel || ch == 0 ||
            ch > s.settings.tracks.channelCount)
            s.diagnostics.warning(file, line,
                                  "dp channel '%s' names no track channel (the line has no "
                                  "effect)",
                                  channel.c_str());
        else if (!inRange)
            s.diagnostics.warning(file, line,
                                  "delay pan '%s' is not -100 to 100 (no delay pan used)",
                                  std::string(text.value(hit, 1)).c_str());
        else if (value != 0 && delayMode && s.settings.tracks.channelOn[ch] != 0)
            s.diagnostics.warning(file, line,
                                  "dp is not used: with pan law 0 every mono channel is "
                                  "delay-panned by its p value");
        else if (value != 0 && s.settings.tracks.wavChannels[ch] != 1 &&
                 s.settings.tracks.channelOn[ch] != 0)
            s.diagnostics.warning(file, line,
                                  "dp on channel %lld is not used: its track is stereo (its pan "
                                  "is dropped, both sides at unity)",
                                  static_cast<long long>(ch));
        if (!inRange) value = 0;
        s.settings.automation.slots.delayPan[static_cast<std::size_t>(ch)] = value;
    }
}

void scaleEntries(EntryTable& t, int slot, int32_t rows, double ratio) {
    for (int32_t n = 0; n < rows; ++n) {
        int32_t& level = t.levels[t.at(n, slot)];
        level = truncToInt32(level * ratio);
    }
}

void readTrims(MixSession& s, const KeywordText& text) {
    AutomationScript& au = s.settings.automation;
    std::array<double, kEntrySlots> ratio{};
    std::array<bool, kEntrySlots> on{};
    for (const KeywordHit& hit : text.find("trim")) {
        const LineSlot ch = lineSlot(text, hit);
        const int32_t line = text.fileLine(hit);
        // A line without its value is named by the fader-line check.
        if (text.valueCount(hit) < ch.used + 1) continue;
        noteChannelField(s, text, hit, ch, "trim", false);
        const std::string written(text.value(hit, ch.used));
        const double value = parseDouble(written);
        const double r =
            s.settings.prefs.percentMode ? value / 100.0 : std::pow(10.0, value / 20.0);
        if (r > kMaxTrimRatio) {
            warn("Channel %i volume trim set above 24 dB. Trim bypassed.\n", ch.slot);
            s.diagnostics.warning(s.settings.tracks.fadersPath, line,
                                  "trim '%s' is above +24 dB (line ignored)", written.c_str());
            continue;
        }
        // A negative percentage would turn levels negative; it is refused.
        if (r < 0.0) {
            warn("Channel %i volume trim set below 0 percent. Trim bypassed.\n", ch.slot);
            s.diagnostics.warning(s.settings.tracks.fadersPath, line,
                                  "trim '%s' is below 0 percent (line ignored)", written.c_str());
            continue;
        }
        ratio[ch.slot] = r;
        on[ch.slot] = true;
    }
    for (int slot = 0; slot < kEntrySlots; ++slot)
        if (on[slot]) scaleEntries(au.volume, slot, au.volume.count[slot], ratio[slot]);
}

void readScaleAndMasterTrim(MixSession& s, const KeywordText& text) {
    AutomationScript& au = s.settings.automation;
    bool scaled = false;
    double factor = 1.0;
    for (const KeywordHit& hit : text.find("scale")) {
        if (text.valueCount(hit) == 0) continue;
        const double f = parseDouble(text.value(hit, 0));
        if (f > 8.0) {
            warn("Scale function value is set above 8.  Scale bypassed\n");
            s.diagnostics.warning(s.settings.tracks.fadersPath, text.fileLine(hit),
                                  "scale '%s' is above 8 (line ignored)",
                                  std::string(text.value(hit, 0)).c_str());
            continue;
        }
        // A negative factor would give negative levels, which have no dB
        // value to ramp through; it is refused like one above 8.
        if (f < 0.0) {
            warn("Scale function value is set below 0.  Scale bypassed\n");
            s.diagnostics.warning(s.settings.tracks.fadersPath, text.fileLine(hit),
                                  "scale '%s' is below 0 (line ignored)",
                                  std::string(text.value(hit, 0)).c_str());
            continue;
        }
        factor = f;
        scaled = true;
    }
    if (scaled)
        for (int slot = 1; slot <= kMaxChannels; ++slot)
            scaleEntries(au.volume, slot, kMaxEntries, factor);

    bool trimmed = false;
    double trim = 1.0;
    for (const KeywordHit& hit : text.find("mtrim")) {
        if (text.valueCount(hit) == 0) continue;
        const double dB = parseDouble(text.value(hit, 0));
        if (dB > 24.0) {
            warn("Master Trim is set above allowed value of 24 dB\n Master trim bypassed\n");
            s.diagnostics.warning(s.settings.tracks.fadersPath, text.fileLine(hit),
                                  "mtrim '%s' is above +24 dB (line ignored)",
                                  std::string(text.value(hit, 0)).c_str());
            continue;
        }
        trim = std::pow(10.0, dB / 20.0);
        trimmed = true;
    }
    if (trimmed)
        for (int slot = 1; slot <= kMaxChannels; ++slot)
            scaleEntries(au.volume, slot, kMaxEntries, trim);
}

void readEffectsGains(MixSession& s, const KeywordText& text) {
    SlotSettings& slots = s.settings.automation.slots;
    slots.fxGain.fill(1.0);
    for (const KeywordHit& hit : text.find("fxg")) {
        const LineSlot ch = lineSlot(text, hit);
        // A line without its value is named by the fader-line check.
        if (text.valueCount(hit) < ch.used + 1) continue;
        noteChannelField(s, text, hit, ch, "fxg", true);
        if (ch.master) slots.masterEffects = 1;
        double gain = std::pow(10.0, parseDouble(text.value(hit, ch.used)) / 20.0);
        if (gain > 15.9 || gain < -15.9) {
            s.diagnostics.warning(s.settings.tracks.fadersPath, text.fileLine(hit),
                                  "effects gain '%s' is above +24 dB (0 dB used)",
                                  std::string(text.value(hit, ch.used)).c_str());
            gain = 1.0;
        }
        slots.fxGain[ch.slot] = gain;
    }
}

void validate(MixSession& s, const EntryLines& lines) {
    AutomationScript& au = s.settings.automation;
    for (int slot = 0; slot < kEntrySlots; ++slot) {
        int32_t& pan = au.slots.pan[slot];
        if (pan < -100 || pan > 100) {
            warn("Pan on channel %i appears to be set wrong.  Setting to 0.\n", slot);
            s.diagnostics.warning(s.settings.tracks.fadersPath, lines.pan[slot],
                                  "pan %d is not -100 to 100 (0 used)", pan);
            pan = 0;
        }
    }
    EntryTable& t = au.volume;
    for (int slot = 0; slot < kEntrySlots; ++slot)
        for (int32_t n = 0; n < t.count[slot]; ++n) {
            int32_t& level = t.levels[t.at(n, slot)];
            if (level > kMaxLevel || level < -kMaxLevel) {
                // Only trims and scales take a level this high.
                s.diagnostics.warning(s.settings.tracks.fadersPath, lines.volume[t.at(n, slot)],
                                      "level of %s comes to %+.2f dB with its trims and scale "
                                      "(above +12 dB: silence used)",
                                      slotText(slot, false).c_str(), levelTodB(level));
                level = 0;
                warn(">> Warning! Volume entry %i on channel %i is above +12 dB.  \nEntry reset to "
                     "-144 dB\n",
                     n + 1, slot);
            }
        }
}

// Entries start strictly in list order: one whose time is not later than the
// one before it is never reached, and neither is any entry after it.
void warnAboutUnreachableEntries(MixSession& s, const EntryTable& t,
                                 const std::vector<int32_t>& lines, int slots, bool vca) {
    for (int slot = 0; slot < slots; ++slot)
        for (int32_t n = 1; n < t.count[slot]; ++n)
            if (t.times[t.at(n, slot)] <= t.times[t.at(n - 1, slot)]) {
                const int64_t time = t.times[t.at(n, slot)];
                const int64_t before = t.times[t.at(n - 1, slot)];
                const std::string name = slotText(slot, vca);
                // VCA slot 0 holds the cues of VCA numbers that were refused,
                // and the lines of a channel without a track are named already.
                const bool named = vca ? slot == 0
                                       : slot >= 1 && slot <= kMaxChannels &&
                                             slot > s.settings.tracks.channelCount;
                if (!named)
                    s.diagnostics.warning(
                        s.settings.tracks.fadersPath, lines[t.at(n, slot)],
                        "cue at %s is %s the cue before it for %s%s (it never plays, nor does "
                        "any later cue of %s)",
                        timeText(s, time).c_str(),
                        time == before ? "at the same time as" : "earlier than", name.c_str(),
                        time == before ? "" : (" at " + timeText(s, before)).c_str(), name.c_str());
                warn("%s: %s %s entry %d is not later than the entry before it; it and the "
                     "entries after it never start.\n",
                     s.settings.tracks.fadersPath.c_str(), vca ? "VCA" : "channel",
                     vca ? std::to_string(slot).c_str() : slotName(slot).c_str(), n + 1);
                break;
            }
}

// `rampLines` names the `rmp` line of a ramp written in the file; a default
// ramp that is cut goes unnamed, and so does one before a cue out of order,
// which is named itself.
void clipRamps(MixSession& s, EntryTable& t, int slot, const std::vector<int32_t>& rampLines,
               bool vca) {
    for (int32_t n = 0; n + 1 < t.count[slot]; ++n) {
        const int64_t time = t.times[t.at(n, slot)];
        const int64_t next = t.times[t.at(n + 1, slot)];
        int64_t& ramp = t.ramps[t.at(n, slot)];
        // A ramp never runs into the next entry; entries out of order get none.
        if (time + ramp <= next) continue;
        const int64_t cut = next > time ? next - time : 0;
        const int32_t line = rampLines[t.at(n, slot)];
        if (line != 0 && next > time && !(vca && slot == 0))
            s.diagnostics.warning(s.settings.tracks.fadersPath, line,
                                  "ramp of %g s for %s is cut to %g s by the next cue at %s",
                                  static_cast<double>(ramp) / s.settings.tracks.sampleRate,
                                  slotText(slot, vca).c_str(),
                                  static_cast<double>(cut) / s.settings.tracks.sampleRate,
                                  timeText(s, next).c_str());
        ramp = cut;
    }
}

void settleRamps(MixSession& s, const EntryLines& lines) {
    AutomationScript& au = s.settings.automation;
    EntryTable& t = au.volume;
    const float speed =
        s.settings.prefs.rampSpeed > 0.0f ? s.settings.prefs.rampSpeed : kDefaultRampSpeed;
    const double rate = s.settings.tracks.sampleRate;
    auto defaults = [&](int slot) {
        for (int32_t n = 1; n < t.count[slot]; ++n) {
            int64_t& ramp = t.ramps[t.at(n, slot)];
            if (ramp != 0) continue;
            const double jump = std::fabs(levelTodB(t.levels[t.at(n, slot)]) -
                                          levelTodB(t.levels[t.at(n - 1, slot)]));
            ramp = truncToSamples(jump * rate / speed);
        }
        clipRamps(s, t, slot, lines.volumeRamp, false);
    };
    for (int slot = 0; slot <= s.settings.tracks.channelCount; ++slot)
        defaults(slot);
    for (int slot = kFirstGroupSlot; slot < kEntrySlots; ++slot)
        defaults(slot);
    for (int vca = 0; vca < kVcaSlots; ++vca)
        clipRamps(s, au.vca, vca, lines.vcaRamp, true);

    warnAboutUnreachableEntries(s, t, lines.volume, kEntrySlots, false);
    warnAboutUnreachableEntries(s, au.vca, lines.vca, kVcaSlots, true);
}

} // namespace

std::string slotName(int slot) {
    if (slot == 0) return "M";
    if (slot > kMaxChannels) return "G " + std::to_string(slot - kMaxChannels);
    return std::to_string(slot);
}

void limitFaderValue(double& value, bool percent, int fader, int entry) {
    // "nan" reads as a number but is none: the fader closes.
    if (std::isnan(value)) {
        warn(">> Warning: fader %i (entry %i) is not a number; set to silence\n", fader, entry + 1);
        value = percent ? 0.0 : kFloorDb;
    }
    if (!percent) {
        if (value > 12.02) {
            warn(">> Warning: fader %i (entry %i) set above 12.02 dB\n", fader, entry + 1);
            value = 12.02;
        }
        if (value < kFloorDb) value = kFloorDb;
    } else {
        if (value > 400.0) {
            warn(">> Warning: fader %i (entry %i) set above 400 percent\n", fader, entry + 1);
            value = 400.0;
        }
        if (value < 0.0) {
            warn(">> Warning: fader %i (entry %i) set below 0 percent\n", fader, entry + 1);
            value = 0.0;
        }
    }
}

int32_t levelOfFader(double value, bool percent) {
    if (percent) return truncToInt32(value / 100.0 * kUnityLevel);
    return truncToInt32(std::pow(10.0, value / 20.0) * kUnityLevel);
}

void readTimeEntries(MixSession& s, const FaderLines& fader, const PreferenceLines& prefs) {
    readTimeFieldCount(s, prefs);
    if (s.settings.prefs.verbosity == 2) warn("Reading volume and pan settings...\n");
    const KeywordText& text = fader.fields();
    EntryLines lines;
    Reader reader{s, text, s.settings.automation, s.settings.tracks.fadersPath, lines};
    readTimelinePass(reader);
    if (s.settings.prefs.verbosity == 2) {
        if (reader.timeEntries == 0)
            warn("No time entries found!\n");
        else if (reader.timeEntries == 1)
            warn("Counted 1 time entry.\n");
        else
            warn("Counted %i time entries.\n", reader.timeEntries);
    }
    readDelayPans(s, text);
    readTrims(s, text);
    readScaleAndMasterTrim(s, text);
    readEffectsGains(s, text);
    validate(s, lines);
    settleRamps(s, lines);
    for (int c = 1; c <= s.settings.tracks.channelCount; ++c)
        if (s.settings.tracks.channelOn[c] != 0 && s.settings.automation.volume.count[c] == 0)
            warn("Channel %d has no volume entry (v line) and stays silent.\n", c);
}

} // namespace tarvex
