// Every stored fuzz input (the seed corpus and every input that once crashed,
// hung or leaked) replayed through the entry functions of the fuzz targets,
// so the normal and the sanitizer builds keep them mended.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_entries.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

using Entry = int (*)(const uint8_t*, size_t);

struct Target {
    const char* name;
    Entry entry;
};

const Target kTargets[] = {
    {"wav_input", fuzz_entry::wavInput},
    {"track_list", fuzz_entry::trackList},
    {"preferences", fuzz_entry::preferences},
    {"fader_file", fuzz_entry::faderFile},
    {"velmont_answers", fuzz_entry::velmontAnswers},
    {"quorrin_loader", fuzz_entry::quorrinLoader},
};

std::vector<fs::path> storedInputs(const std::string& target) {
    std::vector<fs::path> files;
    for (const char* kind : {"corpus", "regressions"}) {
        const fs::path dir = fs::path(FUZZ_INPUT_DIR) / kind / target;
        if (!fs::is_directory(dir)) continue;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.is_regular_file() && e.path().filename().string()[0] != '.')
                files.push_back(e.path());
    }
    return files;
}

class FuzzReplay : public testing::TestWithParam<Target> {};

TEST_P(FuzzReplay, EveryStoredInputIsHandled) {
    const Target& t = GetParam();
    const std::vector<fs::path> files = storedInputs(t.name);
    ASSERT_FALSE(files.empty()) << "no seed inputs for " << t.name;
    for (const fs::path& file : files) {
        const std::vector<uint8_t> bytes = readBytes(file.string());
        const auto started = std::chrono::steady_clock::now();
        testing::internal::CaptureStdout();
        const int fault = t.entry(bytes.data(), bytes.size());
        testing::internal::GetCapturedStdout();
        const auto took = std::chrono::steady_clock::now() - started;
        EXPECT_EQ(fault, 0) << file;
        // The fuzzers count 10 s as a hang; a stored input must stay far below.
        EXPECT_LT(took, std::chrono::seconds(5)) << file;
    }
}

INSTANTIATE_TEST_SUITE_P(Stored, FuzzReplay, testing::ValuesIn(kTargets),
                         [](const testing::TestParamInfo<Target>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
