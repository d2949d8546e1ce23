#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

std::string idAt(const std::vector<uint8_t>& b, size_t offset) {
    return std::string(b.begin() + static_cast<std::ptrdiff_t>(offset),
                       b.begin() + static_cast<std::ptrdiff_t>(offset + 4));
}

std::vector<uint8_t> slice(const std::vector<uint8_t>& b, size_t offset, size_t count) {
    return std::vector<uint8_t>(b.begin() + static_cast<std::ptrdiff_t>(offset),
                                b.begin() + static_cast<std::ptrdiff_t>(offset + count));
}

WavLayout layout(int32_t channels, SampleFormat format, uint32_t rate = 44100) {
    WavLayout l;
    l.rate = rate;
    l.channels = channels;
    l.format = format;
    return l;
}

// The plain 44-byte header: fmt at 12, data at 36, samples at 44.
void expectPlainHeader(const std::vector<uint8_t>& b, uint16_t code, uint16_t channels,
                       uint32_t rate, uint16_t bits, uint32_t dataSize) {
    EXPECT_EQ(idAt(b, 0), "RIFF");
    EXPECT_EQ(readLe32(b, 4), b.size() - 8);
    EXPECT_EQ(idAt(b, 8), "WAVE");
    EXPECT_EQ(idAt(b, 12), "fmt ");
    EXPECT_EQ(readLe32(b, 16), 16u);
    EXPECT_EQ(readLe16(b, 20), code);
    EXPECT_EQ(readLe16(b, 22), channels);
    EXPECT_EQ(readLe32(b, 24), rate);
    EXPECT_EQ(readLe32(b, 28), rate * channels * (bits / 8u));
    EXPECT_EQ(readLe16(b, 32), channels * (bits / 8u));
    EXPECT_EQ(readLe16(b, 34), bits);
    EXPECT_EQ(idAt(b, 36), "data");
    EXPECT_EQ(readLe32(b, 40), dataSize);
}

TEST(WavWriter, Pcm16StereoRoundsAndClamps) {
    const double step = 1.0 / 32768.0;
    const std::vector<double> samples = {0.0,         1.0,         -1.0, 0.5,  1.5 * step,
                                         -1.5 * step, 0.49 * step, 2.0,  -3.0, std::nan("")};
    // 5 frames of 2 channels.
    const std::vector<uint8_t> b = makeWavBytes(layout(2, SampleFormat::Pcm16, 48000), samples);
    ASSERT_EQ(b.size(), 44u + 20u);
    expectPlainHeader(b, 1, 2, 48000, 16, 20);
    const std::vector<int32_t> expected = {0, 32767, -32768, 16384, 2, -2, 0, 32767, -32768, 0};
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(readLe16Signed(b, 44 + 2 * i), expected[i]) << "sample " << i;
    EXPECT_EQ(slice(b, 44 + 2, 2), (std::vector<uint8_t>{0xFF, 0x7F}));
}

TEST(WavWriter, Pcm24MonoPadsOddDataChunk) {
    const double step = 1.0 / 8388608.0;
    const std::vector<double> samples = {-1.0, 0.5, -step};
    const std::vector<uint8_t> b = makeWavBytes(layout(1, SampleFormat::Pcm24), samples);
    ASSERT_EQ(b.size(), 44u + 9u + 1u);
    expectPlainHeader(b, 1, 1, 44100, 24, 9);
    EXPECT_EQ(slice(b, 44, 10),
              (std::vector<uint8_t>{0x00, 0x00, 0x80, 0x00, 0x00, 0x40, 0xFF, 0xFF, 0xFF, 0x00}));
}

