// WAV input headers.
//
// Before mixing, the header of every input file whose channel is on is read
// once; the facts recorded here let the mix loop find and decode the samples
// later. Accepted are 16-bit and 24-bit integer PCM and 32-bit IEEE float
// (format code 3, or the extensible format with the float sub-format), mono
// or stereo. The "fmt " and "data" chunks are found by walking the RIFF chunk
// list; when chunk sizes are broken, a search of even byte positions takes
// over from the first chunk the walk could not trust.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "audio/byte_source.h"

namespace tarvex {

// What the mix loop needs to know about one input file.
struct WavFacts {
    int32_t channels = 0;   // channels in the file: 1 mono, 2 stereo (e.g. 2)
    int64_t dataOffset = 0; // byte position of the first sample, just after the data size (e.g. 44)
    uint32_t rate = 0;      // sample rate in Hz (e.g. 48000)
    int64_t frames = 0;     // whole frames present in the file (e.g. 480000 for 10 s at 48 kHz)
    int32_t bytesPerSample = 0; // bytes in one sample of one channel: 2, 3 or 4 (e.g. 3)
    int32_t bitsPerSample = 0;  // bits in one sample: 16, 24 or 32 (e.g. 24)
    std::string refusal;        // why a file cannot be mixed (e.g. "3 channels"), else empty
};

// Reads the header of the WAV file held by src; path only names the file in
// messages. Returns 1 and fills out when the file can be mixed, else prints
// why and returns 0 (out must then not be used).
int readWavAttributes(ByteSource& src, const std::string& path, WavFacts& out);

// Opens the file at path, reads its header and, when it is accepted, writes
// entry `channel` of each array. Returns 1 when accepted, 0 otherwise (the
// arrays are then left as they were, and `refusal`, when given, says why).
int readWavFacts(int channel, const std::string& path, std::span<int32_t> channels,
                 std::span<int64_t> dataOffset, std::span<uint32_t> rate, std::span<int64_t> frames,
                 std::span<int32_t> bytesPerSample, std::span<int32_t> bitsPerSample,
                 std::string* refusal = nullptr);

} // namespace tarvex
