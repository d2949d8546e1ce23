// Header reading of input files, on bytes in memory and on real files.
#include "audio/wav_input.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "audio/byte_source.h"

namespace tarvex {
namespace {

using Bytes = std::vector<uint8_t>;

void put(Bytes& b, uint32_t v, int n) {
    for (int i = 0; i < n; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes chunk(const char* id, const Bytes& body, int64_t claimed = -1) {
    Bytes c(id, id + 4);
    put(c, claimed >= 0 ? static_cast<uint32_t>(claimed) : static_cast<uint32_t>(body.size()), 4);
    c.insert(c.end(), body.begin(), body.end());
    if (body.size() % 2 == 1) c.push_back(0);
    return c;
}

// Format body: code, channels, rate, bits; extensible adds the sub-format code.
Bytes fmtBody(uint16_t code, uint16_t channels, uint32_t rate, uint16_t bits, int sub = -1) {
    Bytes b;
    put(b, sub >= 0 ? 0xFFFE : code, 2), put(b, channels, 2), put(b, rate, 4);
    put(b, rate * channels * bits / 8, 4), put(b, channels * bits / 8, 2), put(b, bits, 2);
    if (sub >= 0) {
        put(b, 22, 2), put(b, bits, 2), put(b, 3, 4), put(b, static_cast<uint32_t>(sub), 2);
        b.resize(b.size() + 14); // rest of the sub-format GUID
    }
    return b;
}

Bytes wav(const std::vector<Bytes>& chunks) {
    Bytes w{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks)
        w.insert(w.end(), c.begin(), c.end());
    return w;
}

struct Parsed {
    int result;
    WavFacts facts;
    std::string printed;
};

Parsed parse(const Bytes& bytes) {
    MemoryByteSource src(bytes);
    Parsed p{0, {}, {}};
    testing::internal::CaptureStdout();
    p.result = readWavAttributes(src, "in.wav", p.facts);
    p.printed = testing::internal::GetCapturedStdout();
    return p;
}

// Result and facts in one line: "accepted 2ch 48000Hz 24/3 at 44, 10 frames".
std::string describe(const Parsed& p) {
    const WavFacts& f = p.facts;
    return (p.result ? "accepted " : "rejected ") + std::to_string(f.channels) + "ch " +
           std::to_string(f.rate) + "Hz " + std::to_string(f.bitsPerSample) + "/" +
           std::to_string(f.bytesPerSample) + " at " + std::to_string(f.dataOffset) + ", " +
           std::to_string(f.frames) + " frames";
}

const Bytes kFmt24 = chunk("fmt ", fmtBody(1, 2, 48000, 24));
const Bytes kData = chunk("data", Bytes(60, 0)); // 10 frames of 24-bit stereo

TEST(WavInput, StandardHeaderAndExtraChunksAreRead) {
    Parsed p = parse(wav({kFmt24, kData}));
    EXPECT_EQ(describe(p), "accepted 2ch 48000Hz 24/3 at 44, 10 frames");
    EXPECT_EQ(p.printed, "");

    // LIST before fmt, 384 KiB of bext and JUNK before the data, an odd chunk with its pad byte.
    p = parse(wav({chunk("LIST", Bytes(26, 'x')), kFmt24, chunk("bext", Bytes(384 * 1024, 0)),
                   chunk("JUNK", Bytes(1000, 0)), chunk("note", Bytes(3, 'n')), kData}));
    ASSERT_EQ(p.result, 1);
    EXPECT_EQ(p.facts.dataOffset, 12 + 34 + 24 + 8 + 384 * 1024 + 1008 + 12 + 8);
    EXPECT_EQ(p.facts.frames, 10);

    // A 16-bit file is taken whatever its format code says.
    p = parse(wav({chunk("fmt ", fmtBody(7, 1, 44100, 16)), chunk("data", Bytes(8, 0))}));
    EXPECT_EQ(describe(p), "accepted 1ch 44100Hz 16/2 at 44, 4 frames");
}

TEST(WavInput, DataTextInsideMetadataIsNotTheDataChunk) {
    Bytes list{'I', 'N', 'F', 'O', 'd', 'a', 't', 'a', 4, 0, 0, 0, 1, 2, 3, 4};
    Parsed p = parse(wav({kFmt24, chunk("LIST", list), kData}));
    ASSERT_EQ(p.result, 1);
    EXPECT_EQ(p.facts.dataOffset, 36 + 24 + 8);

    // With no real data chunk the text is still not taken.
    p = parse(wav({kFmt24, chunk("LIST", list)}));
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.printed, "Cannot find data block in file in.wav!\n");
}

TEST(WavInput, BrokenChunkSizesFallBackToEvenSearch) {
    // The first chunk claims far more than the file holds: search from the start.
    Parsed p = parse(wav({chunk("LIST", Bytes(4, 0), 0x7FFFFFFF), kFmt24, kData}));
    ASSERT_EQ(p.result, 1);
    EXPECT_EQ(p.facts.dataOffset, 12 + 12 + 24 + 8);

    // The search resumes after the chunks the walk vouched for, so "data" in the
    // sound LIST is skipped, and a non-printable id also ends the walk.
    Bytes list{'d', 'a', 't', 'a', 4, 0, 0, 0};
    Bytes broken{1, 2, 3, 4, 9, 9, 9, 9};
    p = parse(wav({kFmt24, chunk("LIST", list), broken, kData}));
    ASSERT_EQ(p.result, 1);
    EXPECT_EQ(p.facts.dataOffset, 36 + 16 + 8 + 8);
}

TEST(WavInput, DataSizeIsClampedToWholeFramesPresent) {
    Bytes data = chunk("data", Bytes(61, 0), 6000); // 10 frames and a stray byte
    EXPECT_EQ(parse(wav({kFmt24, data})).facts.frames, 10);
    data = chunk("data", Bytes(61, 0), 0xFFFFFFFF);
    EXPECT_EQ(parse(wav({kFmt24, data})).facts.frames, 10);

    Parsed p = parse(wav({kFmt24, chunk("data", {})}));
    EXPECT_EQ(describe(p), "accepted 2ch 48000Hz 24/3 at 44, 0 frames");
    EXPECT_NE(p.printed.find("in.wav has no audio"), std::string::npos);
}

TEST(WavInput, FloatFormatsAndRejections) {
    Parsed p =
        parse(wav({chunk("fmt ", fmtBody(0, 2, 96000, 32, 3)), chunk("data", Bytes(16, 0))}));
    EXPECT_EQ(describe(p), "accepted 2ch 96000Hz 32/4 at 68, 2 frames");

    const std::string notFloat = "\nin.wav is not a 32 bit floating point format\n";
    EXPECT_EQ(parse(wav({chunk("fmt ", fmtBody(0, 2, 48000, 32, 1)), kData})).printed, notFloat);
    EXPECT_EQ(parse(wav({chunk("fmt ", fmtBody(1, 2, 48000, 32)), kData})).printed, notFloat);

    struct Case {
        Bytes fmt;
        std::string message;
    } cases[] = {
        {fmtBody(1, 1, 8000, 8),
         "in.wav is not a 32 float, 24 bit pcm, or 16 bit pcm file and cannot be used\n"},
        {fmtBody(1, 3, 48000, 24),
         "in.wav has 3 channels; only mono and stereo files can be used\n"},
        {fmtBody(1, 2, 0, 24), "in.wav has a sample rate of 0 and cannot be used\n"},
        {Bytes(12, 0), "in.wav has a format chunk too short to read and cannot be used\n"},
    };
    for (const Case& c : cases) {
        p = parse(wav({chunk("fmt ", c.fmt), kData}));
        EXPECT_EQ(p.result, 0);
        EXPECT_EQ(p.printed, c.message);
    }
    p = parse(wav({kData}));
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.printed, "Can't find format chunk in wave file!");
}

TEST(WavInput, GetAttributesReadsFilesAndWritesOnlyItsEntry) {
    const std::string path =
        std::filesystem::temp_directory_path() / ("tarvex_in_" + std::to_string(getpid()) + ".wav");
    const Bytes bytes = wav({kFmt24, kData});
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);

    std::vector<int32_t> ch(4, -1), bytesPer(4, -1), bits(4, -1);
    std::vector<int64_t> offset(4, -1), frames(4, -1);
    std::vector<uint32_t> rate(4, 7);
    EXPECT_EQ(readWavFacts(2, path, ch, offset, rate, frames, bytesPer, bits), 1);
    EXPECT_EQ(ch, (std::vector<int32_t>{-1, -1, 2, -1}));
    EXPECT_EQ(offset, (std::vector<int64_t>{-1, -1, 44, -1}));
    EXPECT_EQ(frames[2], 10);
    EXPECT_EQ(rate[2], 48000u);
    EXPECT_EQ(bits[2], 24);
    EXPECT_EQ(bytesPer[2], 3);

    // A data size of all ones on a sparse file beyond 4 GiB: frames past 2^32 bytes.
    Bytes big = wav({kFmt24, chunk("data", {}, 0xFFFFFFFF)});
    f = std::fopen(path.c_str(), "wb");
    std::fwrite(big.data(), 1, big.size(), f);
    const int64_t length = (int64_t{5} << 30) + 44;
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
        EXPECT_EQ(frames[1], ((int64_t{5} << 30)) / 6);
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
