// WAV input headers: chunk location, format checks and the frame count.
//
// The chunk walk starts at byte 12 (after "RIFF", the RIFF size and "WAVE")
// and steps over whole chunks: 4-byte id, 4-byte little-endian size, body,
// and one pad byte after an odd-sized body. Because it steps over bodies, the
// text "data" inside a metadata chunk (LIST, bext, iXML, JUNK ...) is never
// mistaken for the data chunk, however large the metadata is. Files written
// with broken chunk sizes stop the walk; the even-position search then looks
// for whatever is still missing, starting where the walk stopped trusting
// the file.
#include "audio/wav_input.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "core/console.h"

namespace tarvex {

namespace {

// Last byte position probed by the fallback search when it starts at the
// beginning of the file; the search always covers this many bytes.
constexpr int64_t kSearchLimit = 131072;
// Size of the RIFF preamble: "RIFF", its size and "WAVE".
constexpr int64_t kFirstChunk = 12;
// Format codes.
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// A data size of all ones is written by recorders that never went back to
// fill it in (and by writers of files over 4 GiB): the samples run to the end.
constexpr uint32_t kSizeUnknown = 0xFFFFFFFFu;

// Where the two chunks were found; -1 when not found.
struct ChunkPlaces {
    int64_t fmtPos = -1;  // position of the "fmt " id
    int64_t fmtSize = -1; // body size of the format chunk when the walk vouched for it
    int64_t dataPos = -1; // position of the "data" id
    int64_t trusted = 2;  // first position the walk could not vouch for
};

bool printableId(const uint8_t* id) {
    for (int i = 0; i < 4; ++i) {
        if (id[i] < 0x20 || id[i] > 0x7E) return false;
    }
    return true;
}

// True when a chunk header (printable id and size) starts at pos.
bool idAt(ByteSource& src, int64_t pos) {
    uint8_t head[8];
    return src.readAt(pos, head, 8) == 8 && printableId(head);
}

void walkChunks(ByteSource& src, ChunkPlaces& places) {
    const int64_t length = src.size();
    int64_t pos = kFirstChunk;
    while (pos + 8 <= length) {
        uint8_t head[8];
        if (src.readAt(pos, head, 8) != 8 || !printableId(head)) return;
        const int64_t size = readLE32(head + 4);
        const int64_t body = pos + 8;
        const bool fits = size <= length - body;
        if (places.dataPos < 0 && std::memcmp(head, "data", 4) == 0) {
            // A data chunk may claim more than the file holds; its frames
            // are clamped later, so it is taken even when it runs past the end.
            places.dataPos = pos;
        } else if (fits && places.fmtPos < 0 && std::memcmp(head, "fmt ", 4) == 0) {
            places.fmtPos = pos;
            places.fmtSize = size;
        }
        if (places.fmtPos >= 0 && places.dataPos >= 0) return;
        if (!fits) return;
        pos = body + size + (size & 1);
        // Some writers leave out the pad byte after an odd-sized chunk: when
        // no chunk id follows the pad but one starts right after the body,
        // the walk goes on from there.
        if ((size & 1) != 0 && !idAt(src, pos) && idAt(src, pos - 1)) --pos;
        places.trusted = pos;
    }
}

// The even-position search: returns the first even position at or after
// `from` where `id` starts, or -1.
int64_t searchEven(ByteSource& src, int64_t from, const char* id, size_t idLength) {
    const int64_t first = std::max<int64_t>(2, from + (from & 1));
    const int64_t last = std::max(kSearchLimit, first + kSearchLimit - 2);
    const int64_t end = std::min(src.size(), last + static_cast<int64_t>(idLength));
    if (end - first < static_cast<int64_t>(idLength)) return -1;
    std::vector<uint8_t> window(static_cast<size_t>(end - first));
    const size_t got = src.readAt(first, window.data(), window.size());
    for (size_t i = 0; i + idLength <= got; i += 2) {
        if (std::memcmp(window.data() + i, id, idLength) == 0) {
            return first + static_cast<int64_t>(i);
        }
    }
    return -1;
}

// Reads a little-endian field of 2 or 4 bytes; false when the file ends first.
bool readField16(ByteSource& src, int64_t at, uint16_t& value) {
    uint8_t b[2];
    if (src.readAt(at, b, 2) != 2) return false;
    value = readLE16(b);
    return true;
}
bool readField32(ByteSource& src, int64_t at, uint32_t& value) {
    uint8_t b[4];
    if (src.readAt(at, b, 4) != 4) return false;
    value = readLE32(b);
    return true;
}

} // namespace

int readWavAttributes(ByteSource& src, const std::string& path, WavFacts& out) {
    const char* name = path.c_str();
    const int64_t length = src.size();

    ChunkPlaces places;
    walkChunks(src, places);
    if (places.fmtPos < 0) places.fmtPos = searchEven(src, places.trusted, "fmt", 3);
    if (places.fmtPos < 0) {
        warn("Can't find format chunk in wave file!");
        out.refusal = "no format chunk";
        return 0;
    }

    // Format chunk: code at +8, channels +10, rate +12, bits +22; the fields
    // of the extensible format follow at +24 (extension size) and +32
    // (sub-format, whose first two bytes are the real format code).
    const int64_t p = places.fmtPos;
    const int64_t bodyEnd = places.fmtSize >= 0 ? p + 8 + places.fmtSize : length;
    uint16_t code = 0, channels = 0, bits = 0;
    uint32_t rate = 0;
    if (bodyEnd < p + 24 || !readField16(src, p + 8, code) || !readField16(src, p + 10, channels) ||
        !readField32(src, p + 12, rate) || !readField16(src, p + 22, bits)) {
        warn("%s has a format chunk too short to read and cannot be used\n", name);
        out.refusal = "a format chunk too short to read";
        return 0;
    }
    uint16_t extensionSize = 0, subFormat = 0;
    if (code == kFormatExtensible && bodyEnd >= p + 34 && readField16(src, p + 24, extensionSize) &&
        extensionSize >= 22 && readField16(src, p + 32, subFormat)) {
        code = subFormat;
    }

    if (bits == 32 && code != kFormatFloat) {
        warn("\n%s is not a 32 bit floating point format\n", name);
        out.refusal = "32-bit samples that are not floating point";
        return 0;
    }
    if (bits != 16 && bits != 24 && bits != 32) {
        warn("%s is not a 32 float, 24 bit pcm, or 16 bit pcm file and cannot be used\n", name);
        out.refusal = std::to_string(bits) + "-bit samples (16, 24 and 32-bit float can be used)";
        return 0;
    }
    if (channels != 1 && channels != 2) {
        warn("%s has %d channels; only mono and stereo files can be used\n", name,
             static_cast<int>(channels));
        out.refusal = std::to_string(channels) + " channels (mono and stereo can be used)";
        return 0;
    }
    if (rate == 0) {
        warn("%s has a sample rate of 0 and cannot be used\n", name);
        out.refusal = "a sample rate of 0";
        return 0;
    }
    const int32_t bytesPerSample = bits / 8;
    const int64_t blockSize = static_cast<int64_t>(channels) * bytesPerSample;

    if (places.dataPos < 0) places.dataPos = searchEven(src, places.trusted, "data", 4);
    if (places.dataPos < 0) {
        warn("Cannot find data block in file %s!\n", name);
        out.refusal = "no data chunk";
        return 0;
    }
    const int64_t dataOffset = places.dataPos + 8;
    uint32_t dataSize = 0;
    if (!readField32(src, places.dataPos + 4, dataSize)) dataSize = 0;

    // Only whole frames that are really in the file are played: a header may
    // claim more than a short or unfinished file holds.
    const int64_t present = std::max<int64_t>(0, length - dataOffset) / blockSize;
    int64_t frames = dataSize / blockSize;
    if (dataSize == kSizeUnknown || present < frames) frames = present;
    if (frames == 0) warn("%s has no audio in its data chunk; the channel stays silent\n", name);

    out.channels = channels;
    out.dataOffset = dataOffset;
    out.rate = rate;
    out.frames = frames;
    out.bytesPerSample = bytesPerSample;
    out.bitsPerSample = bits;
    return 1;
}

int readWavFacts(int channel, const std::string& path, std::span<int32_t> channels,
                 std::span<int64_t> dataOffset, std::span<uint32_t> rate, std::span<int64_t> frames,
                 std::span<int32_t> bytesPerSample, std::span<int32_t> bitsPerSample,
                 std::string* refusal) {
    const size_t slot = static_cast<size_t>(channel);
    const bool inRange = channel >= 0 && slot < channels.size() && slot < dataOffset.size() &&
                         slot < rate.size() && slot < frames.size() &&
                         slot < bytesPerSample.size() && slot < bitsPerSample.size();
    assert(inRange && "channel outside the per-channel tables");
    if (!inRange) return 0;

    FileByteSource file(path);
    if (!file.isOpen()) {
        const int error = errno;
        warn("Cannot find file in track list called %s!!\n", path.c_str());
        if (refusal != nullptr) *refusal = std::strerror(error);
        return 0;
    }
    WavFacts facts;
    const int accepted = readWavAttributes(file, path, facts);
    file.close();
    if (!accepted) {
        if (refusal != nullptr) *refusal = facts.refusal;
        return 0;
    }

    channels[slot] = facts.channels;
    dataOffset[slot] = facts.dataOffset;
    rate[slot] = facts.rate;
    frames[slot] = facts.frames;
    bytesPerSample[slot] = facts.bytesPerSample;
    bitsPerSample[slot] = facts.bitsPerSample;
    return 1;
}

} // namespace tarvex
