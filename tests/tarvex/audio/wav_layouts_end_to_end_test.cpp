// Input files laid out the way real recorders, editors and libraries write
// them, each mixed alone at unity by the built tarvex: the mix must hold the
// file's samples exactly (24-bit output, so 16-bit, 24-bit and float inputs
// all land on whole output steps).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tarvex_session.h"
#include "test_support.h"
#include "wav_bytes.h"

using namespace tarvex_test;
using namespace wav_bytes;

namespace {

const char* const kPrefs24 = "begin\nverbo\t1\ndither\t0\noutbits\t24\npan\t0\nend\n";

enum class Enc { pcm16, pcm24, float32 };

// Samples in the 16-bit range for 16-bit and float files, 24-bit otherwise.
std::vector<int32_t> signal(Enc enc, std::size_t count, uint32_t seed) {
    return noise(count, seed, enc == Enc::pcm24 ? 8000000 : 30000);
}

Bytes encode(Enc enc, const std::vector<int32_t>& samples) {
    Bytes b;
    for (int32_t s : samples) {
        if (enc == Enc::pcm16) put(b, static_cast<uint32_t>(s), 2);
        if (enc == Enc::pcm24) put(b, static_cast<uint32_t>(s), 3);
        if (enc == Enc::float32) {
            const float f = static_cast<float>(s) / 32768.0f; // exact in single precision
            uint32_t bits = 0;
            static_assert(sizeof bits == sizeof f);
            std::memcpy(&bits, &f, sizeof f);
            put(b, bits, 4);
        }
    }
    return b;
}

// The sample in the 24-bit output.
int32_t expected(Enc enc, int32_t s) {
    return enc == Enc::pcm24 ? s : s * 256;
}

uint16_t bitsOf(Enc enc) {
    return enc == Enc::pcm16 ? 16 : enc == Enc::pcm24 ? 24 : 32;
}

Fmt plainFmt(Enc enc, uint16_t channels) {
    Fmt f;
    f.code = enc == Enc::float32 ? 3 : 1;
    f.channels = channels;
    f.bits = bitsOf(enc);
    return f;
}

Fmt extensibleFmt(Enc enc, uint16_t channels) {
    Fmt f = plainFmt(enc, channels);
    f.subFormat = f.code;
    f.code = 0xFFFE;
    f.extensionSize = 22;
    return f;
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// Broadcast-wave header: 602 fixed bytes, then the coding history.
Bytes bext(std::size_t historyLines) {
    Bytes b = text("Tarvex test recording");
    b.resize(602, 0);
    for (std::size_t i = 0; i < historyLines; ++i)
        b = b + text("A=PCM,F=48000,W=24,M=stereo,T=recorder take " + std::to_string(i) + "\r\n");
    return b;
}

Bytes cueChunk() {
    Bytes b;
    put(b, 2, 4);
    for (uint32_t id = 1; id <= 2; ++id) {
        put(b, id, 4), put(b, id * 100, 4);
        b = b + text("data");
        put(b, 0, 4), put(b, 0, 4), put(b, id * 100, 4);
    }
    return b;
}

struct Layout {
    const char* name;
    Enc enc;
    uint16_t channels;
    std::size_t frames;
    // Builds the file from the sample bytes (or writes it with an outside
    // tool into the folder; then it returns nothing).
    std::function<Bytes(const Bytes& data, Session& s)> build;
    const char* tool = nullptr; // a program the layout needs, skipped without it
};

Bytes plain(Enc enc, uint16_t ch, const std::vector<Bytes>& before, const Bytes& data,
            const std::vector<Bytes>& after = {}) {
    std::vector<Bytes> chunks = before;
    chunks.insert(chunks.begin(), chunk("fmt ", fmtBody(plainFmt(enc, ch))));
    chunks.push_back(chunk("data", data));
    chunks.insert(chunks.end(), after.begin(), after.end());
    return riff(chunks);
}

std::vector<Layout> layouts() {
    return {
        {"JUNK chunk first", Enc::pcm24, 2, 700,
         [](const Bytes& d, Session&) {
             return riff({chunk("JUNK", Bytes(28, 0)),
                          chunk("fmt ", fmtBody(plainFmt(Enc::pcm24, 2))), chunk("data", d)});
         }},
        {"FLLR filler before data", Enc::pcm16, 2, 700,
         [](const Bytes& d, Session&) {
             return plain(Enc::pcm16, 2, {chunk("FLLR", Bytes(4042, 0))}, d);
         }},
        {"PAD chunk", Enc::pcm24, 1, 701,
         [](const Bytes& d, Session&) {
             return plain(Enc::pcm24, 1, {chunk("PAD ", Bytes(511, 0))}, d);
         }},
        {"384 KiB LIST before data", Enc::pcm16, 1, 900,
         [](const Bytes& d, Session&) {
             Bytes list = text("INFOICMT");
             put(list, 384 * 1024 - 12, 4);
             Bytes comment = text("data data data ");
             comment.resize(384 * 1024 - 12, 'x');
             return plain(Enc::pcm16, 1, {chunk("LIST", list + comment)}, d);
         }},
        {"iXML before data", Enc::pcm24, 2, 600,
         [](const Bytes& d, Session&) {
             return plain(
                 Enc::pcm24, 2,
                 {chunk("iXML", text("<?xml version=\"1.0\"?><BWFXML><SCENE>1</SCENE></BWFXML>"))},
                 d);
         }},
        {"iXML after data", Enc::pcm16, 2, 600,
         [](const Bytes& d, Session&) {
             return plain(
                 Enc::pcm16, 2, {}, d,
                 {chunk("iXML", text("<?xml version=\"1.0\"?><BWFXML><TAKE>3</TAKE></BWFXML>"))});
         }},
        {"bext with a long coding history", Enc::pcm24, 2, 500,
         [](const Bytes& d, Session&) {
             return plain(Enc::pcm24, 2, {chunk("bext", bext(400))}, d);
         }},
        {"cue before and smpl after data", Enc::pcm16, 1, 800,
         [](const Bytes& d, Session&) {
             return plain(Enc::pcm16, 1, {chunk("cue ", cueChunk())}, d,
                          {chunk("smpl", Bytes(36, 0))});
         }},
        {"float with fact chunk", Enc::float32, 2, 600,
         [](const Bytes& d, Session&) {
             Fmt f = plainFmt(Enc::float32, 2);
             f.cbSizeZero = true;
             Bytes fact;
             put(fact, 600, 4);
             return riff({chunk("fmt ", fmtBody(f)), chunk("fact", fact), chunk("data", d)});
         }},
        {"extensible 16-bit", Enc::pcm16, 2, 600,
         [](const Bytes& d, Session&) {
             return riff({chunk("fmt ", fmtBody(extensibleFmt(Enc::pcm16, 2))), chunk("data", d)});
         }},
        {"extensible 24-bit", Enc::pcm24, 2, 600,
         [](const Bytes& d, Session&) {
             return riff({chunk("fmt ", fmtBody(extensibleFmt(Enc::pcm24, 2))), chunk("data", d)});
         }},
        {"extensible float", Enc::float32, 1, 600,
         [](const Bytes& d, Session&) {
             Fmt f = extensibleFmt(Enc::float32, 1);
             Bytes fact;
             put(fact, 600, 4);
             return riff({chunk("fmt ", fmtBody(f)), chunk("fact", fact), chunk("data", d)});
         }},
        {"odd frame count of 24-bit mono", Enc::pcm24, 1, 333,
         [](const Bytes& d, Session&) {
             return plain(Enc::pcm24, 1, {}, d,
                          {chunk("LIST", text("INFOISFT") + Bytes{4, 0, 0, 0, 'r', 'e', 'c', 0})});
         }},
        {"unfinished recording (sizes 0xFFFFFFFF)", Enc::pcm16, 2, 500,
         [](const Bytes& d, Session&) {
             return riff({chunk("fmt ", fmtBody(plainFmt(Enc::pcm16, 2))),
                          Bytes{'d', 'a', 't', 'a', 255, 255, 255, 255} + d},
                         0xFFFFFFFF);
         }},
        {"written by Python's wave module", Enc::pcm16, 2, 700,
         [](const Bytes& d, Session& s) {
             EXPECT_TRUE(writeFileBytes(s.file("frames.raw"), d));
             const RunResult r = runProgram(
                 "/bin/sh",
                 {"-c",
                  "python3 -c \"import wave; w = wave.open('in.wav', 'wb'); w.setnchannels(2); "
                  "w.setsampwidth(2); w.setframerate(44100); "
                  "w.writeframes(open('frames.raw', 'rb').read()); w.close()\""},
                 s.dir.path().string());
             EXPECT_EQ(r.status, 0) << r.out;
             return Bytes{};
         },
         "python3"},
        {"written by sox (24-bit stereo)", Enc::pcm24, 2, 700,
         [](const Bytes& d, Session& s) {
             EXPECT_TRUE(writeFileBytes(s.file("frames.raw"), d));
             const RunResult r = runProgram(
                 "/bin/sh", {"-c", "sox -t raw -r 44100 -e signed -b 24 -c 2 frames.raw in.wav"},
                 s.dir.path().string());
             EXPECT_EQ(r.status, 0) << r.out;
             return Bytes{};
         },
         "sox"},
    };
}

bool haveTool(const char* tool) {
    return std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(WavLayouts, RealWorldLayoutsMixSampleExact) {
    int mixed = 0;
    uint32_t seed = 11;
    for (const Layout& l : layouts()) {
        SCOPED_TRACE(l.name);
        if (l.tool != nullptr && !haveTool(l.tool)) {
            std::printf("skipped \"%s\": %s is not installed\n", l.name, l.tool);
            continue;
        }
        Session s;
        const std::vector<int32_t> samples = signal(l.enc, l.frames * l.channels, ++seed);
        const Bytes file = l.build(encode(l.enc, samples), s);
        if (!file.empty()) {
            ASSERT_TRUE(writeFileBytes(s.file("in.wav"), file));
        }
        s.text("tracks.txt", "begin\n1 in.wav +\nend\n");
        s.text("prefs.txt", kPrefs24);
        s.text("faders.txt", unityFaders("out", 1));
        const RunResult r = s.run();
        ASSERT_EQ(r.status, 0) << r.out;
        const Wav mix = readMix(s.file("out.wav"));
        ASSERT_EQ(mix.bits, 24);
        ASSERT_EQ(mix.samples.size(), 2 * l.frames);
        for (std::size_t f = 0; f < l.frames; ++f) {
            const int32_t left = expected(l.enc, samples[f * l.channels]);
            const int32_t right = expected(l.enc, samples[f * l.channels + l.channels - 1]);
            ASSERT_EQ(mix.samples[2 * f], left) << "frame " << f;
            ASSERT_EQ(mix.samples[2 * f + 1], right) << "frame " << f;
        }
        ++mixed;
    }
    EXPECT_GE(mixed, 14);
}

} // namespace
