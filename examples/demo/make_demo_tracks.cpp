// make_demo_tracks: writes the WAV tracks of the demo session into a directory.
//
// A 24-second groove at 120 beats per minute (12 bars of 4/4, two seconds a bar) over the
// chords Am F C G, played by six synthetic instruments:
//
//   kick.wav   mono,   16-bit PCM  decaying sine with a falling pitch
//   snare.wav  mono,   24-bit PCM  tone body plus high-passed noise
//   hats.wav   stereo, 16-bit PCM  high-passed noise, closed and open, alternating sides
//   bass.wav   mono,   24-bit PCM  band-limited saw, eighth notes on the chord roots
//   pad.wav    stereo, 32-bit float, with a LIST/INFO chunk (title) before the data
//   lead.wav   mono,   32-bit float with a fact chunk, 20 seconds; the fader file starts it
//              at 4 s (tstamp)
//
// Everything is computed from fixed formulas and a fixed-seed xorshift generator, so the files
// are the same on every run. Each track is scaled to a fixed peak; the peaks add up to less
// than full scale, so the plain sum of all tracks at unity gain cannot clip.
#include "wav_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kRate = 44100;    // samples per second
constexpr double kBeatSeconds = 0.5; // 120 beats per minute
constexpr double kBarSeconds = 4 * kBeatSeconds;
constexpr int32_t kBars = 12; // song length: 24 s
constexpr double kSongSeconds = kBars * kBarSeconds;
constexpr double kLeadStartSeconds = 4.0; // must match the tstamp line of faders.txt
constexpr double kLeadSeconds = kSongSeconds - kLeadStartSeconds;
constexpr double kEndFadeSeconds = 0.05; // keeps the last sample of every file at zero
constexpr double kTwoPi = 2.0 * std::numbers::pi;

// Peak of each track, linear full scale. Sum: 0.97, below 1.0.
constexpr double kKickPeak = 0.25; // -12 dBFS
constexpr double kSnarePeak = 0.20;
constexpr double kHatsPeak = 0.07;
constexpr double kBassPeak = 0.18;
constexpr double kPadPeak = 0.12;
constexpr double kLeadPeak = 0.15;

// Chord roots and tones per bar, as MIDI note numbers: Am, F, C, G.
constexpr int32_t kChordCount = 4;
constexpr int32_t kChordRoots[kChordCount] = {45, 41, 48, 43}; // A2 F2 C3 G2
constexpr int32_t kChordTones[kChordCount][3] = {
    {57, 60, 64}, // A3 C4 E4
    {53, 57, 60}, // F3 A3 C4
    {60, 64, 67}, // C4 E4 G4
    {55, 59, 62}, // G3 B3 D4
};

// xorshift32 (Marsaglia): fixed sequence on every platform.
class Noise {
  public:
    explicit Noise(uint32_t seed) : state_(seed != 0 ? seed : 1) {}
    // Next value in [-1, 1).
    double next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<double>(state_) / 2147483648.0 - 1.0;
    }

  private:
    uint32_t state_;
};

