// Preferences file reader.
#include "driver/preferences.h"
#include "core/saturate.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "automation/decibels.h"
#include "core/console.h"
#include "driver/text_fields.h"

namespace tarvex {

const char* const kDefaultPrefsText =
    "begin\npre\toff\nstart\t0\t0\t0\nlength\t0\noutbits\t24\n\nend\n";

namespace {

constexpr const char* kDefaultPrefsName = "prefs.txt";

// A keyword's values must stand on its own line; one without them is ignored.
bool hasValues(const MixSession& s, const KeywordText& text, const KeywordHit& hit,
               std::size_t needed, const char* keyword) {
    if (text.valueCount(hit) >= needed) return true;
    warn("%s line %d: \"%s\" needs %zu value%s on its line; ignored.\n", s.tracks.prefsPath.c_str(),
         text.fileLine(hit), keyword, needed, needed == 1 ? "" : "s");
    return false;
}

// The last occurrence of a keyword that carries the values it needs.
bool lastWithValues(const MixSession& s, const KeywordText& text, const char* keyword,
                    std::size_t needed, KeywordHit& hit) {
    bool found = false;
    for (const KeywordHit& h : text.find(keyword))
        if (hasValues(s, text, h, needed, keyword)) {
            hit = h;
            found = true;
        }
    return found;
}

// A time of 1, 2 or 3 fields read from the values after a keyword.
int64_t readTime(const KeywordText& text, const KeywordHit& hit, int32_t fields, uint32_t rate) {
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

int32_t readFieldCount(const MixSession& s, const KeywordText& text, const char* keyword,
                       int32_t current) {
    KeywordHit hit;
    if (!lastWithValues(s, text, keyword, 1, hit)) return current;
    const int32_t v = parseInt(text.value(hit, 0));
    return (v >= 1 && v <= 3) ? v : 3;
}

void readDirectory(const MixSession& s, const KeywordText& text, const char* keyword, bool& set,
                   std::string& dir) {
    KeywordHit hit;
    if (!lastWithValues(s, text, keyword, 1, hit)) return;
    set = true;
    dir = std::string(text.restOfLine(hit));
}

void printLayoutWarnings(const std::string& framed) {
    const auto lines = pointToLines(framed);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int n = static_cast<int>(i) + 1;
        if (lines[i].find("\t\t") != std::string_view::npos)
            warn("\n>>>  Warning: extra tab on line %i of preferences file.\n", n);
        if (lines[i].find("\t ") != std::string_view::npos)
            warn("\n>>>  Warning: extra space on line %i of preferences file.\n", n);
    }
}

// A missing preferences file is replaced by a new "prefs.txt", but an existing
// "prefs.txt" (when another name was asked for) is never overwritten.
std::string createDefaultPrefs() {
    warn("\nWarning: prefs.txt file was not found...\n");
    std::error_code ec;
    if (std::filesystem::exists(kDefaultPrefsName, ec)) {
        warn("%s exists and is left as it is; using the default preferences.\n", kDefaultPrefsName);
        return kDefaultPrefsText;
    }
    std::FILE* f = std::fopen(kDefaultPrefsName, "wb");
    const std::string text = kDefaultPrefsText;
    bool ok = f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f != nullptr && std::fclose(f) != 0) ok = false;
    if (!ok) {
        warn("Could not create %s; using the default preferences.\n", kDefaultPrefsName);
        return text;
    }
    warn("...created one for you.\n");
    return text;
}

} // namespace

int64_t timeFieldsToSamples(double minutes, double seconds, double millis, uint32_t rate) {
    const double total = minutes * 60.0 + seconds + millis / 1000.0;
    return truncToSamples(std::trunc(total * static_cast<double>(rate)));
}

void loadPreferences(MixSession& s) {
    std::string raw;
    if (!readWholeFile(s.tracks.prefsPath, raw)) raw = createDefaultPrefs();
    FramedText framed = frameAfterBegin(dropCarriageReturns(raw));
    printLayoutWarnings(framed.text);
    s.prefs.prefsText = framed.text;
    s.prefs.firstLine = framed.firstLine;

    const KeywordText text(s.prefs.prefsText, s.prefs.firstLine);
    KeywordHit hit;
    if (lastWithValues(s, text, "verbo", 1, hit)) s.prefs.verbosity = parseInt(text.value(hit, 0));
    if (s.prefs.verbosity == 2) warn("%s", s.banner.c_str());

    readDirectory(s, text, "mixdir", s.prefs.mixDirSet, s.prefs.mixDir);
    readDirectory(s, text, "predir", s.prefs.previewDirSet, s.prefs.previewDir);
    readDirectory(s, text, "bakdir", s.prefs.backupDirSet, s.prefs.backupDir);
    readDirectory(s, text, "wavdir", s.prefs.wavDirSet, s.prefs.wavDir);

    for (const KeywordHit& h : text.find("tlist")) {
        if (!hasValues(s, text, h, 1, "tlist")) continue;
        const int32_t mode = parseInt(text.value(h, 0));
        if (mode == 0 || mode == 1) s.prefs.trackListMode = mode;
    }
    if (text.first("tlist=tab", hit)) s.prefs.trackListTab = true;
}

