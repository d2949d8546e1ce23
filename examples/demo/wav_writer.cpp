// WAV writer: header assembly and sample encoding. See wav_writer.h for the conventions.
#include "wav_writer.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr uint32_t kPlainFmtSize = 16;      // code, channels, rate, byte rate, align, bits
constexpr uint32_t kExtensibleFmtSize = 40; // plain fields + cbSize and its 22 bytes
constexpr uint16_t kExtensibleExtraSize = 22;

// KSDATAFORMAT_SUBTYPE_IEEE_FLOAT, 00000003-0000-0010-8000-00aa00389b71, in file byte order.
constexpr uint8_t kIeeeFloatGuid[16] = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                        0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Full scale of the integer formats: a double sample of 1.0 maps to these values.
constexpr double kPcm16FullScale = 32768.0;
constexpr double kPcm24FullScale = 8388608.0;
constexpr int32_t kPcm16Min = -32768;
constexpr int32_t kPcm16Max = 32767;
constexpr int32_t kPcm24Min = -8388608;
constexpr int32_t kPcm24Max = 8388607;

void putLe16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFFu));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFFu));
}

void putLe24(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFFu));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFFu));
    out.push_back(static_cast<uint8_t>((v >> 16) & 0xFFu));
}

void putLe32(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFFu));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFFu));
    out.push_back(static_cast<uint8_t>((v >> 16) & 0xFFu));
    out.push_back(static_cast<uint8_t>((v >> 24) & 0xFFu));
}

void putId(std::vector<uint8_t>& out, const std::string& id) {
    if (id.size() != 4) throw std::invalid_argument("WAV chunk id must have four characters");
    for (char c : id)
        out.push_back(static_cast<uint8_t>(c));
}

uint32_t checkedSize(uint64_t size) {
    if (size > std::numeric_limits<uint32_t>::max())
        throw std::length_error("WAV chunk too large for 32-bit sizes");
    return static_cast<uint32_t>(size);
}

void putChunk(std::vector<uint8_t>& out, const std::string& id, std::span<const uint8_t> body) {
    putId(out, id);
    putLe32(out, checkedSize(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2 != 0) out.push_back(0);
}

int32_t clampInt(int64_t v, int32_t lo, int32_t hi) {
    if (v < lo) return lo;
    if (v > hi) return hi;
    return static_cast<int32_t>(v);
}

// Scales, rounds half away from zero and clamps; the clamp happens in double so that huge
// values and infinities never reach an integer conversion.
int32_t quantise(double v, double fullScale, int32_t lo, int32_t hi) {
    if (std::isnan(v)) return 0;
    const double scaled = std::round(v * fullScale);
    if (scaled <= static_cast<double>(lo)) return lo;
    if (scaled >= static_cast<double>(hi)) return hi;
    return static_cast<int32_t>(scaled);
}

void checkShape(const WavLayout& layout, size_t sampleCount) {
    if (layout.channels < 1) throw std::invalid_argument("WAV channel count must be at least 1");
    if (sampleCount % static_cast<size_t>(layout.channels) != 0)
        throw std::invalid_argument("WAV sample count is not a whole number of frames");
}

uint32_t channelMask(int32_t channels) {
    if (channels == 1) return 0x4; // front centre
    if (channels >= 32) return 0xFFFFFFFFu;
    return (uint32_t{1} << channels) - 1u; // front left, front right, ... in order
}

std::vector<uint8_t> fmtBody(const WavLayout& layout) {
    const uint32_t bytes = bytesPerSample(layout.format);
    const uint32_t channels = static_cast<uint32_t>(layout.channels);
    const uint16_t bits = static_cast<uint16_t>(bytes * 8);
    const uint64_t blockAlign = uint64_t{bytes} * channels;
    if (blockAlign > std::numeric_limits<uint16_t>::max())
        throw std::invalid_argument("WAV channel count too large");

    uint16_t code = kFormatPcm;
    if (layout.format == SampleFormat::Float32) code = kFormatFloat;
    if (layout.format == SampleFormat::Float32Extensible) code = kFormatExtensible;

    std::vector<uint8_t> body;
    putLe16(body, code);
    putLe16(body, static_cast<uint16_t>(channels));
    putLe32(body, layout.rate);
    putLe32(body, checkedSize(uint64_t{layout.rate} * blockAlign));
    putLe16(body, static_cast<uint16_t>(blockAlign));
    putLe16(body, bits);
    if (layout.format == SampleFormat::Float32Extensible) {
        putLe16(body, kExtensibleExtraSize);
        putLe16(body, bits); // valid bits per sample
        putLe32(body, channelMask(layout.channels));
        body.insert(body.end(), std::begin(kIeeeFloatGuid), std::end(kIeeeFloatGuid));
    } else if (layout.fmtExtensionSize) {
        putLe16(body, 0);
    }
    return body;
}

std::vector<uint8_t> assemble(const WavLayout& layout, std::span<const uint8_t> data) {
    std::vector<uint8_t> out;
    out.reserve(data.size() + 256);
    putId(out, "RIFF");
    putLe32(out, 0); // patched below
    putId(out, "WAVE");
    for (const auto& [id, body] : layout.chunksBeforeFmt)
        putChunk(out, id, body);
    const std::vector<uint8_t> fmt = fmtBody(layout);
    putChunk(out, "fmt ", fmt);
    for (const auto& [id, body] : layout.chunksBeforeData)
        putChunk(out, id, body);
    putChunk(out, "data", data);

    const uint32_t riffSize = checkedSize(uint64_t{out.size()} - 8);
    for (size_t i = 0; i < 4; ++i)
        out[4 + i] = static_cast<uint8_t>((riffSize >> (8 * i)) & 0xFFu);
    return out;
}

} // namespace

