// Preferences file reader.
#include "driver/preferences.h"

#include "core/saturate.h"
#include <cstdlib>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "automation/decibels.h"
#include "automation/routing.h"
#include "core/console.h"
#include "driver/output_files.h"
#include "driver/text_fields.h"
#include "engine/mix_views.h"

namespace tarvex {

const char* const kDefaultPrefsText =
    "begin\npre\toff\nstart\t0\t0\t0\nlength\t0\noutbits\t24\n\nend\n";

namespace {

constexpr const char* kDefaultPrefsName = "prefs.txt";
// Most channel-strip workers `threads` may ask for.
constexpr int kMaxThreadsPref = 64;

// A keyword standing among the values of another one (`launch` `tempo`):
// what it does there is named once, by the pass over the lines.
bool inValue(const PreferenceLines& text, const PrefsHit& hit) {
    return hit.field > 0 && isPrefsKeyword(text.lines[hit.line].field(0));
}

// A keyword's values must stand on its own line; one without them is ignored.
bool hasValues(Diagnostics& d, const PreferenceLines& text, const PrefsHit& hit, std::size_t needed,
               const char* keyword) {
    if (text.valueCount(hit) >= needed) return true;
    warn("%s line %d: \"%s\" needs %zu value%s on its line; ignored.\n", text.fileName.c_str(),
         text.fileLine(hit), keyword, needed, needed == 1 ? "" : "s");
    if (!inValue(text, hit))
        d.warning(text.fileName, text.fileLine(hit),
                  "'%s' needs %zu tab-separated value%s on its line (line ignored)", keyword,
                  needed, needed == 1 ? "" : "s");
    return false;
}

// Names every line of `hits` but the one that counts, `counting`.
void reportRepeats(Diagnostics& d, const PreferenceLines& text, const std::vector<PrefsHit>& hits,
                   const PrefsHit& counting, const char* keyword) {
    const bool lastCounts =
        counting.line == hits.back().line && counting.field == hits.back().field;
    for (const PrefsHit& h : hits) {
        if ((h.line == counting.line && h.field == counting.field) || inValue(text, h)) continue;
        d.warning(text.fileName, text.fileLine(h),
                  lastCounts ? "'%s' is given again on line %d, which counts (this line has no "
                               "effect)"
                             : "'%s' is given before, on line %d, which counts (this line has no "
                               "effect)",
                  keyword, text.fileLine(counting));
    }
}

// The last occurrence of a keyword that carries the values it needs.
bool lastWithValues(Diagnostics& d, const PreferenceLines& text, const char* keyword,
                    std::size_t needed, PrefsHit& hit) {
    std::vector<PrefsHit> complete;
    for (const PrefsHit& h : text.find(keyword))
        if (hasValues(d, text, h, needed, keyword)) complete.push_back(h);
    if (complete.empty()) return false;
    hit = complete.back();
    reportRepeats(d, text, complete, hit, keyword);
    return true;
}

// The first or the last occurrence of a keyword, whatever its values.
bool firstOf(Diagnostics& d, const PreferenceLines& text, const char* keyword, PrefsHit& hit) {
    const auto hits = text.find(keyword);
    if (hits.empty()) return false;
    hit = hits.front();
    reportRepeats(d, text, hits, hit, keyword);
    return true;
}

bool lastOf(Diagnostics& d, const PreferenceLines& text, const char* keyword, PrefsHit& hit) {
    const auto hits = text.find(keyword);
    if (hits.empty()) return false;
    hit = hits.back();
    reportRepeats(d, text, hits, hit, keyword);
    return true;
}

// A field that reads as a number as a whole; `whole` asks for an integer.
bool numberText(std::string_view field, bool whole) {
    std::size_t at = 0;
    while (at < field.size() && field[at] == ' ')
        ++at;
    if (at < field.size() && (field[at] == '-' || field[at] == '+')) ++at;
    bool digits = false, point = false;
    for (; at < field.size(); ++at) {
        if (field[at] >= '0' && field[at] <= '9')
            digits = true;
        else if (field[at] == '.' && !whole && !point)
            point = true;
        else
            break;
    }
    while (at < field.size() && field[at] == ' ')
        ++at;
    return digits && at == field.size();
}

// Names the values from `first` on (up to `count`) that are not numbers.
void checkNumbers(Diagnostics& d, const PreferenceLines& text, const PrefsHit& hit,
                  const char* keyword, std::size_t count, bool whole) {
    for (std::size_t k = 0; k < count && k < text.valueCount(hit); ++k) {
        const std::string_view v = text.value(hit, k);
        if (numberText(v, whole)) continue;
        if (whole)
            d.warning(text.fileName, text.fileLine(hit),
                      "%s value '%s' is not a whole number (%d used)", keyword,
                      shownText(v).c_str(), static_cast<int>(parseInt(v)));
        else
            d.warning(text.fileName, text.fileLine(hit), "%s value '%s' is not a number (%g used)",
                      keyword, shownText(v).c_str(), parseDouble(v));
    }
}

// A time of 1, 2 or 3 fields read from the values after a keyword.
int64_t readTime(const PreferenceLines& text, const PrefsHit& hit, int32_t fields, uint32_t rate) {
    auto v = [&](std::size_t k) { return parseDouble(text.value(hit, k)); };
    if (fields == 1) return timeFieldsToSamples(0.0, v(0), 0.0, rate);
    if (fields == 2) return timeFieldsToSamples(v(0), v(1), 0.0, rate);
    return timeFieldsToSamples(v(0), v(1), v(2), rate);
}

// Seconds to samples for `head` and `tail`: floor in single precision.
int64_t secondsFloorSingle(double seconds, uint32_t rate) {
    const float samples = static_cast<float>(seconds) * static_cast<float>(rate);
    return truncToSamples(std::floor(static_cast<double>(samples)));
}

int32_t readFieldCount(Diagnostics& d, const PreferenceLines& text, const char* keyword,
                       int32_t current) {
    PrefsHit hit;
    if (!lastWithValues(d, text, keyword, 1, hit)) return current;
    const int32_t v = parseInt(text.value(hit, 0));
    if (v >= 1 && v <= 3) return v;
    d.warning(text.fileName, text.fileLine(hit), "%s '%s' is not 1, 2 or 3 (3 used)", keyword,
              shownText(text.value(hit, 0)).c_str());
    return 3;
}

void readDirectory(Diagnostics& d, const PreferenceLines& text, const char* keyword, bool& set,
                   std::string& dir) {
    PrefsHit hit;
    if (!lastWithValues(d, text, keyword, 1, hit)) return;
    set = true;
    dir = std::string(text.restOfLine(hit));
}

// The line numbers count from the "begin" line as line 1.
void printLayoutWarnings(const PreferenceLines& text) {
    for (const PrefsLayoutSlip& slip : text.slips) {
        const int n = slip.fileLine - text.firstLine + 1;
        if (slip.doubleTab) warn("\n>>>  Warning: extra tab on line %i of preferences file.\n", n);
        if (slip.tabSpace) warn("\n>>>  Warning: extra space on line %i of preferences file.\n", n);
    }
}

// A missing preferences file is replaced by a new "prefs.txt", but an existing
// "prefs.txt" (when another name was asked for) is never overwritten. A check
// writes nothing and says what a render would do.
std::string createDefaultPrefs(const std::string& path, MissingPrefs missing) {
    warn("\nWarning: %s file was not found...\n", path.c_str());
    std::error_code ec;
    if (std::filesystem::exists(kDefaultPrefsName, ec)) {
        warn("%s exists and is left as it is; using the default preferences.\n", kDefaultPrefsName);
        return kDefaultPrefsText;
    }
    if (missing == MissingPrefs::useDefaults) {
        warn("Check only: a render would create %s with the default preferences; checking "
             "with the defaults.\n",
             kDefaultPrefsName);
        return kDefaultPrefsText;
    }
    const std::string text = kDefaultPrefsText;
    if (const auto reason = createWholeFile(kDefaultPrefsName, text)) {
        warn("Could not create %s: %s; using the default preferences.\n", kDefaultPrefsName,
             reason->c_str());
        return text;
    }
    warn("...created one for you.\n");
    return text;
}

// A whole decimal number, digits only, up to `high`.
bool wholeNumber(std::string_view field, uint64_t high, uint64_t& out) {
    if (field.empty() || field.size() > 20) return false;
    uint64_t v = 0;
    for (char ch : field) {
        if (ch < '0' || ch > '9') return false;
        v = v * 10 + static_cast<uint64_t>(ch - '0');
        if (v > high) return false;
    }
    out = v;
    return true;
}

// `threads` (0 = one worker per core, up to 64) and `seed` (the dither noise
// repeats exactly); a value out of range is named and left unused.
void readWorkersAndSeed(MixSession& s, const PreferenceLines& text) {
    Diagnostics& d = s.diagnostics;
    PrefsHit hit;
    uint64_t v = 0;
    if (lastWithValues(d, text, "threads", 1, hit)) {
        if (wholeNumber(text.value(hit, 0), kMaxThreadsPref, v)) {
            s.settings.prefs.threads = static_cast<int32_t>(v);
        } else {
            warn("%s line %d: threads must be 0 (one per core) to %d; one per core is used.\n",
                 text.fileName.c_str(), text.fileLine(hit), kMaxThreadsPref);
            d.warning(text.fileName, text.fileLine(hit),
                      "threads '%s' is not 0 to %d (one worker per core used)",
                      shownText(text.value(hit, 0)).c_str(), kMaxThreadsPref);
        }
    }
    if (lastWithValues(d, text, "seed", 1, hit)) {
        if (wholeNumber(text.value(hit, 0), UINT32_MAX, v)) {
            s.settings.prefs.ditherSeedSet = true;
            s.settings.prefs.ditherSeed = static_cast<uint32_t>(v);
        } else {
            warn("%s line %d: seed must be a whole number from 0 to 4294967295; the dither "
                 "noise is seeded from the clock.\n",
                 text.fileName.c_str(), text.fileLine(hit));
            d.warning(text.fileName, text.fileLine(hit),
                      "seed '%s' is not a whole number from 0 to 4294967295 (the dither noise "
                      "is seeded from the clock)",
                      shownText(text.value(hit, 0)).c_str());
        }
    }
}

// `loudness` (optionally with a target in LUFS), `plot` (the SVG file to
// write), `overs` and `stems`: the optional views and deliveries of the mix.
void readMixViews(MixSession& s, const PreferenceLines& text) {
    Diagnostics& d = s.diagnostics;
    PrefsHit hit;
    if (lastOf(d, text, "loudness", hit)) {
        s.settings.prefs.loudnessOn = true;
        if (text.valueCount(hit) > 0) {
            double target = 0.0;
            if (readLoudnessTarget(std::string(text.value(hit, 0)), target)) {
                s.settings.prefs.loudnessTargetSet = true;
                s.settings.prefs.loudnessTarget = target;
            } else {
                warn("%s line %d: the loudness target must be a level from -70 to 0 LUFS; no "
                     "target is used.\n",
                     text.fileName.c_str(), text.fileLine(hit));
                d.warning(text.fileName, text.fileLine(hit),
                          "loudness target '%s' is not a level from -70 to 0 LUFS (no target "
                          "used)",
                          shownText(text.value(hit, 0)).c_str());
            }
        }
    }
    if (lastWithValues(d, text, "plot", 1, hit))
        s.settings.prefs.plotPath = std::string(text.value(hit, 0));
    if (lastOf(d, text, "overs", hit)) s.settings.prefs.oversOn = true;
    if (lastOf(d, text, "stems", hit)) s.settings.prefs.stemsOn = true;
}

// Lines that no stage reads: unknown keywords, fields separated by spaces,
// and keywords standing among the values of another one, which count as
// keywords all the same. Lines whose first field begins with '(' are
// switched off on purpose.
void reportUnreadLines(Diagnostics& d, const PreferenceLines& text) {
    if (!text.afterBegin.empty())
        d.warning(text.fileName, text.firstLine, "'%s' after 'begin' on its line is not read",
                  shownText(text.afterBegin).c_str());
    if (text.endMidLine != 0)
        d.warning(text.fileName, text.endMidLine,
                  "'end' after '%s' ends the file in mid-line (nothing after it is read)",
                  shownText(text.lines.back().text).c_str());
    for (const std::size_t l : text.unusedLines()) {
        const std::string_view first = text.lines[l].field(0);
        if (first.front() == '(') continue;
        const std::string_view word = first.substr(0, first.find(' '));
        if (word != first && isPrefsKeyword(word))
            d.warning(text.fileName, text.lines[l].fileLine,
                      "fields separated by spaces instead of tabs in '%s' (line ignored)",
                      shownText(text.lines[l].text).c_str());
        else
            d.warning(text.fileName, text.lines[l].fileLine, "unknown keyword '%s' (line ignored)",
                      shownText(first).c_str());
    }
    for (const PrefsLine& line : text.lines) {
        if (line.fieldCount() == 0 || !isPrefsKeyword(line.field(0))) continue;
        for (std::size_t f = 1; f < line.fieldCount(); ++f)
            if (isPrefsKeyword(line.field(f)))
                d.warning(text.fileName, line.fileLine,
                          "'%s' in the value of '%s' is read as a keyword of its own too",
                          std::string(line.field(f)).c_str(), std::string(line.field(0)).c_str());
    }
}

// Keywords that later stages read, named here while the file is at hand:
// the first `pan` counts, the last `oname`, the last `tfields` with a value.
void nameLaterKeywords(Diagnostics& d, const PreferenceLines& text) {
    PrefsHit hit;
    firstOf(d, text, "pan", hit);
    lastOf(d, text, "oname", hit);
    std::vector<PrefsHit> counts;
    for (const PrefsHit& h : text.find("tfields"))
        if (text.valueCount(h) > 0) counts.push_back(h);
    if (counts.empty()) return;
    reportRepeats(d, text, counts, counts.back(), "tfields");
    const int32_t v = parseInt(text.value(counts.back(), 0));
    if ((v < 1 || v > 3) && !inValue(text, counts.back()))
        d.warning(text.fileName, text.fileLine(counts.back()),
                  "tfields '%s' is not 1, 2 or 3 (3 used)",
                  shownText(text.value(counts.back(), 0)).c_str());
}

// The render window could not be set: names the line that made it empty or
// put it outside the song, before the run stops.
void nameBadWindow(MixSession& s, const PreferenceLines& text, int fileLine) {
    if (s.settings.tracks.songLength <= 0)
        s.diagnostics.error(s.settings.tracks.tracksPath, 0,
                            "no track is on, so the song is empty and there is nothing to render");
    else
        s.diagnostics.error(
            text.fileName, fileLine, "the render window ends up empty or outside the song of %s",
            clockTextOf(s.settings.tracks.songLength, s.settings.tracks.sampleRate).c_str());
}

} // namespace

bool readLoudnessTarget(const std::string& text, double& target) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || end == nullptr || *end != '\0' || !(v >= -70.0 && v <= 0.0)) return false;
    target = v;
    return true;
}

