// The whole-file reader: every byte up to the limit, or why there is no text.
// (Directories, named pipes and files far over the limit are run through the
// programs in the robustness tests.)
#include <gtest/gtest.h>

#include "common/file_text.h"
#include "test_support.h"

// Status, 'text', error number and size in one line.
std::string summary(const toolset::FileText& f) {
    static const char* const kStatuses[] = {"read",      "missing",  "unopenable",
                                            "directory", "tooLarge", "readError"};
    return std::string(kStatuses[static_cast<int>(f.status)]) + " '" + f.text + "' " +
           std::to_string(f.error) + " " + std::to_string(f.size);
}

TEST(FileText, ReadsUpToTheLimitOrSaysWhyNot) {
    using namespace std::string_literals;
    TempDir dir;
    writeText(dir.file("five"), "a\r\n\0\xff"s);
    const std::tuple<std::string, int64_t, std::string> cases[] = {
        {dir.file("five"), 5, "read 'a\r\n\0\xff' 0 0"s},
        {dir.file("five"), 4, "tooLarge '' 0 5"},
        {dir.file("five/x"), 5, "unopenable '' 20 0"}, // ENOTDIR
        {"/proc/self/status", 5, "tooLarge '' 0 -1"},  // a size found only while reading
    };
    for (const auto& [path, limit, expected] : cases)
        EXPECT_EQ(summary(toolset::readFileText(path, limit)), expected) << path;
}
