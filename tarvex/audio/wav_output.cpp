// WAV output: header bytes, header file and sample encoders.
#include "audio/wav_output.h"
#include "core/vector_clones.h"

#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "audio/byte_source.h"

namespace tarvex {

namespace {

// Header bytes that precede the data and are counted in the RIFF size.
constexpr int64_t kRiffOverhead = 36;
constexpr int64_t kMaxRiffSize = 0xFFFFFFFFLL;

void put16(uint8_t* p, int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    p[0] = static_cast<uint8_t>(u & 0xFFu);
    p[1] = static_cast<uint8_t>((u >> 8) & 0xFFu);
}

void put24(uint8_t* p, int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    p[0] = static_cast<uint8_t>(u & 0xFFu);
    p[1] = static_cast<uint8_t>((u >> 8) & 0xFFu);
    p[2] = static_cast<uint8_t>((u >> 16) & 0xFFu);
}

[[maybe_unused]] bool enoughFrames(size_t have, int32_t n) {
    return have >= static_cast<size_t>(n);
}

} // namespace

void makeHeaderBytes(std::span<uint8_t, 44> out, uint32_t rate, uint32_t bits, int32_t channels,
                     int32_t frames) {
    const uint64_t count = frames > 0 ? static_cast<uint64_t>(frames) : 0;
    const uint64_t chans = channels > 0 ? static_cast<uint64_t>(channels) : 0;
    const uint64_t dataSize = chans * (bits / 8) * count;
    const uint64_t byteRate = static_cast<uint64_t>(rate) * (bits / 8) * chans;
    const uint64_t blockAlign = (chans * bits) / 8;

    uint8_t* p = out.data();
    std::memcpy(p + 0, "RIFF", 4);
    writeLE32(p + 4, static_cast<uint32_t>(dataSize + kRiffOverhead));
    std::memcpy(p + 8, "WAVE", 4);
    std::memcpy(p + 12, "fmt ", 4);
    writeLE32(p + 16, 16);
    writeLE16(p + 20, 1);
    writeLE16(p + 22, static_cast<uint16_t>(chans));
    writeLE32(p + 24, rate);
    writeLE32(p + 28, static_cast<uint32_t>(byteRate));
    writeLE16(p + 32, static_cast<uint16_t>(blockAlign));
    writeLE16(p + 34, static_cast<uint16_t>(bits));
    std::memcpy(p + 36, "data", 4);
    writeLE32(p + 40, static_cast<uint32_t>(dataSize));
}

bool writeWavHeader(const std::string& path, uint32_t rate, uint32_t bits, int32_t channels,
                    int32_t frames) {
    uint8_t header[kWavHeaderBytes];
    makeHeaderBytes(std::span<uint8_t, 44>(header), rate, bits, channels, frames);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(header, 1, sizeof header, file) == sizeof header;
    const int savedErrno = errno;
    const bool closed = std::fclose(file) == 0;
    // A failed write is the first fault; keep its reason over the close's.
    if (!written) errno = savedErrno != 0 ? savedErrno : EIO;
    return written && closed;
}

bool dataSizeFits(int32_t channels, uint32_t bits, int64_t frames) {
    if (channels < 0 || frames < 0) return false;
    const uint64_t perFrame = static_cast<uint64_t>(channels) * (bits / 8);
    if (perFrame == 0) return true;
    return static_cast<uint64_t>(frames) <= (kMaxRiffSize - kRiffOverhead) / perFrame;
}

TARVEX_VECTOR_CLONES
void encodeStereo16(std::span<const int32_t> left, std::span<const int32_t> right,
                    std::span<uint8_t> out, int32_t n) {
    if (n < 1) return;
    assert(enoughFrames(left.size(), n) && enoughFrames(right.size(), n));
    assert(out.size() >= static_cast<size_t>(n) * 4);
    uint8_t* p = out.data();
    for (int32_t i = 0; i < n; ++i, p += 4) {
        put16(p, left[i]);
        put16(p + 2, right[i]);
    }
}

TARVEX_VECTOR_CLONES
void encodeStereo24(std::span<const int32_t> left, std::span<const int32_t> right,
                    std::span<uint8_t> out, int32_t n) {
    if (n < 1) return;
    assert(enoughFrames(left.size(), n) && enoughFrames(right.size(), n));
    assert(out.size() >= static_cast<size_t>(n) * 6);
    uint8_t* p = out.data();
    for (int32_t i = 0; i < n; ++i, p += 6) {
        put24(p, left[i]);
        put24(p + 3, right[i]);
    }
}

TARVEX_VECTOR_CLONES
void encodeMono16(std::span<const int32_t> in, std::span<uint8_t> out, int32_t n) {
    if (n < 1) return;
    assert(enoughFrames(in.size(), n));
    assert(out.size() >= static_cast<size_t>(n) * 2);
    uint8_t* p = out.data();
    for (int32_t i = 0; i < n; ++i, p += 2)
        put16(p, in[i]);
}

TARVEX_VECTOR_CLONES
void encodeMono24(std::span<const int32_t> in, std::span<uint8_t> out, int32_t n) {
    if (n < 1) return;
    assert(enoughFrames(in.size(), n));
    assert(out.size() >= static_cast<size_t>(n) * 3);
    uint8_t* p = out.data();
    for (int32_t i = 0; i < n; ++i, p += 3)
        put24(p, in[i]);
}

} // namespace tarvex