double midiToHz(int32_t note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

size_t frames(double seconds) {
    return static_cast<size_t>(seconds * kRate);
}

// One channel of audio as doubles, full scale 1.0.
using Signal = std::vector<double>;

// Adds gain × gen(t) over `lengthSeconds` from `startSeconds` (t: seconds since the event
// start); frames past the end of `out` are dropped.
template <typename Gen>
void addEvent(Signal& out, double startSeconds, double lengthSeconds, double gain, Gen gen) {
    const size_t first = frames(startSeconds);
    const size_t count = frames(lengthSeconds);
    for (size_t i = 0; i < count && first + i < out.size(); ++i) {
        out[first + i] += gain * gen(static_cast<double>(i) / kRate);
    }
}

double peakOf(const Signal& s) {
    double peak = 0.0;
    for (double v : s)
        peak = std::max(peak, std::fabs(v));
    return peak;
}

// Scales all channels of a track together to the wanted peak and fades out the last frames.
void finish(std::vector<Signal*> channels, double targetPeak) {
    double peak = 0.0;
    for (const Signal* s : channels)
        peak = std::max(peak, peakOf(*s));
    const double scale = peak > 0.0 ? targetPeak / peak : 0.0;
    for (Signal* s : channels) {
        const size_t fade = std::min(frames(kEndFadeSeconds), s->size());
        for (size_t i = 0; i < s->size(); ++i) {
            double g = scale;
            const size_t fromEnd = s->size() - 1 - i;
            if (fromEnd < fade) g *= static_cast<double>(fromEnd) / static_cast<double>(fade);
            (*s)[i] *= g;
        }
    }
}

Signal interleave(const Signal& left, const Signal& right) {
    Signal out(left.size() * 2);
    for (size_t i = 0; i < left.size(); ++i) {
        out[2 * i] = left[i];
        out[2 * i + 1] = right[i];
    }
    return out;
}

Signal makeKick() {
    Signal s(frames(kSongSeconds), 0.0);
    Noise click(0x1234567u);
    for (int32_t bar = 0; bar < kBars; ++bar) {
        std::vector<double> beats = {0.0, 2.0};
        if (bar % 2 == 1) beats.push_back(2.5); // push on every second bar
        for (double beat : beats) {
            double phase = 0.0;
            addEvent(s, bar * kBarSeconds + beat * kBeatSeconds, 0.6, 1.0, [&](double t) {
                // Pitch falls from 120 Hz to 45 Hz in the first few tens of milliseconds.
                const double hz = 45.0 + 75.0 * std::exp(-t / 0.03);
                phase += kTwoPi * hz / kRate;
                const double body = std::sin(phase) * std::exp(-t / 0.28);
                const double attack = t < 0.002 ? click.next() * 0.3 * (1.0 - t / 0.002) : 0.0;
                return body + attack;
            });
        }
    }
    return s;
}

Signal makeSnare() {
    Signal s(frames(kSongSeconds), 0.0);
    Noise noise(0xBEEF01u);
    for (int32_t bar = 0; bar < kBars; ++bar) {
        std::vector<std::pair<double, double>> hits = {{1.0, 1.0}, {3.0, 1.0}};
        if (bar % 4 == 3) hits.push_back({3.75, 0.35}); // ghost note before the next phrase
        for (const auto& [beat, gain] : hits) {
            double lastIn = 0.0;
            double hp = 0.0;
            addEvent(s, bar * kBarSeconds + beat * kBeatSeconds, 0.45, gain, [&](double t) {
                const double x = noise.next();
                hp = 0.8 * (hp + x - lastIn); // one-pole high-pass, corner near 2 kHz
                lastIn = x;
                const double body = 0.5 * std::sin(kTwoPi * 185.0 * t) * std::exp(-t / 0.07);
                return body + 0.8 * hp * std::exp(-t / 0.12);
            });
        }
    }
    return s;
}

void makeHats(Signal& left, Signal& right) {
    left.assign(frames(kSongSeconds), 0.0);
    right.assign(frames(kSongSeconds), 0.0);
    Noise noise(0xC0FFEEu);
    for (int32_t bar = 0; bar < kBars; ++bar) {
        for (int32_t step = 0; step < 8; ++step) {
            const bool open = step == 5;
            const double decay = open ? 0.18 : 0.035;
            const double accent = step % 2 == 0 ? 1.0 : 0.7;
            double x1 = 0.0;
            double x2 = 0.0;
            Signal hit(frames(0.4), 0.0);
            addEvent(hit, 0.0, 0.4, accent, [&](double t) {
                // Second difference of white noise: a steep rise towards the top octave.
                const double x = noise.next();
                const double y = x - 2.0 * x1 + x2;
                x2 = x1;
                x1 = x;
                return 0.25 * y * std::exp(-t / decay);
            });
            const double gl = step % 2 == 0 ? 0.9 : 0.55;
            const double gr = step % 2 == 0 ? 0.55 : 0.9;
            const double start = bar * kBarSeconds + step * kBeatSeconds / 2.0;
            size_t i = 0;
            addEvent(left, start, 0.4, gl, [&](double) { return hit[i++]; });
            i = 0;
            addEvent(right, start, 0.4, gr, [&](double) { return hit[i++]; });
        }
    }
}

Signal makeBass() {
    Signal s(frames(kSongSeconds), 0.0);
    constexpr int32_t kPattern[8] = {0, 0, 12, 0, 0, 7, 12, 0}; // semitones above the root
    for (int32_t bar = 0; bar < kBars; ++bar) {
        const int32_t root = kChordRoots[bar % kChordCount];
        for (int32_t step = 0; step < 8; ++step) {
            const double hz = midiToHz(root + kPattern[step]);
            const double length = 0.23;
            addEvent(s, bar * kBarSeconds + step * kBeatSeconds / 2.0, length, 1.0, [&](double t) {
                double v = 0.0;
                for (int32_t k = 1; k <= 6; ++k) // band-limited saw
                    v += std::sin(kTwoPi * hz * k * t) / k;
                const double attack = std::min(1.0, t / 0.005);
                const double release = std::min(1.0, (length - t) / 0.02);
                return v * attack * release * (0.6 + 0.4 * std::exp(-t / 0.08));
            });
        }
    }
    return s;
}

void makePad(Signal& left, Signal& right) {
    left.assign(frames(kSongSeconds), 0.0);
    right.assign(frames(kSongSeconds), 0.0);
    constexpr double kAttack = 0.3;
    constexpr double kRelease = 0.4;
    for (int32_t bar = 0; bar < kBars; ++bar) {
        const int32_t chord = bar % kChordCount;
        // The last chord releases inside the song, the others ring over the next bar line.
        const double hold = bar == kBars - 1 ? kBarSeconds - kRelease : kBarSeconds;
        const double length = hold + kRelease;
        auto envelope = [&](double t) {
            if (t < kAttack) return 0.5 - 0.5 * std::cos(std::numbers::pi * t / kAttack);
            if (t < hold) return 1.0;
            return 0.5 + 0.5 * std::cos(std::numbers::pi * (t - hold) / kRelease);
        };
        for (int32_t side = 0; side < 2; ++side) {
            // The two sides are detuned against each other by a few cents for width.
            const double detune =
                side == 0 ? std::pow(2.0, -4.0 / 1200.0) : std::pow(2.0, 4.0 / 1200.0);
            Signal& out = side == 0 ? left : right;
            addEvent(out, bar * kBarSeconds, length, 1.0, [&](double t) {
                double v = 0.0;
                for (int32_t tone : kChordTones[chord]) {
                    const double hz = midiToHz(tone) * detune;
                    // Second and third harmonics from the fundamental's sine and cosine.
                    const double a = kTwoPi * hz * t;
                    const double s1 = std::sin(a);
                    const double s2 = 2.0 * s1 * std::cos(a);
                    const double s3 = s1 * (3.0 - 4.0 * s1 * s1);
                    v += s1 + 0.3 * s2 + 0.1 * s3;
                }
                return v * envelope(t);
            });
        }
    }
}

struct Note {
    int32_t midi; // 0 for a rest
    double beats;
};

Signal makeLead() {
    // Ten bars, starting on the third bar of the song (C chord), in A minor pentatonic.
    const std::vector<Note> melody = {
        {72, 1},   {76, 1},   {79, 2},                     // C
        {79, 1.5}, {76, 0.5}, {74, 2},                     // G
        {76, 1},   {72, 1},   {69, 2},                     // Am
        {72, 2},   {69, 2},                                // F
        {76, 0.5}, {79, 0.5}, {84, 1},   {81, 1}, {79, 1}, // C
        {79, 1},   {81, 0.5}, {79, 0.5}, {74, 2},          // G
        {72, 1},   {74, 1},   {76, 2},                     // Am
        {77, 1},   {76, 1},   {72, 2},                     // F
        {79, 1},   {76, 1},   {72, 2},                     // C
        {74, 3},   {0, 1},                                 // G
    };
    Signal s(frames(kLeadSeconds), 0.0);
    double beat = 0.0;
    for (const Note& note : melody) {
        const double start = beat * kBeatSeconds;
        const double length = note.beats * kBeatSeconds * 0.9;
        beat += note.beats;
        if (note.midi == 0) continue;
        const double hz = midiToHz(note.midi);
        double phase = 0.0;
        addEvent(s, start, length, 1.0, [&](double t) {
            // Vibrato fades in after the first 0.2 s of a note.
            const double depth = 0.004 * std::clamp((t - 0.2) / 0.3, 0.0, 1.0);
            phase += kTwoPi * hz * (1.0 + depth * std::sin(kTwoPi * 5.5 * t)) / kRate;
            const double v =
                std::sin(phase) + 0.25 * std::sin(2.0 * phase) + 0.1 * std::sin(3.0 * phase);
            const double attack = std::min(1.0, t / 0.02);
            const double release = std::min(1.0, (length - t) / 0.06);
            return v * attack * release;
        });
    }
    return s;
}

bool writeTrack(const std::filesystem::path& dir, const std::string& name, const WavLayout& layout,
                const Signal& interleaved) {
    const std::string path = (dir / name).string();
    const std::vector<uint8_t> bytes = makeWavBytes(layout, interleaved);
    if (!writeFileBytes(path, bytes)) {
        std::fprintf(stderr, "make_demo_tracks: cannot write %s\n", path.c_str());
        return false;
    }
    const double frameCount = static_cast<double>(interleaved.size()) / layout.channels;
    std::printf("%-10s %s, %.1f s, peak %.1f dBFS\n", name.c_str(),
                layout.channels == 1 ? "mono  " : "stereo", frameCount / kRate,
                20.0 * std::log10(peakOf(interleaved)));
    return true;
}

WavLayout layoutOf(int32_t channels, SampleFormat format) {
    WavLayout layout;
    layout.rate = kRate;
    layout.channels = channels;
    layout.format = format;
    return layout;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo_tracks <output directory>\n");
        return 1;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "make_demo_tracks: cannot create %s: %s\n", argv[1],
                     ec.message().c_str());
        return 1;
    }

    Signal kick = makeKick();
    Signal snare = makeSnare();
    Signal hatsL, hatsR;
    makeHats(hatsL, hatsR);
    Signal bass = makeBass();
    Signal padL, padR;
    makePad(padL, padR);
    Signal lead = makeLead();

    finish({&kick}, kKickPeak);
    finish({&snare}, kSnarePeak);
    finish({&hatsL, &hatsR}, kHatsPeak);
    finish({&bass}, kBassPeak);
    finish({&padL, &padR}, kPadPeak);
    finish({&lead}, kLeadPeak);

    // The float tracks are laid out as common audio tools write them: an 18-byte format
    // chunk, and for the lead a "fact" chunk with the frame count.
    WavLayout pad = layoutOf(2, SampleFormat::Float32);
    pad.fmtExtensionSize = true;
    pad.chunksBeforeData.push_back({"LIST", makeInfoListBody("Demo pad (Am F C G)")});
    WavLayout leadLayout = layoutOf(1, SampleFormat::Float32);
    leadLayout.fmtExtensionSize = true;
    const uint32_t leadFrames = static_cast<uint32_t>(lead.size());
    leadLayout.chunksBeforeData.push_back(
        {"fact",
         {static_cast<uint8_t>(leadFrames & 0xFFu), static_cast<uint8_t>((leadFrames >> 8) & 0xFFu),
          static_cast<uint8_t>((leadFrames >> 16) & 0xFFu),
          static_cast<uint8_t>(leadFrames >> 24)}});

    bool ok = true;
    ok = writeTrack(dir, "kick.wav", layoutOf(1, SampleFormat::Pcm16), kick) && ok;
    ok = writeTrack(dir, "snare.wav", layoutOf(1, SampleFormat::Pcm24), snare) && ok;
    ok = writeTrack(dir, "hats.wav", layoutOf(2, SampleFormat::Pcm16), interleave(hatsL, hatsR)) &&
         ok;
    ok = writeTrack(dir, "bass.wav", layoutOf(1, SampleFormat::Pcm24), bass) && ok;
    ok = writeTrack(dir, "pad.wav", pad, interleave(padL, padR)) && ok;
    ok = writeTrack(dir, "lead.wav", leadLayout, lead) && ok;
    return ok ? 0 : 1;
}
