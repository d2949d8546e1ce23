// Entry functions of the fuzz targets; see fuzz_entries.h.
//
// Every reader takes its input from memory, as the programs hand it the text
// they read. Console output of the readers goes wherever standard output points: the
// fuzz targets send it to /dev/null, the replay test captures it.
#include "fuzz_entries.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "audio/byte_source.h"
#include "audio/sample_decode.h"
#include "audio/wav_input.h"
#include "core/console.h"
#include "driver/effect_lines.h"
#include "driver/fader_file.h"
#include "driver/fader_line_check.h"
#include "driver/preferences.h"
#include "driver/routing_lines.h"
#include "driver/tempo_map.h"
#include "driver/text_fields.h"
#include "driver/time_entries.h"
#include "driver/track_list.h"
#include "session/mix_session.h"

#include "quorrin/cue_edits.h"
#include "quorrin/cue_writer.h"
#include "quorrin/fader_loader.h"
#include "quorrin/fader_rewrite.h"

#include "velmont/answer_reader.h"
#include "velmont/dialogue.h"
#include "velmont/template_text.h"

namespace fuzz_entry {

namespace {

// Broken promises found by the checks after a reader ran.
enum Fault : int {
    kHandled = 0,
    kFramesPastEnd = 1,   // the WAV reader claims frames the file does not hold
    kBadWavFacts = 2,     // accepted facts outside what the mix loop handles
    kTooManyTracks = 3,   // a track count outside 1..127
    kBadEntryTable = 4,   // a level table entry outside its range
    kBadRenderWindow = 5, // a render window that passed its checks but is unusable
    kBadCueTable = 6,     // a cue table slot over its entry limit
};

// The settings of a session whose four channels are on, each 10 s of 44100 Hz audio.
tarvex::MixSettings settingsWithTracks() {
    tarvex::MixSettings settings;
    settings.tracks.channelCount = 4;
    settings.tracks.sampleRate = 44100;
    for (int c = 1; c <= 4; ++c) {
        settings.tracks.channelOn[static_cast<size_t>(c)] = 1;
        settings.tracks.wavFrames[static_cast<size_t>(c)] = 441000;
    }
    settings.tracks.songLength = 441000;
    settings.tracks.trackNames.assign(tarvex::kMaxChannels + 1, "in.wav");
    return settings;
}

// One session per target process, put back to its first settings for every
// input. A new MixSession maps several megabytes of tables, and under the
// sanitizers mapping and zeroing them cost far more than reading an input;
// copying settings over tables of the same size reuses their memory. The
// readers change only the settings and the diagnostics.
class ReusedSession {
  public:
    explicit ReusedSession(tarvex::MixSettings start)
        : start_(std::move(start)), session_(std::make_unique<tarvex::MixSession>()) {}
    tarvex::MixSession& fresh() {
        session_->settings = start_;
        session_->diagnostics = tarvex::Diagnostics();
        return *session_;
    }

