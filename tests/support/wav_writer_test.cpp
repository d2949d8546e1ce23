// The WAV writer that makes the test inputs and the demo tracks: every layout
// it offers, byte for byte.
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

namespace {

WavLayout layout(int32_t channels, SampleFormat format, uint32_t rate = 44100) {
    WavLayout l;
    l.rate = rate;
    l.channels = channels;
    l.format = format;
    return l;
}

std::string hex(const std::vector<uint8_t>& bytes) {
    std::string s;
    for (const uint8_t b : bytes)
        s += "0123456789abcdef"[b >> 4], s += "0123456789abcdef"[b & 15];
    return s;
}

std::string withoutSpaces(std::string s) {
    std::erase(s, ' ');
    return s;
}

TEST(WavWriter, EveryLayoutByteForByte) {
    const double s16 = 1.0 / 32768.0, s24 = 1.0 / 8388608.0;
    WavLayout float18 = layout(2, SampleFormat::Float32);
    float18.fmtExtensionSize = true;
    WavLayout chunks = layout(1, SampleFormat::Pcm16);
    chunks.chunksBeforeFmt.push_back({"JUNK", {1, 2, 3}});
    chunks.chunksBeforeData.push_back({"LIST", makeInfoListBody("Demo")});
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* expected;
    } rows[] = {
        // clang-format off
        // Rounded half away from zero, clamped, NaN as 0.
        {"pcm16 stereo", makeWavBytes(layout(2, SampleFormat::Pcm16, 48000), std::vector<double>{0.0, 1.0, -1.0, 0.5, 1.5 * s16, -1.5 * s16, 0.49 * s16, 2.0, -3.0, std::nan("")}),
         "52494646 38000000 57415645 666d7420 10000000 01000200 80bb0000 00ee0200 04001000 64617461 14000000 0000ff7f 00800040 0200feff 0000ff7f 00800000"},
        // An odd data chunk has its pad byte after it, outside its size.
        {"pcm24 mono", makeWavBytes(layout(1, SampleFormat::Pcm24), std::vector<double>{-1.0, 0.5, -s24}),
         "52494646 2e000000 57415645 666d7420 10000000 01000100 44ac0000 cc040200 03001800 64617461 09000000 00008000 0040ffff ff00"},
        {"float", makeWavBytes(layout(2, SampleFormat::Float32), std::vector<double>{1.0, -0.5, 0.0, 1.0 / 3.0}),
         "52494646 34000000 57415645 666d7420 10000000 03000200 44ac0000 20620500 08002000 64617461 10000000 0000803f 000000bf 00000000 abaaaa3e"},
        {"float with cbSize 0", makeWavBytes(float18, std::vector<double>{1.0, -0.5, 0.0, 1.0 / 3.0}),
         "52494646 36000000 57415645 666d7420 12000000 03000200 44ac0000 20620500 08002000 0000 64617461 10000000 0000803f 000000bf 00000000 abaaaa3e"},
        // Front left and right; front centre for mono.
        {"extensible float stereo", makeWavBytes(layout(2, SampleFormat::Float32Extensible), std::vector<double>{0.25, -0.25}),
         "52494646 44000000 57415645 666d7420 28000000 feff0200 44ac0000 20620500 08002000 1600 2000 03000000 03000000 00001000 800000aa 00389b71 64617461 08000000 0000803e 000080be"},
        {"extensible float mono", makeWavBytes(layout(1, SampleFormat::Float32Extensible), std::vector<double>{0.0}),
         "52494646 40000000 57415645 666d7420 28000000 feff0100 44ac0000 10b10200 04002000 1600 2000 04000000 03000000 00001000 800000aa 00389b71 64617461 04000000 00000000"},
        {"JUNK before fmt, LIST before data", makeWavBytes(chunks, std::vector<double>{0.5}),
         "52494646 4c000000 57415645 4a554e4b 03000000 01020300 666d7420 10000000 01000100 44ac0000 88580100 02001000 4c495354 12000000 494e464f 494e414d 05000000 44656d6f 0000 64617461 02000000 0040"},
        {"pcm16 integers clamped", makeWavBytesFromInts(layout(2, SampleFormat::Pcm16), std::vector<int32_t>{-1, 32767, -32768, 40000, -40000, 1}),
         "52494646 30000000 57415645 666d7420 10000000 01000200 44ac0000 10b10200 04001000 64617461 0c000000 ffff ff7f 0080 ff7f 0080 0100"},
        {"pcm24 integers clamped", makeWavBytesFromInts(layout(1, SampleFormat::Pcm24), std::vector<int32_t>{8388607, -8388608, 9000000, -2}),
         "52494646 30000000 57415645 666d7420 10000000 01000100 44ac0000 cc040200 03001800 64617461 0c000000 ffff7f 000080 ffff7f feffff"},
        // Float formats take the raw bit pattern, so NaN can be written on purpose.
        {"float bit patterns", makeWavBytesFromInts(layout(1, SampleFormat::Float32), std::vector<int32_t>{0x7FC00000, static_cast<int32_t>(0x80000001u)}),
         "52494646 2c000000 57415645 666d7420 10000000 03000100 44ac0000 10b10200 04002000 64617461 08000000 0000c07f 01000080"},
        {"no samples", makeWavBytes(layout(2, SampleFormat::Pcm24), {}),
         "52494646 24000000 57415645 666d7420 10000000 01000200 44ac0000 98090400 06001800 64617461 00000000"},
        // clang-format on
    };
    for (const auto& row : rows)
        EXPECT_EQ(hex(row.bytes), withoutSpaces(row.expected)) << row.what;
}

TEST(WavWriter, RefusesImpossibleLayoutsAndReportsFailedWrites) {
    const std::vector<double> three = {0.0, 0.0, 0.0};
    EXPECT_THROW(makeWavBytes(layout(0, SampleFormat::Pcm16), three), std::invalid_argument);
    EXPECT_THROW(makeWavBytes(layout(2, SampleFormat::Pcm16), three), std::invalid_argument);
    WavLayout badId = layout(1, SampleFormat::Pcm16);
    badId.chunksBeforeData.push_back({"ID3", {}});
    EXPECT_THROW(makeWavBytes(badId, three), std::invalid_argument);

    TempDir dir;
    const std::vector<uint8_t> bytes = makeWavBytes(layout(1, SampleFormat::Pcm16), three);
    ASSERT_TRUE(writeFileBytes(dir.file("a.wav"), bytes));
    EXPECT_EQ(readBytes(dir.file("a.wav")), bytes);
    EXPECT_FALSE(writeFileBytes(dir.file("missing/a.wav"), bytes));
}

} // namespace
