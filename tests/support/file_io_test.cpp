#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// The tests that no stray file is left behind rely on hidden files being listed.
TEST(FileIo, ListDirectoryGivesSortedNamesHiddenOnesToo) {
    TempDir dir;
    writeText(dir.file("b.txt"), "");
    writeText(dir.file("a.wav"), "x");
    std::filesystem::create_directory(dir.path() / "sub");
    writeText(dir.file("sub/inner.txt"), "not listed");
    writeText(dir.file(".hidden"), "");
    EXPECT_EQ(listDirectory(dir.path()),
              (std::vector<std::string>{".hidden", "a.wav", "b.txt", "sub"}));
}

} // namespace
