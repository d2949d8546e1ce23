// Byte-level WAV building for tests that need files no writer would make:
// chunks with any size field, format bodies with any field values, files cut
// short. Every number is written little-endian byte by byte. For well-formed
// files use makeWavBytes (wav_writer.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wav_bytes {

using Bytes = std::vector<uint8_t>;

inline void put(Bytes& b, uint32_t v, int n) {
    for (int i = 0; i < n; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A chunk: id, size (the body's size unless `claimed` is given), body, and a
// pad byte after an odd-sized body unless `pad` is false.
inline Bytes chunk(const std::string& id, const Bytes& body, int64_t claimed = -1,
                   bool pad = true) {
    Bytes c(id.begin(), id.end());
    put(c, claimed >= 0 ? static_cast<uint32_t>(claimed) : static_cast<uint32_t>(body.size()), 4);
    c.insert(c.end(), body.begin(), body.end());
    if (pad && body.size() % 2 == 1) c.push_back(0);
    return c;
}

// The fields of a format chunk body. Byte rate and block align follow from
// the others unless set.
struct Fmt {
    uint16_t code = 1;
    uint16_t channels = 2;
    uint32_t rate = 44100;
    uint16_t bits = 16;
    int64_t byteRate = -1;
    int32_t blockAlign = -1;
    // Extensible format (code 0xFFFE): extension size and the sub-format
    // code (first two bytes of the GUID); -1 writes no extension.
    int32_t extensionSize = -1;
    uint16_t subFormat = 1;
    bool cbSizeZero = false; // plain formats: an 18-byte body with cbSize 0
};

inline Bytes fmtBody(const Fmt& f) {
    Bytes b;
    const uint32_t align = f.channels * f.bits / 8u;
    put(b, f.code, 2), put(b, f.channels, 2), put(b, f.rate, 4);
    put(b, f.byteRate >= 0 ? static_cast<uint32_t>(f.byteRate) : f.rate * align, 4);
    put(b, f.blockAlign >= 0 ? static_cast<uint32_t>(f.blockAlign) : align, 2);
    put(b, f.bits, 2);
    if (f.extensionSize >= 0) {
        put(b, static_cast<uint32_t>(f.extensionSize), 2), put(b, f.bits, 2), put(b, 3, 4);
        put(b, f.subFormat, 2);
        const uint8_t rest[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        b.insert(b.end(), rest, rest + 14);
    } else if (f.cbSizeZero) {
        put(b, 0, 2);
    }
    return b;
}

// "RIFF", size (the rest of the file unless given), "WAVE" and the chunks.
inline Bytes riff(const std::vector<Bytes>& chunks, int64_t claimed = -1,
                  const std::string& form = "WAVE", const std::string& id = "RIFF") {
    Bytes body(form.begin(), form.end());
    for (const Bytes& c : chunks)
        body = body + c;
    Bytes w(id.begin(), id.end());
    put(w, claimed >= 0 ? static_cast<uint32_t>(claimed) : static_cast<uint32_t>(body.size()), 4);
    return w + body;
}

// Little-endian 16-bit samples.
inline Bytes pcm16(const std::vector<int32_t>& samples) {
    Bytes b;
    for (int32_t s : samples)
        put(b, static_cast<uint32_t>(s), 2);
    return b;
}

} // namespace wav_bytes
