// A session folder for end-to-end runs of the built tarvex, and readers for
// the files it writes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace tarvex_test {

// Pan law 0 puts mono channels on both sides at full level.
inline const char* const kQuietPrefs = "begin\nverbo\t1\ndither\t0\noutbits\t16\npan\t0\nend\n";

// A fader file that holds every channel at 0 dB from the start.
inline std::string unityFaders(const std::string& mix, int channels,
                               const std::string& extra = "") {
    std::string text = "begin\n" + mix + "\n" + extra + "t\t0\t0\t0\n";
    for (int c = 1; c <= channels; ++c)
        text += "v\t" + std::to_string(c) + "\t0\n";
    return text + "end\n";
}

struct Wav {
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint16_t bits = 0;
    uint32_t riffSize = 0;
    uint32_t dataSize = 0;
    std::vector<int32_t> samples; // interleaved
};

// Reads a mix file as this program writes it: a 44-byte header, then PCM.
inline Wav readMix(const std::string& path) {
    const std::vector<uint8_t> bytes = readBytes(path);
    Wav w;
    if (bytes.size() < 44) return w;
    w.riffSize = readLe32(bytes, 4);
    w.channels = readLe16(bytes, 22);
    w.rate = readLe32(bytes, 24);
    w.bits = readLe16(bytes, 34);
    w.dataSize = readLe32(bytes, 40);
    const std::size_t step = w.bits / 8;
    for (std::size_t at = 44; at + step <= bytes.size(); at += step)
        w.samples.push_back(step == 2 ? readLe16Signed(bytes, at) : readLe24Signed(bytes, at));
    return w;
}

// Deterministic test signal in 16-bit steps.
inline std::vector<int32_t> noise(std::size_t n, uint32_t seed, int32_t amplitude) {
    std::vector<int32_t> v(n);
    for (auto& x : v) {
        seed = seed * 1664525u + 1013904223u;
        x = static_cast<int32_t>((seed >> 8) % static_cast<uint32_t>(2 * amplitude + 1)) -
            amplitude;
    }
    return v;
}

class Session {
  public:
    void text(const std::string& name, const std::string& body) { writeText(dir.file(name), body); }
    void wav(const std::string& name, const WavLayout& layout, const std::vector<int32_t>& ints) {
        ASSERT_TRUE(writeFileBytes(dir.file(name), makeWavBytesFromInts(layout, ints)));
    }
    void wavFloat(const std::string& name, const WavLayout& layout, const std::vector<double>& v) {
        ASSERT_TRUE(writeFileBytes(dir.file(name), makeWavBytes(layout, v)));
    }
    RunResult run(const std::vector<std::string>& args = {}, const std::string& input = "") {
        return runProgram(TARVEX_EXE, args, dir.path().string(), input);
    }
    // With standard error apart, in `err`.
    RunResult runApart(const std::vector<std::string>& args = {}) {
        ::RunOptions options;
        options.separateStderr = true;
        return runProgram(TARVEX_EXE, args, dir.path().string(), options);
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(dir.file(name)); }
    std::string file(const std::string& name) const { return dir.file(name); }
    TempDir dir;
};

inline WavLayout layout(int32_t channels, SampleFormat format, uint32_t rate = 44100) {
    WavLayout l;
    l.channels = channels;
    l.format = format;
    l.rate = rate;
    return l;
}

} // namespace tarvex_test