uint32_t bytesPerSample(SampleFormat format) {
    switch (format) {
    case SampleFormat::Pcm16:
        return 2;
    case SampleFormat::Pcm24:
        return 3;
    case SampleFormat::Float32:
    case SampleFormat::Float32Extensible:
        return 4;
    }
    return 4;
}

std::vector<uint8_t> makeWavBytes(const WavLayout& layout, std::span<const double> interleaved) {
    checkShape(layout, interleaved.size());
    std::vector<uint8_t> data;
    data.reserve(interleaved.size() * bytesPerSample(layout.format));
    for (double v : interleaved) {
        switch (layout.format) {
        case SampleFormat::Pcm16:
            putLe16(data, static_cast<uint16_t>(quantise(v, kPcm16FullScale, kPcm16Min, kPcm16Max) &
                                                0xFFFF));
            break;
        case SampleFormat::Pcm24:
            putLe24(data,
                    static_cast<uint32_t>(quantise(v, kPcm24FullScale, kPcm24Min, kPcm24Max)));
            break;
        case SampleFormat::Float32:
        case SampleFormat::Float32Extensible:
            putLe32(data, std::bit_cast<uint32_t>(static_cast<float>(v)));
            break;
        }
    }
    return assemble(layout, data);
}

std::vector<uint8_t> makeWavBytesFromInts(const WavLayout& layout,
                                          std::span<const int32_t> interleaved) {
    checkShape(layout, interleaved.size());
    std::vector<uint8_t> data;
    data.reserve(interleaved.size() * bytesPerSample(layout.format));
    for (int32_t v : interleaved) {
        switch (layout.format) {
        case SampleFormat::Pcm16:
            putLe16(data, static_cast<uint16_t>(clampInt(v, kPcm16Min, kPcm16Max) & 0xFFFF));
            break;
        case SampleFormat::Pcm24:
            putLe24(data, static_cast<uint32_t>(clampInt(v, kPcm24Min, kPcm24Max)));
            break;
        case SampleFormat::Float32:
        case SampleFormat::Float32Extensible:
            putLe32(data, static_cast<uint32_t>(v));
            break;
        }
    }
    return assemble(layout, data);
}

std::vector<uint8_t> makeInfoListBody(const std::string& title) {
    std::vector<uint8_t> text(title.begin(), title.end());
    text.push_back(0); // INFO strings are zero-terminated
    std::vector<uint8_t> body;
    putId(body, "INFO");
    putChunk(body, "INAM", text);
    return body;
}

bool writeFileBytes(const std::string& path, std::span<const uint8_t> bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), f);
    const bool closed = std::fclose(f) == 0;
    return written == bytes.size() && closed;
}
