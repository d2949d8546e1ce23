// Output header, output division and sample encoders.
#include "audio/wav_output.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <unistd.h>
#include <vector>

#include "audio/byte_source.h"
#include "audio/wav_input.h"

namespace tarvex {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(WavOutput, HeaderBytes) {
    // 48000 Hz stereo 24-bit, 10 s: data 2880000, RIFF 2880036, byte rate 288000, block 6.
    const Bytes expected{'R', 'I', 'F',  'F',  0x24, 0xF2, 0x2B, 0,    'W',  'A',  'V',
                         'E', 'f', 'm',  't',  ' ',  16,   0,    0,    0,    1,    0,
                         2,   0,   0x80, 0xBB, 0,    0,    0x00, 0x65, 0x04, 0,    6,
                         0,   24,  0,    'd',  'a',  't',  'a',  0x00, 0xF2, 0x2B, 0};
    std::array<uint8_t, 44> h{};
    makeHeaderBytes(h, 48000, 24, 2, 480000);
    EXPECT_EQ(Bytes(h.begin(), h.end()), expected);

    makeHeaderBytes(h, 44100, 16, 1, 0);
    EXPECT_EQ(readLE32(&h[4]), 36u);
    EXPECT_EQ(readLE32(&h[40]), 0u);
    EXPECT_EQ(readLE32(&h[28]), 88200u);
    EXPECT_EQ(readLE16(&h[32]), 2);
}

TEST(WavOutput, DataSizeFitsTheSizeFields) {
    EXPECT_TRUE(dataSizeFits(2, 24, (0xFFFFFFFFLL - 36) / 6));
    EXPECT_FALSE(dataSizeFits(2, 24, (0xFFFFFFFFLL - 36) / 6 + 1));
    EXPECT_TRUE(dataSizeFits(1, 16, 0));
    EXPECT_FALSE(dataSizeFits(2, 16, std::numeric_limits<int64_t>::max()));
    EXPECT_FALSE(dataSizeFits(2, 16, -1));
}

TEST(WavOutput, MakeHeaderWritesAReadableFileOrReportsFailure) {
    const std::string path = std::filesystem::temp_directory_path() /
                             ("tarvex_out_" + std::to_string(getpid()) + ".wav");
    ASSERT_TRUE(writeWavHeader(path, 96000, 16, 2, 0));
    FileByteSource file(path);
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(file.size(), 44);
    WavFacts facts;
    testing::internal::CaptureStdout();
    EXPECT_EQ(readWavAttributes(file, path, facts), 1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(facts.rate, 96000u);
    EXPECT_EQ(facts.dataOffset, 44);
    file.close();
    std::remove(path.c_str());

    errno = 0;
    EXPECT_FALSE(writeWavHeader("/nonexistent-tarvex-dir/mix.wav", 48000, 24, 2, 10));
    EXPECT_EQ(errno, ENOENT);
}

TEST(WavOutput, DivisionRoundsTowardZero) {
    constexpr int32_t kLowest = std::numeric_limits<int32_t>::min();
    const struct {
        int32_t v;
        int shift;
        int32_t expected;
    } cases[] = {{-1, kShift24, 0},
                 {-255, kShift24, 0},
                 {-256, kShift24, -1},
                 {511, kShift24, 1},
                 {2147483647, kShift24, 8388607},
                 {kLowest, kShift24, -8388608},
                 {-65535, kShift16, 0},
                 {-65536, kShift16, -1},
                 {kLowest, kShift16, -32768},
                 {2147483647, kShift16, 32767}};
    for (const auto& c : cases)
        EXPECT_EQ(divideTowardZero(c.v, c.shift), c.expected) << c.v;
}

TEST(WavOutput, EncodersWriteLittleEndianLeftFirst) {
    const std::vector<int32_t> left{-1, 8388607, 0x1234567};
    const std::vector<int32_t> right{0x123456, -8388608, 0};
    Bytes out(18, 0xEE);
    encodeStereo24(left, right, out, 2);
    EXPECT_EQ(out, (Bytes{0xFF, 0xFF, 0xFF, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80,
                          0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    encodeStereo16(left, right, out, 1);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{0xFF, 0xFF, 0x56, 0x34}));
    encodeMono16(right, out, 2);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{0x56, 0x34, 0x00, 0x00}));
    encodeMono24(std::span(left).subspan(2), out, 1); // low 24 bits only
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{0x67, 0x45, 0x23, 0x00}));

    Bytes untouched(6, 0xEE);
    encodeStereo24(left, right, untouched, 0);
    encodeMono16(left, untouched, -5);
    EXPECT_EQ(untouched, Bytes(6, 0xEE));
}

} // namespace
} // namespace tarvex