void checkPreferences(MixSession& s) {
    PrefsSettings& p = s.prefs;
    const KeywordText text(p.prefsText, p.firstLine);
    const uint32_t rate = s.tracks.sampleRate;
    const int64_t song = s.tracks.songLength;
    const bool talk = p.verbosity == 2;
    KeywordHit hit;

    p.startFields = readFieldCount(s, text, "sfields", p.startFields);
    if (talk) warn("Checking Preferences...\n");

    p.renderStart = 0;
    p.renderLength = song;
    if (!text.last("pre", hit)) {
        if (talk) warn("Preview mode not specified.\n");
    } else if (text.value(hit, 0) == "on") {
        p.previewMode = true;
        if (p.previewDirSet)
            s.fader.outputPath = p.previewDir + "preview.wav";
        else if (p.mixDirSet)
            s.fader.outputPath = p.mixDir + "preview.wav";
        else
            s.fader.outputPath = "preview.wav";
        if (talk) warn("Running in Preview Mode\n");
        if (lastWithValues(s, text, "start", static_cast<std::size_t>(p.startFields), hit)) {
            p.renderStart = readTime(text, hit, p.startFields, rate);
            if (p.renderStart > song)
                stopRun(2, "Error: Preview start time in preferences file exceeds song length\n");
            if (p.renderStart < 0)
                stopRun(2, "Error: Preview start time in preferences is less than zero.\n");
        }
        if (lastWithValues(s, text, "length", 1, hit))
            p.renderLength = truncToSamples(std::trunc(parseDouble(text.value(hit, 0)) * rate));
        if (p.renderLength < 0) stopRun(2, "Head or tail set incorrectly in preferences!\n");
    }

    if (!p.previewMode) {
        p.cutFields = readFieldCount(s, text, "xfields", p.cutFields);
        const auto need = static_cast<std::size_t>(p.cutFields);
        int64_t xin = 0;
        if (lastWithValues(s, text, "xin", need, hit)) {
            xin = readTime(text, hit, p.cutFields, rate);
            p.cutIn = xin;
            p.renderLength -= xin;
            p.renderStart = xin;
        }
        if (lastWithValues(s, text, "xout", need, hit))
            p.renderLength = readTime(text, hit, p.cutFields, rate) - xin;
        if (lastWithValues(s, text, "head", 1, hit)) {
            const int64_t head = secondsFloorSingle(parseDouble(text.value(hit, 0)), rate);
            if (head > 1 && head < song) {
                p.renderLength -= head;
                p.renderStart += head;
            }
        }
        if (lastWithValues(s, text, "tail", 1, hit)) {
            const int64_t tail = secondsFloorSingle(parseDouble(text.value(hit, 0)), rate);
            if (tail > 1 && tail < song) p.renderLength -= tail;
        }
        if (p.renderLength < 0 || p.renderStart < 0 || p.renderStart >= song)
            stopRun(2, "Head or tail set incorrectly in preferences!\n");
    }

    if (text.first("v=percent", hit)) {
        p.percentMode = true;
        if (talk) warn("Faders using percent.\n");
    }
    if (text.first("tempo", hit)) {
        p.tempoMode = true;
        if (talk) warn("Tempo mode on.\n");
    }
    if (lastWithValues(s, text, "launch", 1, hit)) {
        p.launchSet = true;
        p.launchCommand = std::string(text.value(hit, 0));
    }
    if (lastWithValues(s, text, "mono", 1, hit)) {
        p.monoOut = true;
        float gain = dBtoRatio(parseDouble(text.restOfLine(hit)), 1.0);
        if (gain > 1.0f || gain < 0.125f) gain = 0.5f;
        p.monoGain = gain;
    }
    if (lastWithValues(s, text, "dbps", 1, hit))
        p.rampSpeed = static_cast<float>(parseDouble(text.value(hit, 0)));
    for (const KeywordHit& h : text.find("dither")) {
        if (!hasValues(s, text, h, 1, "dither")) continue;
        const int32_t bits = parseInt(text.value(h, 0));
        if (bits >= 0 && bits <= 8)
            p.ditherBits = bits;
        else
            warn("Dither is set out of range (0-8)\n");
    }
    int32_t outBits = 0;
    CodetoInt(text, "outbits", outBits);
    p.outBits = outBits == 16 ? 16 : 24;
}

void readAutomationOffset(MixSession& s) {
    PrefsSettings& p = s.prefs;
    const KeywordText text(p.prefsText, p.firstLine);
    for (const KeywordHit& hit : text.find("offset")) {
        if (!hasValues(s, text, hit, 1, "offset")) continue;
        if (text.value(hit, 0) == "xlink") {
            p.automationOffset = p.previewMode ? 0 : p.cutIn;
        } else {
            if (!hasValues(s, text, hit, 3, "offset")) continue;
            p.automationOffset = timeFieldsToSamples(
                parseDouble(text.value(hit, 0)), parseDouble(text.value(hit, 1)),
                parseDouble(text.value(hit, 2)), s.tracks.sampleRate);
        }
        warn("Automation offset by %lli samples.\n", static_cast<long long>(p.automationOffset));
    }
}

} // namespace tarvex
