// Tempo map reader and bar/beat/tick conversion.
#include "driver/tempo_map.h"
#include "core/saturate.h"

#include <cmath>

#include "core/console.h"
#include "driver/text_fields.h"

namespace tarvex {

namespace {

constexpr std::size_t kMaxSections = 128;
constexpr float kTicksPerBeat = 480.0f;

} // namespace

void buildTempoMap(MixSession& s, const FaderLines& fader) {
    if (!s.settings.prefs.tempoMode) return;
    if (s.settings.prefs.verbosity == 2) warn("Constructing tempo map...\n");
    const KeywordText& text = fader.fields();
    const double rate = s.settings.tracks.sampleRate;
    std::vector<TempoSection>& map = s.settings.automation.tempoMap;
    map.clear();
    for (const KeywordHit& hit : text.find("tmap")) {
        const std::string& file = s.settings.tracks.fadersPath;
        if (text.valueCount(hit) < 3) {
            s.diagnostics.error(file, text.fileLine(hit),
                                "tmap has %zu of its 3 fields (tempo, beats per bar, bars)",
                                text.valueCount(hit));
            stopRun(2, "%s line %d: a tmap line needs a tempo, beats per bar and bars.\n",
                    s.settings.tracks.fadersPath.c_str(), text.fileLine(hit));
        }
        const double tempo = parseDouble(text.value(hit, 0));
        if (!(tempo > 0.0)) {
            s.diagnostics.error(file, text.fileLine(hit), "tempo '%s' is not above 0",
                                std::string(text.value(hit, 0)).c_str());
            stopRun(2,
                    "%s line %d: a tempo of %g beats per minute cannot be used; it must be "
                    "above 0.\n",
                    s.settings.tracks.fadersPath.c_str(), text.fileLine(hit), tempo);
        }
        if (map.size() == kMaxSections) {
            s.diagnostics.error(file, text.fileLine(hit),
                                "more than %zu tmap lines: a tempo map holds %zu sections",
                                kMaxSections, kMaxSections);
            stopRun(2,
                    "%s line %d: more than %zu tmap lines; the tempo map holds at most %zu "
                    "sections.\n",
                    s.settings.tracks.fadersPath.c_str(), text.fileLine(hit), kMaxSections,
                    kMaxSections);
        }
        TempoSection section{};
        section.samplesPerBeat = rate * (60.0 / tempo);
        section.beatsPerBar = parseInt(text.value(hit, 1));
        section.bars = parseInt(text.value(hit, 2));
        section.length =
            truncToSamples(section.bars * section.samplesPerBeat * section.beatsPerBar);
        map.push_back(section);
    }
    if (map.empty()) {
        s.diagnostics.error(s.settings.tracks.fadersPath, 0,
                            "no tmap line: tempo mode needs a tempo map");
        stopRun(2, "Tempo mode is on, but no tempos or meters have been entered!\n");
    }
}

int64_t tempoPosition(std::span<const TempoSection> map, float bar, float beat, float tick,
                      int64_t offset) {
    // At most 128 sections of at most 2^31 bars each: the bars passed fit
    // in 64 bits; the samples of sections at the 64-bit limit saturate.
    int64_t passedBars = 0;
    int64_t passedSamples = 0;
    std::size_t k = 0;
    while (k < map.size() && static_cast<float>(passedBars + map[k].bars) < bar) {
        passedBars += map[k].bars;
        passedSamples = addPositions(passedSamples, map[k].length);
        ++k;
    }
    const TempoSection& section = map[k < map.size() ? k : map.size() - 1];
    const float barsIn = bar - static_cast<float>(passedBars) - 1.0f;
    double position = std::trunc(static_cast<double>(passedSamples) +
                                 barsIn * section.samplesPerBeat * section.beatsPerBar);
    if (beat > 0.0f)
        position = std::trunc(position + (beat - 1.0f) * section.samplesPerBeat);
    else if (beat < 0.0f)
        position = std::trunc(position + beat * section.samplesPerBeat);
    position = std::trunc(position + (tick / kTicksPerBeat) * section.samplesPerBeat +
                          static_cast<double>(offset));
    return truncToSamples(position);
}

} // namespace tarvex