int64_t timeFieldsToSamples(double minutes, double seconds, double millis, uint32_t rate) {
    const double total = minutes * 60.0 + seconds + millis / 1000.0;
    return truncToSamples(std::trunc(total * static_cast<double>(rate)));
}

std::string readPreferencesFile(const std::string& path, MissingPrefs missing) {
    std::string raw;
    if (!readWholeFile(path, raw)) raw = createDefaultPrefs(path, missing);
    return raw;
}

void loadPreferences(MixSession& s, const PreferenceLines& text) {
    Diagnostics& d = s.diagnostics;
    printLayoutWarnings(text);
    reportUnreadLines(d, text);

    PrefsHit hit;
    // The first `pan` with a value sets the pan law.
    const bool panGiven = text.first("pan", hit) && text.valueCount(hit) > 0;
    s.settings.prefs.panLaw = panLawOf(panGiven, panGiven ? parseDouble(text.value(hit, 0)) : 0.0);
    // The last `tap` naming a signal counts.
    for (const PrefsHit& tap : text.find("tap")) {
        if (text.value(tap, 0) == "rev") s.settings.prefs.tapSignal = 1;
        if (text.value(tap, 0) == "rtn") s.settings.prefs.tapSignal = 2;
    }
    if (lastWithValues(d, text, "verbo", 1, hit)) {
        checkNumbers(d, text, hit, "verbo", 1, true);
        s.settings.prefs.verbosity = parseInt(text.value(hit, 0));
    }
    if (s.settings.prefs.verbosity == 2) warn("%s", s.banner.c_str());

    readDirectory(d, text, "mixdir", s.settings.prefs.mixDirSet, s.settings.prefs.mixDir);
    readDirectory(d, text, "predir", s.settings.prefs.previewDirSet, s.settings.prefs.previewDir);
    readDirectory(d, text, "bakdir", s.settings.prefs.backupDirSet, s.settings.prefs.backupDir);
    readDirectory(d, text, "wavdir", s.settings.prefs.wavDirSet, s.settings.prefs.wavDir);

    // Every `tlist` of 0 or 1 counts in turn; other values leave the layout.
    std::vector<PrefsHit> layouts;
    for (const PrefsHit& h : text.find("tlist")) {
        if (!hasValues(d, text, h, 1, "tlist")) continue;
        const int32_t mode = parseInt(text.value(h, 0));
        if (mode == 0 || mode == 1) {
            s.settings.prefs.trackListMode = mode;
            layouts.push_back(h);
        } else if (!(mode == 2 && s.settings.prefs.trackListMode == 2) && !inValue(text, h)) {
            d.warning(text.fileName, text.fileLine(h), "tlist '%s' is not 0 or 1 (tlist %d kept)",
                      shownText(text.value(h, 0)).c_str(), s.settings.prefs.trackListMode);
        }
    }
    if (!layouts.empty()) reportRepeats(d, text, layouts, layouts.back(), "tlist");
    if (firstOf(d, text, "tlist=tab", hit)) s.settings.prefs.trackListTab = true;
    readWorkersAndSeed(s, text);
    readMixViews(s, text);
    nameLaterKeywords(d, text);
}

