// Preferences file reader.
#include "driver/preferences.h"

#include "core/saturate.h"
#include <cstdlib>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "automation/decibels.h"
#include "core/console.h"
#include "driver/output_files.h"
#include "driver/text_fields.h"

namespace tarvex {

const char* const kDefaultPrefsText =
    "begin\npre\toff\nstart\t0\t0\t0\nlength\t0\noutbits\t24\n\nend\n";

namespace {

constexpr const char* kDefaultPrefsName = "prefs.txt";
// Most channel-strip workers `threads` may ask for.
constexpr int kMaxThreadsPref = 64;

// A keyword's values must stand on its own line; one without them is ignored.
bool hasValues(const PreferenceLines& text, const PrefsHit& hit, std::size_t needed,
               const char* keyword) {
    if (text.valueCount(hit) >= needed) return true;
    warn("%s line %d: \"%s\" needs %zu value%s on its line; ignored.\n", text.fileName.c_str(),
         text.fileLine(hit), keyword, needed, needed == 1 ? "" : "s");
    return false;
}

// The last occurrence of a keyword that carries the values it needs.
bool lastWithValues(const PreferenceLines& text, const char* keyword, std::size_t needed,
                    PrefsHit& hit) {
    bool found = false;
    for (const PrefsHit& h : text.find(keyword))
        if (hasValues(text, h, needed, keyword)) {
            hit = h;
            found = true;
        }
    return found;
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

int32_t readFieldCount(const PreferenceLines& text, const char* keyword, int32_t current) {
    PrefsHit hit;
    if (!lastWithValues(text, keyword, 1, hit)) return current;
    const int32_t v = parseInt(text.value(hit, 0));
    return (v >= 1 && v <= 3) ? v : 3;
}

void readDirectory(const PreferenceLines& text, const char* keyword, bool& set, std::string& dir) {
    PrefsHit hit;
    if (!lastWithValues(text, keyword, 1, hit)) return;
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
std::string createDefaultPrefs(MissingPrefs missing) {
    warn("\nWarning: prefs.txt file was not found...\n");
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
    PrefsHit hit;
    uint64_t v = 0;
    if (lastWithValues(text, "threads", 1, hit)) {
        if (wholeNumber(text.value(hit, 0), kMaxThreadsPref, v))
            s.prefs.threads = static_cast<int32_t>(v);
        else
            warn("%s line %d: threads must be 0 (one per core) to %d; one per core is used.\n",
                 text.fileName.c_str(), text.fileLine(hit), kMaxThreadsPref);
    }
    if (lastWithValues(text, "seed", 1, hit)) {
        if (wholeNumber(text.value(hit, 0), UINT32_MAX, v)) {
            s.prefs.ditherSeedSet = true;
            s.prefs.ditherSeed = static_cast<uint32_t>(v);
        } else {
            warn("%s line %d: seed must be a whole number from 0 to 4294967295; the dither "
                 "noise is seeded from the clock.\n",
                 text.fileName.c_str(), text.fileLine(hit));
        }
    }
}

// `loudness` (optionally with a target in LUFS), `plot` (the SVG file to
// write) and `overs`: the optional views of the mix.
void readMixViews(MixSession& s, const PreferenceLines& text) {
    PrefsHit hit;
    if (text.last("loudness", hit)) {
        s.prefs.loudnessOn = true;
        if (text.valueCount(hit) > 0) {
            double target = 0.0;
            if (readLoudnessTarget(std::string(text.value(hit, 0)), target)) {
                s.prefs.loudnessTargetSet = true;
                s.prefs.loudnessTarget = target;
            } else {
                warn("%s line %d: the loudness target must be a level from -70 to 0 LUFS; no "
                     "target is used.\n",
                     text.fileName.c_str(), text.fileLine(hit));
            }
        }
    }
    if (lastWithValues(text, "plot", 1, hit)) s.prefs.plotPath = std::string(text.value(hit, 0));
    if (text.last("overs", hit)) s.prefs.oversOn = true;
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
    if (!readWholeFile(path, raw)) raw = createDefaultPrefs(missing);
    return raw;
}

void loadPreferences(MixSession& s, const PreferenceLines& text) {
    printLayoutWarnings(text);
    s.prefs.prefsText = text.body;
    s.prefs.firstLine = text.firstLine;

    PrefsHit hit;
    if (lastWithValues(text, "verbo", 1, hit)) s.prefs.verbosity = parseInt(text.value(hit, 0));
    if (s.prefs.verbosity == 2) warn("%s", s.banner.c_str());

    readDirectory(text, "mixdir", s.prefs.mixDirSet, s.prefs.mixDir);
    readDirectory(text, "predir", s.prefs.previewDirSet, s.prefs.previewDir);
    readDirectory(text, "bakdir", s.prefs.backupDirSet, s.prefs.backupDir);
    readDirectory(text, "wavdir", s.prefs.wavDirSet, s.prefs.wavDir);

    for (const PrefsHit& h : text.find("tlist")) {
        if (!hasValues(text, h, 1, "tlist")) continue;
        const int32_t mode = parseInt(text.value(h, 0));
        if (mode == 0 || mode == 1) s.prefs.trackListMode = mode;
    }
    if (text.first("tlist=tab", hit)) s.prefs.trackListTab = true;
    readWorkersAndSeed(s, text);
    readMixViews(s, text);
}

void checkPreferences(MixSession& s, const PreferenceLines& text) {
    PrefsSettings& p = s.prefs;
    const uint32_t rate = s.tracks.sampleRate;
    const int64_t song = s.tracks.songLength;
    const bool talk = p.verbosity == 2;
    PrefsHit hit;

    p.startFields = readFieldCount(text, "sfields", p.startFields);
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
        if (lastWithValues(text, "start", static_cast<std::size_t>(p.startFields), hit)) {
            p.renderStart = readTime(text, hit, p.startFields, rate);
            if (p.renderStart > song)
                stopRun(2, "Error: Preview start time in preferences file exceeds song length\n");
            if (p.renderStart < 0)
                stopRun(2, "Error: Preview start time in preferences is less than zero.\n");
        }
        if (lastWithValues(text, "length", 1, hit))
            p.renderLength = truncToSamples(std::trunc(parseDouble(text.value(hit, 0)) * rate));
        if (p.renderLength < 0) stopRun(2, "Head or tail set incorrectly in preferences!\n");
    }

    if (!p.previewMode) {
        p.cutFields = readFieldCount(text, "xfields", p.cutFields);
        const auto need = static_cast<std::size_t>(p.cutFields);
        int64_t xin = 0;
        if (lastWithValues(text, "xin", need, hit)) {
            xin = readTime(text, hit, p.cutFields, rate);
            p.cutIn = xin;
            p.renderLength -= xin;
            p.renderStart = xin;
        }
        if (lastWithValues(text, "xout", need, hit))
            p.renderLength = readTime(text, hit, p.cutFields, rate) - xin;
        if (lastWithValues(text, "head", 1, hit)) {
            const int64_t head = secondsFloorSingle(parseDouble(text.value(hit, 0)), rate);
            if (head > 1 && head < song) {
                p.renderLength -= head;
                p.renderStart += head;
            }
        }
        if (lastWithValues(text, "tail", 1, hit)) {
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
    if (lastWithValues(text, "launch", 1, hit)) {
        p.launchSet = true;
        p.launchCommand = std::string(text.value(hit, 0));
    }
    if (lastWithValues(text, "mono", 1, hit)) {
        p.monoOut = true;
        float gain = dBtoRatio(parseDouble(text.restOfLine(hit)), 1.0);
        if (gain > 1.0f || gain < 0.125f) gain = 0.5f;
        p.monoGain = gain;
    }
    if (lastWithValues(text, "dbps", 1, hit))
        p.rampSpeed = static_cast<float>(parseDouble(text.value(hit, 0)));
    for (const PrefsHit& h : text.find("dither")) {
        if (!hasValues(text, h, 1, "dither")) continue;
        const int32_t bits = parseInt(text.value(h, 0));
        if (bits >= 0 && bits <= 8)
            p.ditherBits = bits;
        else
            warn("Dither is set out of range (0-8)\n");
    }
    // Every "outbits" with a value counts, without a word about the others.
    int32_t outBits = 0;
    for (const PrefsHit& h : text.find("outbits"))
        if (text.valueCount(h) > 0) outBits = parseInt(text.value(h, 0));
    p.outBits = outBits == 16 ? 16 : 24;
}

void readAutomationOffset(MixSession& s, const PreferenceLines& text) {
    PrefsSettings& p = s.prefs;
    for (const PrefsHit& hit : text.find("offset")) {
        if (!hasValues(text, hit, 1, "offset")) continue;
        if (text.value(hit, 0) == "xlink") {
            p.automationOffset = p.previewMode ? 0 : p.cutIn;
        } else {
            if (!hasValues(text, hit, 3, "offset")) continue;
            p.automationOffset = timeFieldsToSamples(
                parseDouble(text.value(hit, 0)), parseDouble(text.value(hit, 1)),
                parseDouble(text.value(hit, 2)), s.tracks.sampleRate);
        }
        warn("Automation offset by %lli samples.\n", static_cast<long long>(p.automationOffset));
    }
}

} // namespace tarvex
