#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace {

TEST(FileIo, ListDirectoryGivesSortedNames) {
    TempDir dir;
    EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{});
    writeText(dir.file("b.txt"), "");
    writeText(dir.file("a.wav"), "x");
    std::filesystem::create_directory(dir.path() / "sub");
    writeText(dir.file("sub/inner.txt"), "not listed");
    writeText(dir.file(".hidden"), "");
    EXPECT_EQ(listDirectory(dir.path()),
              (std::vector<std::string>{".hidden", "a.wav", "b.txt", "sub"}));
    EXPECT_THROW(listDirectory(dir.file("absent")), std::runtime_error);
}

TEST(FileIo, LittleEndianReaders) {
    const std::vector<uint8_t> b = {0x34, 0x12, 0xFF, 0xFF, 0x80, 0x00, 0x00, 0x80};
    EXPECT_EQ(readLe16(b, 0), 0x1234u);
    EXPECT_EQ(readLe32(b, 0), 0xFFFF1234u);
    EXPECT_EQ(readLe16Signed(b, 2), -1);
    EXPECT_EQ(readLe16Signed(b, 4), 128);
    EXPECT_EQ(readLe16Signed(b, 6), -32768);
    EXPECT_EQ(readLe24Signed(b, 1), -238); // 0xFFFF12
    EXPECT_EQ(readLe24Signed(b, 5), -8388608);
    EXPECT_EQ(readLe24Signed(b, 4), 128);
    EXPECT_THROW(readLe32(b, 5), std::out_of_range);
    EXPECT_THROW(readLe16(b, 7), std::out_of_range);
    EXPECT_THROW(readLe16(b, 100), std::out_of_range);
}

} // namespace
