// Fader file loading and header keywords.
#include "driver/fader_file.h"

#include <cstdlib>
#include <filesystem>

#include "core/console.h"
#include "core/saturate.h"
#include "core/scales.h"
#include "driver/output_files.h"
#include "driver/preferences.h"
#include "driver/text_fields.h"

namespace tarvex {

namespace {

constexpr const char* kDefaultFaderName = "faders.txt";

double askDefaultLevel(std::FILE* input) {
    warn("faders.txt file was not found\nEnter the default fader value or -999 to exit.\n");
    std::fflush(stdout);
    char line[256];
    if (input == nullptr || std::fgets(line, sizeof line, input) == nullptr)
        stopRun(1, "No default fader value was given; exiting.\n");
    char* end = nullptr;
    const double value = std::strtod(line, &end);
    if (end == line) stopRun(1, "\"%.40s\" is not a fader value; exiting.\n", line);
    return value;
}

// Writes the template as "faders.txt", unless that name already holds a file
// (another fader file was named on the command line): the user's script is
// never replaced. The text is used in either case.
void writeTemplate(const std::string& text) {
    std::error_code ec;
    if (std::filesystem::exists(kDefaultFaderName, ec)) {
        warn("%s exists and is left as it is; mixing with the new template.\n", kDefaultFaderName);
        return;
    }
    if (const auto reason = createWholeFile(kDefaultFaderName, text))
        warn("Could not write %s: %s; mixing with the new template.\n", kDefaultFaderName,
             reason->c_str());
}

} // namespace

void refuseMissingNamedFaderFile(const std::string& path) {
    if (std::filesystem::path(path).lexically_normal() == kDefaultFaderName) return;
    stopRun(1,
            "%s file was not found.\nA template is made only for a missing %s: check the name "
            "given on the command line.\nExiting...\n",
            path.c_str(), kDefaultFaderName);
}

std::string faderTemplate(int channelCount, double level) {
    std::string text = "begin\ntest_mix\n\nt\t0\t0\t0\n";
    const int n = channelCount < kMaxChannels ? channelCount : kMaxChannels;
    char line[64];
    for (int c = 1; c <= n; ++c) {
        std::snprintf(line, sizeof line, "v\t%i\t%.1f\n", c, level);
        text += line;
    }
    text += "end\n";
    return text;
}

std::string readFaderFile(const MixSession& s, std::FILE* input) {
    std::string raw;
    if (!readWholeFile(s.settings.tracks.fadersPath, raw)) {
        refuseMissingNamedFaderFile(s.settings.tracks.fadersPath);
        const double level = askDefaultLevel(input);
        if (level == -999.0) stopRun(1, "%s", "");
        raw = faderTemplate(s.settings.tracks.channelCount, level);
        writeTemplate(raw);
    }
    return raw;
}

void takeFaderLines(MixSession& s, const FaderLines& fader) {
    if (s.settings.prefs.verbosity > 1) {
        // Numbered from the line holding "begin" as 1, as these warnings always were.
        for (std::size_t i = 0; i < fader.writtenCount(); ++i) {
            const int n = static_cast<int>(i) + 1;
            if (fader.written(i).find("\t\t") != std::string_view::npos)
                warn("\n>>>  Warning: extra tab on line %i of fader file.\n", n);
            if (fader.written(i).find("\t ") != std::string_view::npos)
                warn("\n>>>  Warning: extra space on line %i of fader file.\n", n);
        }
    }
    s.settings.fader.faderText = fader.body();
}

void readStartOffsets(MixSession& s, const FaderLines& fader) {
    const KeywordText& text = fader.fields();
    const uint32_t rate =
        s.settings.tracks.sampleRate != 0 ? s.settings.tracks.sampleRate : kFallbackRateHz;
    s.settings.fader.startOffset.fill(0);
    auto channelOf = [&](const KeywordHit& hit, const char* keyword, std::size_t needed) {
        if (text.valueCount(hit) < needed) {
            warn("%s line %d: \"%s\" needs %zu values; line ignored.\n",
                 s.settings.tracks.fadersPath.c_str(), text.fileLine(hit), keyword, needed);
            return 0;
        }
        const int32_t c = parseInt(text.value(hit, 0));
        if (c < 1 || c > kMaxChannels) {
            warn("%s line %d: \"%s\" channel %d is outside 1 to %d; line ignored.\n",
                 s.settings.tracks.fadersPath.c_str(), text.fileLine(hit), keyword, c,
                 kMaxChannels);
            return 0;
        }
        return static_cast<int>(c);
    };
    // Every tstamp first, then every sstamp: an sstamp adds to its channel's
    // tstamp wherever it stands in the file.
    for (const KeywordHit& hit : text.find("tstamp"))
        if (const int c = channelOf(hit, "tstamp", 4))
            s.settings.fader.startOffset[c] = timeFieldsToSamples(
                parseDouble(text.value(hit, 1)), parseDouble(text.value(hit, 2)),
                parseDouble(text.value(hit, 3)), rate);
    for (const KeywordHit& hit : text.find("sstamp"))
        if (const int c = channelOf(hit, "sstamp", 2))
            s.settings.fader.startOffset[c] =
                addPositions(s.settings.fader.startOffset[c], parseLong(text.value(hit, 1)));

    int64_t song = 0;
    bool any = false;
    for (int c = 1; c <= s.settings.tracks.channelCount; ++c) {
        if (s.settings.tracks.channelOn[c] == 0) continue;
        // A start far past any song saturates instead of wrapping round.
        const int64_t end =
            addPositions(s.settings.fader.startOffset[c], s.settings.tracks.wavFrames[c]);
        if (!any || end > song) song = end;
        any = true;
    }
    s.settings.tracks.songLength = song;
}

void settleMixName(MixSession& s, const PreferenceLines& prefs, const FaderLines& fader) {
    PrefsHit hit;
    if (prefs.last("oname", hit)) {
        if (prefs.valueCount(hit) == 0) {
            warn("%s line %d: \"oname\" needs a name on its line; ignored.\n",
                 s.settings.tracks.prefsPath.c_str(), prefs.fileLine(hit));
        } else {
            s.settings.prefs.mixNameOverrideSet = true;
            s.settings.prefs.mixNameOverride = std::string(prefs.restOfLine(hit));
        }
    }
    if (s.settings.prefs.mixNameOverrideSet) {
        s.settings.fader.mixName = s.settings.prefs.mixNameOverride;
    } else {
        s.settings.fader.mixName = std::string(fader.mixNameLine());
    }
    if (s.settings.fader.mixName.empty())
        stopRun(2, "%s has no mix name (the first line after \"begin\" names the mix).\n",
                s.settings.tracks.fadersPath.c_str());
    s.settings.fader.outputPath =
        (s.settings.prefs.mixDirSet ? s.settings.prefs.mixDir : std::string()) +
        s.settings.fader.mixName + ".wav";
}

} // namespace tarvex
