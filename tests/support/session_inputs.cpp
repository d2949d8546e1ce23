#include "session_inputs.h"

#include <stdexcept>

#include "file_io.h"
#include "wav_writer.h"

void writeSessionInputs(const TempDir& dir, int32_t channels, uint32_t frames,
                        const std::string& prefs) {
    WavLayout mono;
    mono.channels = 1;
    std::string tracks = "begin\n";
    for (int32_t c = 1; c <= channels; ++c) {
        // A sawtooth with its own period per channel, well below full scale so sums stay clean.
        std::vector<int32_t> samples(frames);
        const uint32_t period = 40 + 7 * static_cast<uint32_t>(c);
        for (uint32_t i = 0; i < frames; ++i)
            samples[i] = static_cast<int32_t>((i % period) * 4000 / period) - 2000;
        const std::string name = "track" + std::to_string(c) + ".wav";
        if (!writeFileBytes(dir.file(name), makeWavBytesFromInts(mono, samples)))
            throw std::runtime_error("cannot write " + dir.file(name));
        tracks += std::to_string(c) + " " + name + " +\n";
    }
    writeText(dir.file("tracks.txt"), tracks + "end\n");
    writeText(dir.file("prefs.txt"), prefs);
}

std::vector<std::string> linesContaining(const std::string& text, const std::string& part) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (line.find(part) != std::string::npos) lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}
