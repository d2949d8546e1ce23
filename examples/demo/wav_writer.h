// WAV writer for demo material and test inputs.
//
// Builds a complete RIFF/WAVE file in memory: "RIFF" header, optional extra chunks, the format
// chunk, more optional chunks, then the data chunk. Every number is written little-endian byte
// by byte, so the result is the same on any host. Samples come either as doubles with full
// scale -1..1 or as exact integers. Chunk bodies of odd size (the data chunk included) are
// followed by one zero pad byte, as RIFF requires; the size fields hold the unpadded sizes.
//
// Nothing is kept between calls.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

// Sample encoding of the data chunk.
enum class SampleFormat {
    Pcm16,            // format code 1, 2 bytes per sample
    Pcm24,            // format code 1, 3 bytes per sample
    Float32,          // format code 3, 4-byte IEEE float
    Float32Extensible // format code 0xFFFE with the IEEE float sub-format
};

// An extra chunk: four-character id and body (without the pad byte).
using WavChunk = std::pair<std::string, std::vector<uint8_t>>;

struct WavLayout {
    uint32_t rate = 44100;                     // sample rate in Hz, e.g. 44100
    int32_t channels = 2;                      // samples per frame, at least 1
    SampleFormat format = SampleFormat::Pcm16; // encoding of every sample
    std::vector<WavChunk> chunksBeforeFmt;     // written between "WAVE" and "fmt "
    std::vector<WavChunk> chunksBeforeData;    // written between "fmt " and "data"
    bool fmtExtensionSize = false;             // plain formats: add cbSize 0 (18-byte fmt),
                                               // as most tools write float files
};

// Bytes per sample of a format: 2, 3 or 4.
uint32_t bytesPerSample(SampleFormat format);

// WAV file with the given samples, interleaved frame by frame (left first).
// Integer formats: value × 32768 (16-bit) or × 8388608 (24-bit), rounded to nearest (halves
// away from zero) and clamped to the format's range; NaN becomes 0.
// Float formats: the value narrowed to a 32-bit float.
// Throws std::invalid_argument when channels < 1, the sample count is not a whole number of
// frames or a chunk id is not four characters; std::length_error when the file would not fit
// the 32-bit RIFF sizes.
std::vector<uint8_t> makeWavBytes(const WavLayout& layout, std::span<const double> interleaved);

// WAV file with exact integer samples, interleaved.
// Pcm16: the 16-bit value, Pcm24: the 24-bit value, each clamped to the format's range.
// Float formats: the int32 is the raw bit pattern of the float (so NaN, infinities and
// subnormals can be written on purpose).
// Throws as makeWavBytes.
std::vector<uint8_t> makeWavBytesFromInts(const WavLayout& layout,
                                          std::span<const int32_t> interleaved);

// Body of a LIST chunk of type INFO holding one INAM (title) entry; the title is stored
// zero-terminated and padded to even length. Use as { "LIST", makeInfoListBody("...") }.
std::vector<uint8_t> makeInfoListBody(const std::string& title);

// Writes the bytes to a file, replacing it. False when the file cannot be written completely.
bool writeFileBytes(const std::string& path, std::span<const uint8_t> bytes);
