// A catalogue of damaged and unusual WAV headers, one row per variant: how
// the bytes are made and what the header reader decides (the facts it reads,
// or the message it refuses the file with). Every file is built here from
// its recipe; none is stored. Then the reading of real files.
#include "audio/wav_input.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "audio/byte_source.h"
#include "test_support.h"
#include "wav_bytes.h"

namespace tarvex {
namespace {

using namespace wav_bytes;

// Ten frames of 16-bit stereo.
const Bytes kSamples =
    pcm16({1, -1, 2, -2, 3, -3, 4, -4, 5, -5, 6, -6, 7, -7, 8, -8, 9, -9, 10, -10});

Bytes fmtChunk(const Fmt& f) {
    return chunk("fmt ", fmtBody(f));
}
Bytes dataChunk(const Bytes& body = kSamples, int64_t claimed = -1) {
    return chunk("data", body, claimed);
}
Bytes standard() {
    return riff({fmtChunk({}), dataChunk()});
}
Bytes cut(Bytes b, size_t length) {
    b.resize(length);
    return b;
}
Bytes withField(Bytes b, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    return b;
}
Fmt fmtWith(uint16_t code, uint16_t channels, uint16_t bits) {
    Fmt f;
    f.code = code, f.channels = channels, f.bits = bits;
    return f;
}
Fmt extensible(uint16_t bits, uint16_t sub, int32_t extensionSize = 22) {
    Fmt f;
    f.code = 0xFFFE, f.bits = bits, f.subFormat = sub, f.extensionSize = extensionSize;
    return f;
}

struct Variant {
    const char* name;
    Bytes bytes;
    // "2ch 44100Hz 16/2 at 44, 10 frames" when read, else the message that
    // refuses the file.
    std::string outcome;
    bool read;
};

Variant reads(const char* name, Bytes b, std::string facts) {
    return {name, std::move(b), std::move(facts), true};
}
Variant refuses(const char* name, Bytes b, std::string message) {
    return {name, std::move(b), std::move(message), false};
}

const char* const kNoFmt = "Can't find format chunk in wave file!";
const char* const kShortFmt = "in.wav has a format chunk too short to read and cannot be used\n";
const char* const kNoData = "Cannot find data block in file in.wav!\n";
const char* const kNotFloat = "\nin.wav is not a 32 bit floating point format\n";
const char* const kBadBits =
    "in.wav is not a 32 float, 24 bit pcm, or 16 bit pcm file and cannot be used\n";
const char* const kNoAudio = "in.wav has no audio in its data chunk; the channel stays silent\n";
const char* const kStd = "2ch 44100Hz 16/2 at 44, 10 frames";

std::string channelsRefused(int channels) {
    return "in.wav has " + std::to_string(channels) +
           " channels; only mono and stereo files can be used\n";
}

const Bytes kInfoData{'I', 'N', 'F', 'O', 'd', 'a', 't', 'a', 4, 0, 0, 0, 1, 2, 3, 4};

std::vector<Variant> catalogue() {
    const Bytes std44 = standard();
    std::vector<Variant> v = {
        refuses("empty file", {}, kNoFmt),
        refuses("riff preamble only (12 bytes)", cut(std44, 12), kNoFmt),
        refuses("plain text", Bytes{'h', 'e', 'l', 'l', 'o', '\n'}, kNoFmt),
        refuses("aiff-like form without fmt",
                riff({chunk("COMM", Bytes(18, 0))}, -1, "AIFF", "FORM"), kNoFmt),
        // The RIFF and WAVE identifiers and the RIFF size are not examined.
        reads("RIFX id and another form type",
              riff({fmtChunk({}), dataChunk()}, -1, "WAVX", "RIFX"), kStd),
        reads("riff size 0", riff({fmtChunk({}), dataChunk()}, 0), kStd),
        reads("riff size 0xFFFFFFFF", riff({fmtChunk({}), dataChunk()}, 0xFFFFFFFF), kStd),
        refuses("fmt size 0", riff({chunk("fmt ", fmtBody({}), 0), dataChunk()}), kShortFmt),
        refuses("fmt size 14 (no bits field)",
                riff({chunk("fmt ", cut(fmtBody({}), 14)), dataChunk()}), kShortFmt),
        // A format size past the end stops the walk; the search finds both ids.
        reads("fmt size 0xFFFFFFFF", riff({chunk("fmt ", fmtBody({}), 0xFFFFFFFF), dataChunk()}),
              kStd),
        reads("data size 0 (silent channel)", riff({fmtChunk({}), dataChunk(kSamples, 0)}),
              "2ch 44100Hz 16/2 at 44, 0 frames"),
        reads("data size 0xFFFFFFFF runs to the end",
              riff({fmtChunk({}), dataChunk(kSamples, 0xFFFFFFFF)}), kStd),
        reads("data size past the end of file", riff({fmtChunk({}), dataChunk(kSamples, 4000)}),
              kStd),
        reads("data size not a whole frame", riff({fmtChunk({}), dataChunk(kSamples, 39)}),
              "2ch 44100Hz 16/2 at 44, 9 frames"),
        refuses("channels 0", riff({fmtChunk(fmtWith(1, 0, 16)), dataChunk()}), channelsRefused(0)),
        refuses("channels 3", riff({fmtChunk(fmtWith(1, 3, 16)), dataChunk()}), channelsRefused(3)),
        refuses("channels 65535", riff({fmtChunk(fmtWith(1, 65535, 16)), dataChunk()}),
                channelsRefused(65535)),
        refuses("rate 0", riff({chunk("fmt ", withField(fmtBody({}), 4, 0, 4)), dataChunk()}),
                "in.wav has a sample rate of 0 and cannot be used\n"),
        refuses("bits 0", riff({fmtChunk(fmtWith(1, 2, 0)), dataChunk()}), kBadBits),
        refuses("bits 8", riff({fmtChunk(fmtWith(1, 2, 8)), dataChunk()}), kBadBits),
        refuses("bits 12", riff({fmtChunk(fmtWith(1, 2, 12)), dataChunk()}), kBadBits),
        refuses("bits 20", riff({fmtChunk(fmtWith(1, 2, 20)), dataChunk()}), kBadBits),
        refuses("32-bit integer", riff({fmtChunk(fmtWith(1, 2, 32)), dataChunk()}), kNotFloat),
        refuses("bits 64", riff({fmtChunk(fmtWith(3, 2, 64)), dataChunk()}), kBadBits),
        // Block align and byte rate are not examined: the frame size follows
        // from the channel count and the bit depth.
        reads("block align 0", riff({chunk("fmt ", withField(fmtBody({}), 12, 0, 2)), dataChunk()}),
              kStd),
        reads("block align and byte rate inconsistent",
              riff({chunk("fmt ", withField(withField(fmtBody({}), 12, 6, 2), 8, 7, 4)),
                    dataChunk()}),
              kStd),
        // For 16 and 24 bits the format code is not examined.
        reads("format code 0 with 16 bits", riff({fmtChunk(fmtWith(0, 2, 16)), dataChunk()}), kStd),
        reads("format code 2 with 16 bits", riff({fmtChunk(fmtWith(2, 2, 16)), dataChunk()}), kStd),
        reads("format code 3 with 16 bits", riff({fmtChunk(fmtWith(3, 2, 16)), dataChunk()}), kStd),
        reads("extensible 16-bit with unknown sub-format",
              riff({fmtChunk(extensible(16, 0x1234)), dataChunk()}),
              "2ch 44100Hz 16/2 at 68, 10 frames"),
        refuses("extensible 32-bit with unknown sub-format",
                riff({fmtChunk(extensible(32, 0x1234)), dataChunk()}), kNotFloat),
        refuses("extensible 32-bit with a short extension",
                riff({fmtChunk(extensible(32, 3, 0)), dataChunk()}), kNotFloat),
        reads("extensible 32-bit float", riff({fmtChunk(extensible(32, 3)), dataChunk()}),
              "2ch 44100Hz 32/4 at 68, 5 frames"),
        // The first format chunk counts.
        reads("a second fmt chunk", riff({fmtChunk({}), fmtChunk(fmtWith(1, 1, 24)), dataChunk()}),
              "2ch 44100Hz 16/2 at 68, 10 frames"),
        reads("data before fmt", riff({dataChunk(), fmtChunk({})}),
              "2ch 44100Hz 16/2 at 20, 10 frames"),
        reads("odd chunk with its pad byte",
              riff({chunk("JUNK", Bytes(7, 1)), fmtChunk({}), dataChunk()}),
              "2ch 44100Hz 16/2 at 60, 10 frames"),
        reads("odd chunk without its pad byte",
              riff({chunk("JUNK", Bytes(7, 1), -1, false), fmtChunk({}), dataChunk()}),
              "2ch 44100Hz 16/2 at 59, 10 frames"),
        reads("24-bit at 48000",
              riff({fmtChunk({.rate = 48000, .bits = 24}), dataChunk(Bytes(60))}),
              "2ch 48000Hz 24/3 at 44, 10 frames"),
        reads("LIST before fmt, 384 KiB of bext, JUNK and an odd chunk before data",
              riff({chunk("LIST", Bytes(26, 'x')), fmtChunk({}), chunk("bext", Bytes(384 * 1024)),
                    chunk("JUNK", Bytes(1000)), chunk("note", Bytes(3, 'n')), dataChunk()}),
              "2ch 44100Hz 16/2 at 394322, 10 frames"),
        // "data" inside metadata is not the data chunk, even when no other is there.
        reads("\"data\" inside a LIST", riff({fmtChunk({}), chunk("LIST", kInfoData), dataChunk()}),
              "2ch 44100Hz 16/2 at 68, 10 frames"),
        refuses("\"data\" only inside a LIST", riff({fmtChunk({}), chunk("LIST", kInfoData)}),
                kNoData),
        // A first chunk claiming far more than the file holds: the search starts at the top.
        reads("first chunk size 0x7FFFFFFF",
              riff({chunk("LIST", Bytes(4), 0x7FFFFFFF), fmtChunk({}), dataChunk()}),
              "2ch 44100Hz 16/2 at 56, 10 frames"),
        // A non-printable id ends the walk; the search resumes after the chunks the walk
        // vouched for, so "data" in the sound LIST is skipped.
        reads("non-printable chunk id",
              riff({fmtChunk({}), chunk("LIST", Bytes{'d', 'a', 't', 'a', 4, 0, 0, 0}),
                    Bytes{1, 2, 3, 4, 9, 9, 9, 9}, dataChunk()}),
              "2ch 44100Hz 16/2 at 68, 10 frames"),
        reads("odd-sized data chunk of 24-bit mono",
              riff({fmtChunk(fmtWith(1, 1, 24)), chunk("data", Bytes(9, 0x11)),
                    chunk("LIST", Bytes(4, 0))}),
              "1ch 44100Hz 24/3 at 44, 3 frames"),
        // Truncation inside every field of a standard 44-byte header.
        refuses("cut inside RIFF id", cut(std44, 2), kNoFmt),
        refuses("cut inside RIFF size", cut(std44, 6), kNoFmt),
        refuses("cut inside WAVE", cut(std44, 10), kNoFmt),
        refuses("cut inside fmt id", cut(std44, 14), kNoFmt),
        refuses("cut inside fmt size", cut(std44, 18), kShortFmt),
        refuses("cut inside format code", cut(std44, 21), kShortFmt),
        refuses("cut inside channels", cut(std44, 23), kShortFmt),
        refuses("cut inside rate", cut(std44, 26), kShortFmt),
        refuses("cut inside byte rate", cut(std44, 30), kShortFmt),
        refuses("cut inside block align", cut(std44, 33), kShortFmt),
        refuses("cut inside bits", cut(std44, 35), kShortFmt),
        refuses("cut inside data id", cut(std44, 38), kNoData),
        reads("cut inside data size", cut(std44, 42), "2ch 44100Hz 16/2 at 44, 0 frames"),
        reads("cut inside the first frame", cut(std44, 47), "2ch 44100Hz 16/2 at 44, 0 frames"),
        reads("cut inside the third frame", cut(std44, 44 + 9), "2ch 44100Hz 16/2 at 44, 2 frames"),
    };
    return v;
}

std::string facts(const WavFacts& f) {
    return std::to_string(f.channels) + "ch " + std::to_string(f.rate) + "Hz " +
           std::to_string(f.bitsPerSample) + "/" + std::to_string(f.bytesPerSample) + " at " +
           std::to_string(f.dataOffset) + ", " + std::to_string(f.frames) + " frames";
}

TEST(WavCatalogue, EveryVariantIsReadOrRefusedAsDecided) {
    const std::vector<Variant> rows = catalogue();
    EXPECT_GE(rows.size(), 40u);
    for (const Variant& row : rows) {
        MemoryByteSource src(row.bytes);
        WavFacts f;
        testing::internal::CaptureStdout();
        const int accepted = readWavAttributes(src, "in.wav", f);
        const std::string printed = testing::internal::GetCapturedStdout();
        if (row.read) {
            EXPECT_EQ(accepted, 1) << row.name << ": " << printed;
            if (accepted) {
                EXPECT_EQ(facts(f), row.outcome) << row.name;
                EXPECT_EQ(printed, f.frames == 0 ? kNoAudio : "") << row.name;
            }
            // Never more frames than the bytes after the data offset hold.
            if (f.frames > 0) {
                EXPECT_LE(f.dataOffset + f.frames * f.channels * f.bytesPerSample,
                          static_cast<int64_t>(row.bytes.size()))
                    << row.name;
            }
        } else {
            EXPECT_EQ(accepted, 0) << row.name;
            EXPECT_EQ(printed, row.outcome) << row.name;
        }
    }
}

TEST(WavCatalogue, FilesAreReadIntoTheirOwnEntryOnly) {
    TempDir dir;
    const std::string path = dir.file("in.wav");
    ASSERT_TRUE(writeFileBytes(path, standard()));
    std::vector<int32_t> ch(4, -1), bytesPer(4, -1), bits(4, -1);
    std::vector<int64_t> offset(4, -1), frames(4, -1);
    std::vector<uint32_t> rate(4, 7);
    EXPECT_EQ(readWavFacts(2, path, ch, offset, rate, frames, bytesPer, bits), 1);
    EXPECT_EQ(ch, (std::vector<int32_t>{-1, -1, 2, -1}));
    EXPECT_EQ(offset, (std::vector<int64_t>{-1, -1, 44, -1}));
    EXPECT_EQ(frames, (std::vector<int64_t>{-1, -1, 10, -1}));
    EXPECT_EQ(rate, (std::vector<uint32_t>{7, 7, 44100, 7}));
    EXPECT_EQ(bits, (std::vector<int32_t>{-1, -1, 16, -1}));
    EXPECT_EQ(bytesPer, (std::vector<int32_t>{-1, -1, 2, -1}));

    // A data size of all ones on a sparse file beyond 4 GiB: frames past 2^32 bytes.
    ASSERT_TRUE(writeFileBytes(path, riff({fmtChunk({}), dataChunk({}, 0xFFFFFFFF)})));
    const int64_t length = (int64_t{5} << 30) + 44;
    std::FILE* f = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    const bool sparse = fseeko(f, length - 1, SEEK_SET) == 0 && std::fputc(0x5A, f) == 0x5A;
    std::fclose(f);
    if (sparse) {
        FileByteSource src(path);
        ASSERT_TRUE(src.isOpen());
        EXPECT_EQ(src.size(), length);
        uint8_t last[4] = {};
        EXPECT_EQ(src.readAt(length - 1, last, 4), 1u);
        EXPECT_EQ(last[0], 0x5A);
        src.close();
        EXPECT_EQ(readWavFacts(1, path, ch, offset, rate, frames, bytesPer, bits), 1);
        EXPECT_EQ(frames[1], (int64_t{5} << 30) / 4);
    }
    std::remove(path.c_str());

    testing::internal::CaptureStdout();
    EXPECT_EQ(readWavFacts(3, path, ch, offset, rate, frames, bytesPer, bits), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Cannot find file in track list called " + path + "!!\n");
    EXPECT_EQ(ch[3], -1);
}

} // namespace
} // namespace tarvex