  private:
    tarvex::MixSettings start_;
    std::unique_ptr<tarvex::MixSession> session_;
};

ReusedSession& sessionWithTracks() {
    static ReusedSession session(settingsWithTracks());
    return session;
}

ReusedSession& emptySession() {
    static ReusedSession session{tarvex::MixSettings()};
    return session;
}

int checkEntryTables(const tarvex::MixSession& s) {
    const tarvex::EntryTable& v = s.settings.automation.volume;
    for (int slot = 0; slot < v.stride; ++slot) {
        const int32_t n = v.count[static_cast<size_t>(slot)];
        if (n < 0 || n > tarvex::kMaxEntries) return kBadEntryTable;
        for (int e = 0; e < n; ++e) {
            const size_t at = v.at(e, slot);
            if (v.ramps[at] < 0) return kBadEntryTable;
            if (v.levels[at] > tarvex::kMaxLevel || v.levels[at] < -tarvex::kMaxLevel)
                return kBadEntryTable;
        }
    }
    for (int32_t pan : s.settings.automation.slots.pan)
        if (pan < -100 || pan > 100) return kBadEntryTable;
    return kHandled;
}

} // namespace

int wavInput(const uint8_t* data, size_t size) {
    tarvex::MemoryByteSource src({data, size});
    tarvex::WavFacts facts;
    if (tarvex::readWavAttributes(src, "fuzz.wav", facts) == 0) return kHandled;
    if ((facts.channels != 1 && facts.channels != 2) || facts.rate == 0 ||
        facts.bytesPerSample * 8 != facts.bitsPerSample || facts.bytesPerSample < 2 ||
        facts.bytesPerSample > 4 || facts.frames < 0 || facts.dataOffset < 0)
        return kBadWavFacts;
    const int64_t block = static_cast<int64_t>(facts.channels) * facts.bytesPerSample;
    if (facts.frames > 0 && facts.dataOffset + facts.frames * block > static_cast<int64_t>(size))
        return kFramesPastEnd;

    // Decode what the mix loop would read, a few blocks of at most 1024 frames.
    std::vector<uint8_t> raw;
    std::vector<int32_t> left(1024), right(1024);
    for (int64_t first = 0; first < facts.frames && first < 8192; first += 1024) {
        const auto frames = static_cast<int32_t>(std::min<int64_t>(1024, facts.frames - first));
        raw.resize(static_cast<size_t>(frames * block));
        if (src.readAt(facts.dataOffset + first * block, raw.data(), raw.size()) != raw.size())
            return kFramesPastEnd;
        tarvex::decodeSamples(raw, facts.bytesPerSample, facts.channels, frames, left, right);
    }
    return kHandled;
}

int trackList(const uint8_t* data, size_t size) {
    const tarvex::TrackListLines list = tarvex::readTrackListLines(
        std::string_view(reinterpret_cast<const char*>(data), size), "tracks.txt");
    for (int layout = 0; layout < 6; ++layout) {
        tarvex::MixSession* s = &emptySession().fresh();
        s->settings.prefs.trackListMode = layout % 3;
        s->settings.prefs.trackListTab = layout >= 3;
        try {
            tarvex::countTracks(*s, list);
            if (s->settings.tracks.channelCount < 1 ||
                s->settings.tracks.channelCount > tarvex::kMaxChannels)
                return kTooManyTracks;
            tarvex::readTrackList(*s, list);
        } catch (const tarvex::RunStopped&) {
        }
    }
    return kHandled;
}

int preferences(const uint8_t* data, size_t size) {
    const tarvex::PreferenceLines prefs = tarvex::readPreferenceLines(
        std::string_view(reinterpret_cast<const char*>(data), size), "prefs.txt");
    tarvex::MixSession* s = &sessionWithTracks().fresh();
    const tarvex::FaderLines fader("mix\n");
    try {
        tarvex::loadPreferences(*s, prefs);
        tarvex::settleMixName(*s, prefs, fader);
        tarvex::checkPreferences(*s, prefs);
        const tarvex::PrefsSettings& p = s->settings.prefs;
        if (p.renderLength < 0 || p.renderStart < 0 ||
            p.renderStart > s->settings.tracks.songLength || (p.outBits != 16 && p.outBits != 24) ||
            p.ditherBits < 0 || p.ditherBits > 8 || p.timeFields < 1 || p.timeFields > 3)
            return kBadRenderWindow;
        tarvex::readAutomationOffset(*s, prefs);
    } catch (const tarvex::RunStopped&) {
    }
    return kHandled;
}

int faderFile(const uint8_t* data, size_t size) {
    const tarvex::FaderLines fader(std::string_view(reinterpret_cast<const char*>(data), size));
    static const char* const kPrefs[] = {
        "verbo\t3\n",
        "verbo\t2\ntempo\nv=percent\ndbps\t20\noffset\t0\t0\t5\npan\t0\ntap\trev\n",
    };
    for (const char* prefs : kPrefs) {
        tarvex::MixSession* s = &sessionWithTracks().fresh();
        const tarvex::PreferenceLines prefsLines = tarvex::readPreferenceLines(prefs, "prefs.txt");
        try {
            tarvex::loadPreferences(*s, prefsLines);
            tarvex::takeFaderLines(*s, fader);
            tarvex::checkFaderLines(*s, fader, prefsLines);
            tarvex::readStartOffsets(*s, fader);
            // Keep the song inside what the mixer could render from these tracks.
            if (s->settings.tracks.songLength < 0) s->settings.tracks.songLength = 0;
            tarvex::settleMixName(*s, prefsLines, fader);
            tarvex::checkPreferences(*s, prefsLines);
            tarvex::readRoutingLines(*s, fader);
            tarvex::readAutomationOffset(*s, prefsLines);
            tarvex::buildTempoMap(*s, fader);
            tarvex::readTimeEntries(*s, fader, prefsLines);
            tarvex::setUpPanGains(*s);
            tarvex::readEffectSettings(fader.fields(), "faders.txt", 44100.0,
                                       s->settings.prefs.percentMode, s->settings.prefs.verbosity,
                                       s->settings.prefs.tapSignal, s->settings.fx);
        } catch (const tarvex::RunStopped&) {
            continue;
        }
        if (const int fault = checkEntryTables(*s)) return fault;
    }
    return kHandled;
}

int velmontAnswers(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    {
        std::istringstream in(text);
        velmont::AnswerReader reader(in);
        // Every answer that is not read must still use up input, or the
        // dialogue could ask forever.
        for (int turn = 0;; ++turn) {
            const std::streampos before = in.tellg();
            int32_t choice = 0;
            float value = 0.0f;
            const velmont::AnswerFault fault =
                turn % 2 == 0 ? reader.readChoice(choice) : reader.readValue(value);
            if (fault == velmont::AnswerFault::endOfInput) break;
            if (fault != velmont::AnswerFault::none) {
                if (!in.good() || in.tellg() == before) break;
            }
        }
    }
    std::istringstream in(text);
    std::ostringstream out;
    const velmont::DialogueOutcome outcome = velmont::askTemplateQuestions(in, out);
    // Large channel counts are left out: the template grows with them and
    // only the time it takes would be measured.
    if (outcome.kind == velmont::DialogueOutcome::Kind::answered &&
        outcome.settings.channelCount <= 300) {
        const std::string tmpl = velmont::buildTemplateText(outcome.settings);
        (void)tmpl;
    }
    return kHandled;
}

int quorrinLoader(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (int32_t fields = 1; fields <= 3; ++fields) {
        std::vector<std::string> messages;
        quorrin::CueTable table = quorrin::parseFaderText(text, fields, "fuzz.txt", messages);
        for (const auto& slot : table.slots)
            if (slot.size() > static_cast<size_t>(quorrin::kMaxEntries)) return kBadCueTable;
        const float last = quorrin::latestTime(table);
        (void)quorrin::earliestTime(table, last);
        (void)quorrin::formatCues(table, fields, quorrin::Ordering::byTimes);
        (void)quorrin::formatCues(table, fields, quorrin::Ordering::byChannels);
        quorrin::nudgeTimes(table, -1.5f);
        quorrin::scaleTimes(table, 3.0f);
        quorrin::adjustLevels(table, -6.0f);
        (void)quorrin::formatCues(table, 4 - fields, quorrin::Ordering::byTimes);
        // The in-place edit walks the same lines by byte offsets into the text.
        using Kind = quorrin::CueOperation::Kind;
        (void)quorrin::rewriteFaderText(
            text, fields, 4 - fields,
            {{Kind::nudge, 1.5f}, {Kind::scale, 3.0f}, {Kind::adjust, -6.0f}}, "fuzz.txt",
            messages);
    }
    return kHandled;
}

} // namespace fuzz_entry