void checkPreferences(MixSession& s, const PreferenceLines& text) {
    Diagnostics& d = s.diagnostics;
    PrefsSettings& p = s.settings.prefs;
    const uint32_t rate = s.settings.tracks.sampleRate;
    const int64_t song = s.settings.tracks.songLength;
    const bool talk = p.verbosity == 2;
    PrefsHit hit;

    p.startFields = readFieldCount(d, text, "sfields", p.startFields);
    if (talk) warn("Checking Preferences...\n");

    p.renderStart = 0;
    p.renderLength = song;
    const bool preGiven = lastOf(d, text, "pre", hit);
    if (!preGiven) {
        if (talk) warn("Preview mode not specified.\n");
        // Without a `pre` line nothing can switch the preview settings on; a
        // `pre off` line keeps them for the next preview, as the default file does.
        for (const char* keyword : {"start", "length"})
            for (const PrefsHit& h : text.find(keyword))
                if (!inValue(text, h))
                    d.warning(text.fileName, text.fileLine(h),
                              "'%s' only counts in a preview, and no 'pre' line asks for one "
                              "(line ignored)",
                              keyword);
    } else if (inValue(text, hit)) {
        // Named by the pass over the lines.
    } else if (text.valueCount(hit) == 0) {
        d.warning(text.fileName, text.fileLine(hit), "'pre' has no value (full render)");
    } else if (text.value(hit, 0) != "on" && text.value(hit, 0) != "off") {
        d.warning(text.fileName, text.fileLine(hit), "pre '%s' is not 'on' or 'off' (full render)",
                  shownText(text.value(hit, 0)).c_str());
    }
    if (preGiven && text.value(hit, 0) == "on") {
        p.previewMode = true;
        if (p.previewDirSet)
            s.settings.fader.outputPath = p.previewDir + "preview.wav";
        else if (p.mixDirSet)
            s.settings.fader.outputPath = p.mixDir + "preview.wav";
        else
            s.settings.fader.outputPath = "preview.wav";
        if (talk) warn("Running in Preview Mode\n");
        if (lastWithValues(d, text, "start", static_cast<std::size_t>(p.startFields), hit)) {
            checkNumbers(d, text, hit, "start", static_cast<std::size_t>(p.startFields), false);
            p.renderStart = readTime(text, hit, p.startFields, rate);
            if (p.renderStart > song) {
                d.error(text.fileName, text.fileLine(hit),
                        "preview start %s is beyond the end of the song at %s",
                        clockTextOf(p.renderStart, rate).c_str(), clockTextOf(song, rate).c_str());
                stopRun(2, "Error: Preview start time in preferences file exceeds song length\n");
            }
            if (p.renderStart < 0) {
                d.error(text.fileName, text.fileLine(hit), "preview start is before 0:00.000");
                stopRun(2, "Error: Preview start time in preferences is less than zero.\n");
            }
        }
        if (lastWithValues(d, text, "length", 1, hit)) {
            checkNumbers(d, text, hit, "length", 1, false);
            p.renderLength = truncToSamples(std::trunc(parseDouble(text.value(hit, 0)) * rate));
            if (p.renderLength < 0) {
                d.error(text.fileName, text.fileLine(hit), "preview length '%s' is below zero",
                        shownText(text.value(hit, 0)).c_str());
                stopRun(2, "Head or tail set incorrectly in preferences!\n");
            }
        }
    }

    if (!p.previewMode) {
        // The first step that leaves the window empty or outside the song
        // is the line to blame when the run stops.
        int badLine = 0;
        const auto step = [&](const PrefsHit& h) {
            if (badLine == 0 && (p.renderLength < 0 || p.renderStart < 0 || p.renderStart >= song))
                badLine = text.fileLine(h);
        };
        p.cutFields = readFieldCount(d, text, "xfields", p.cutFields);
        const auto need = static_cast<std::size_t>(p.cutFields);
        int64_t xin = 0;
        if (lastWithValues(d, text, "xin", need, hit)) {
            checkNumbers(d, text, hit, "xin", need, false);
            xin = readTime(text, hit, p.cutFields, rate);
            p.cutIn = xin;
            p.renderLength = subtractPositions(p.renderLength, xin);
            p.renderStart = xin;
            step(hit);
        }
        if (lastWithValues(d, text, "xout", need, hit)) {
            checkNumbers(d, text, hit, "xout", need, false);
            p.renderLength = subtractPositions(readTime(text, hit, p.cutFields, rate), xin);
            step(hit);
        }
        for (const char* keyword : {"head", "tail"}) {
            if (!lastWithValues(d, text, keyword, 1, hit)) continue;
            checkNumbers(d, text, hit, keyword, 1, false);
            const int64_t cut = secondsFloorSingle(parseDouble(text.value(hit, 0)), rate);
            if (cut > 1 && cut < song) {
                p.renderLength = subtractPositions(p.renderLength, cut);
                if (keyword[0] == 'h') p.renderStart = addPositions(p.renderStart, cut);
                step(hit);
            } else if (cut != 0 && song > 0) {
                d.warning(text.fileName, text.fileLine(hit),
                          "%s '%s' is not between one sample and the song length %s (no %s cut)",
                          keyword, shownText(text.value(hit, 0)).c_str(),
                          clockTextOf(song, rate).c_str(), keyword);
            }
        }
        if (p.renderLength < 0 || p.renderStart < 0 || p.renderStart >= song) {
            nameBadWindow(s, text, badLine);
            stopRun(2, "Head or tail set incorrectly in preferences!\n");
        }
    }

    if (firstOf(d, text, "v=percent", hit)) {
        p.percentMode = true;
        if (talk) warn("Faders using percent.\n");
    }
    if (firstOf(d, text, "tempo", hit)) {
        p.tempoMode = true;
        if (talk) warn("Tempo mode on.\n");
    }
    if (lastWithValues(d, text, "launch", 1, hit)) {
        p.launchSet = true;
        p.launchCommand = std::string(text.value(hit, 0));
        if (text.valueCount(hit) > 1 && !inValue(text, hit)) {
            std::string_view rest = text.restOfLine(hit).substr(p.launchCommand.size());
            while (!rest.empty() && rest.front() == '\t')
                rest.remove_prefix(1);
            d.warning(text.fileName, text.fileLine(hit),
                      "the launch command ends at the first tab: '%s' is run, '%s' is not",
                      shownText(p.launchCommand).c_str(), shownText(rest).c_str());
        }
    }
    if (lastWithValues(d, text, "mono", 1, hit)) {
        p.monoOut = true;
        float gain = dBtoRatio(parseDouble(text.restOfLine(hit)), 1.0);
        if (gain > 1.0f || gain < 0.125f) {
            if (!inValue(text, hit))
                d.warning(text.fileName, text.fileLine(hit),
                          "mono gain '%s' dB is above 0 or below -18.06 dB (-6.02 dB used)",
                          shownText(text.restOfLine(hit)).c_str());
            gain = 0.5f;
        }
        p.monoGain = gain;
    }
    if (lastWithValues(d, text, "dbps", 1, hit)) {
        checkNumbers(d, text, hit, "dbps", 1, false);
        p.rampSpeed = static_cast<float>(parseDouble(text.value(hit, 0)));
    }
    std::vector<PrefsHit> dithers;
    for (const PrefsHit& h : text.find("dither")) {
        if (!hasValues(d, text, h, 1, "dither")) continue;
        const int32_t bits = parseInt(text.value(h, 0));
        if (bits >= 0 && bits <= 8) {
            p.ditherBits = bits;
            dithers.push_back(h);
        } else {
            warn("Dither is set out of range (0-8)\n");
            if (!inValue(text, h))
                d.warning(text.fileName, text.fileLine(h),
                          "dither '%s' is not 0 to 8 (dither %d kept)",
                          shownText(text.value(h, 0)).c_str(), static_cast<int>(p.ditherBits));
        }
    }
    if (!dithers.empty()) reportRepeats(d, text, dithers, dithers.back(), "dither");
    // Every "outbits" with a value counts, without a word about the others.
    int32_t outBits = 0;
    std::vector<PrefsHit> sizes;
    for (const PrefsHit& h : text.find("outbits")) {
        if (text.valueCount(h) == 0) {
            if (!inValue(text, h))
                d.warning(text.fileName, text.fileLine(h),
                          "'outbits' needs 1 tab-separated value on its line (line ignored)");
            continue;
        }
        outBits = parseInt(text.value(h, 0));
        sizes.push_back(h);
        if (outBits != 16 && outBits != 24 && !inValue(text, h))
            d.warning(text.fileName, text.fileLine(h), "outbits %s is not 16 or 24 (24 used)",
                      shownText(text.value(h, 0)).c_str());
    }
    if (!sizes.empty()) reportRepeats(d, text, sizes, sizes.back(), "outbits");
    p.outBits = outBits == 16 ? 16 : 24;
}

void readAutomationOffset(MixSession& s, const PreferenceLines& text) {
    Diagnostics& d = s.diagnostics;
    PrefsSettings& p = s.settings.prefs;
    std::vector<PrefsHit> offsets;
    for (const PrefsHit& hit : text.find("offset")) {
        if (!hasValues(d, text, hit, 1, "offset")) continue;
        if (text.value(hit, 0) == "xlink") {
            p.automationOffset = p.previewMode ? 0 : p.cutIn;
        } else {
            if (!hasValues(d, text, hit, 3, "offset")) continue;
            checkNumbers(d, text, hit, "offset", 3, false);
            p.automationOffset = timeFieldsToSamples(
                parseDouble(text.value(hit, 0)), parseDouble(text.value(hit, 1)),
                parseDouble(text.value(hit, 2)), s.settings.tracks.sampleRate);
        }
        offsets.push_back(hit);
        warn("Automation offset by %lli samples.\n", static_cast<long long>(p.automationOffset));
    }
    if (!offsets.empty()) reportRepeats(d, text, offsets, offsets.back(), "offset");
}

} // namespace tarvex