TEST(WavWriter, Float32WritesIeeeBits) {
    const std::vector<double> samples = {1.0, -0.5, 0.0, 1.0 / 3.0};
    const std::vector<uint8_t> b = makeWavBytes(layout(2, SampleFormat::Float32), samples);
    ASSERT_EQ(b.size(), 44u + 16u);
    expectPlainHeader(b, 3, 2, 44100, 32, 16);
    EXPECT_EQ(slice(b, 44, 12), (std::vector<uint8_t>{0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00,
                                                      0xBF, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(readLe32(b, 56), 0x3EAAAAABu); // 1/3 rounded to single precision

    // The 18-byte variant ends the format chunk with cbSize 0 and moves the data by two.
    WavLayout withSize = layout(2, SampleFormat::Float32);
    withSize.fmtExtensionSize = true;
    const std::vector<uint8_t> b18 = makeWavBytes(withSize, samples);
    EXPECT_EQ(readLe32(b18, 16), 18u);
    EXPECT_EQ(readLe16(b18, 20), 3u);
    EXPECT_EQ(readLe16(b18, 34), 32u);
    EXPECT_EQ(readLe16(b18, 36), 0u);
    EXPECT_EQ(idAt(b18, 38), "data");
    EXPECT_EQ(readLe32(b18, 42), 16u);
    EXPECT_EQ(slice(b18, 46, 16), slice(b, 44, 16));
    EXPECT_EQ(readLe32(b18, 4), b18.size() - 8);
}

TEST(WavWriter, Float32ExtensibleFormatChunk) {
    const std::vector<double> samples = {0.25, -0.25};
    const std::vector<uint8_t> b =
        makeWavBytes(layout(2, SampleFormat::Float32Extensible), samples);
    ASSERT_EQ(b.size(), 12u + 8u + 40u + 8u + 8u);
    EXPECT_EQ(idAt(b, 12), "fmt ");
    EXPECT_EQ(readLe32(b, 16), 40u);
    EXPECT_EQ(readLe16(b, 20), 0xFFFEu);
    EXPECT_EQ(readLe16(b, 22), 2u);
    EXPECT_EQ(readLe32(b, 28), 44100u * 8u);
    EXPECT_EQ(readLe16(b, 32), 8u);
    EXPECT_EQ(readLe16(b, 34), 32u);
    EXPECT_EQ(readLe16(b, 36), 22u); // cbSize
    EXPECT_EQ(readLe16(b, 38), 32u); // valid bits
    EXPECT_EQ(readLe32(b, 40), 3u);  // front left | front right
    EXPECT_EQ(slice(b, 44, 16),
              (std::vector<uint8_t>{0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                    0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}));
    EXPECT_EQ(idAt(b, 60), "data");
    EXPECT_EQ(readLe32(b, 64), 8u);
    EXPECT_EQ(readLe32(b, 68), 0x3E800000u);
    EXPECT_EQ(readLe32(b, 72), 0xBE800000u);
    EXPECT_EQ(readLe32(b, 4), b.size() - 8);

    const std::vector<uint8_t> mono =
        makeWavBytes(layout(1, SampleFormat::Float32Extensible), std::vector<double>{0.0});
    EXPECT_EQ(readLe32(mono, 40), 4u); // front centre
}

TEST(WavWriter, ExtraChunksKeepEvenAlignment) {
    WavLayout l = layout(1, SampleFormat::Pcm16);
    l.chunksBeforeFmt.push_back({"JUNK", {1, 2, 3}});
    l.chunksBeforeData.push_back({"LIST", makeInfoListBody("Demo")});
    const std::vector<uint8_t> b = makeWavBytes(l, std::vector<double>{0.5});

    EXPECT_EQ(idAt(b, 12), "JUNK");
    EXPECT_EQ(readLe32(b, 16), 3u); // the size leaves the pad byte out
    EXPECT_EQ(slice(b, 20, 4), (std::vector<uint8_t>{1, 2, 3, 0}));
    EXPECT_EQ(idAt(b, 24), "fmt ");
    EXPECT_EQ(readLe16(b, 32), 1u);

    // LIST: "INFO", then INAM with "Demo\0" (5 bytes) and its pad byte: 4 + 8 + 5 + 1.
    EXPECT_EQ(idAt(b, 48), "LIST");
    EXPECT_EQ(readLe32(b, 52), 18u);
    EXPECT_EQ(idAt(b, 56), "INFO");
    EXPECT_EQ(idAt(b, 60), "INAM");
    EXPECT_EQ(readLe32(b, 64), 5u);
    EXPECT_EQ(slice(b, 68, 6), (std::vector<uint8_t>{'D', 'e', 'm', 'o', 0, 0}));
    EXPECT_EQ(idAt(b, 74), "data");
    EXPECT_EQ(readLe32(b, 78), 2u);
    EXPECT_EQ(readLe16Signed(b, 82), 16384);
    EXPECT_EQ(b.size(), 84u);
    EXPECT_EQ(readLe32(b, 4), 76u);
}

TEST(WavWriter, ExactIntegerSamples) {
    const std::vector<int32_t> pcm16 = {-1, 32767, -32768, 40000, -40000, 1};
    const std::vector<uint8_t> b16 = makeWavBytesFromInts(layout(2, SampleFormat::Pcm16), pcm16);
    expectPlainHeader(b16, 1, 2, 44100, 16, 12);
    const std::vector<int32_t> want16 = {-1, 32767, -32768, 32767, -32768, 1};
    for (size_t i = 0; i < want16.size(); ++i)
        EXPECT_EQ(readLe16Signed(b16, 44 + 2 * i), want16[i]) << "sample " << i;

    const std::vector<int32_t> pcm24 = {8388607, -8388608, 9000000, -2};
    const std::vector<uint8_t> b24 = makeWavBytesFromInts(layout(1, SampleFormat::Pcm24), pcm24);
    expectPlainHeader(b24, 1, 1, 44100, 24, 12);
    EXPECT_EQ(slice(b24, 44, 12), (std::vector<uint8_t>{0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80, 0xFF,
                                                        0xFF, 0x7F, 0xFE, 0xFF, 0xFF}));

    // Float formats take the raw bit pattern, so NaN and other exact bit patterns can be
    // written on purpose.
    const std::vector<int32_t> bits = {0x7FC00000, static_cast<int32_t>(0x80000001u)};
    const std::vector<uint8_t> bf = makeWavBytesFromInts(layout(1, SampleFormat::Float32), bits);
    EXPECT_EQ(readLe32(bf, 44), 0x7FC00000u);
    EXPECT_EQ(readLe32(bf, 48), 0x80000001u);
}

TEST(WavWriter, RejectsImpossibleLayouts) {
    const std::vector<double> three = {0.0, 0.0, 0.0};
    EXPECT_THROW(makeWavBytes(layout(0, SampleFormat::Pcm16), three), std::invalid_argument);
    EXPECT_THROW(makeWavBytes(layout(2, SampleFormat::Pcm16), three), std::invalid_argument);
    WavLayout badId = layout(1, SampleFormat::Pcm16);
    badId.chunksBeforeData.push_back({"ID3", {}});
    EXPECT_THROW(makeWavBytes(badId, three), std::invalid_argument);
}

TEST(WavWriter, EmptyFileHasOnlyTheHeader) {
    const std::vector<uint8_t> b = makeWavBytes(layout(2, SampleFormat::Pcm24), {});
    ASSERT_EQ(b.size(), 44u);
    expectPlainHeader(b, 1, 2, 44100, 24, 0);
    EXPECT_EQ(readLe32(b, 4), 36u);
}

TEST(WavWriter, WriteFileBytes) {
    TempDir dir;
    const std::vector<uint8_t> bytes =
        makeWavBytes(layout(1, SampleFormat::Pcm16), std::vector<double>{0.1, 0.2});
    ASSERT_TRUE(writeFileBytes(dir.file("a.wav"), bytes));
    EXPECT_EQ(readBytes(dir.file("a.wav")), bytes);
    EXPECT_FALSE(writeFileBytes(dir.file("missing/a.wav"), bytes));
}

} // namespace
