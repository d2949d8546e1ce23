#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace {

TEST(FileIo, TextAndBytesRoundTripUnchanged) {
    TempDir dir;
    const std::string text("line\r\nzero\0byte\xff\n", 17);
    writeText(dir.file("t.txt"), text);
    EXPECT_EQ(readText(dir.file("t.txt")), text);
    const std::vector<uint8_t> bytes = readBytes(dir.file("t.txt"));
    ASSERT_EQ(bytes.size(), text.size());
    EXPECT_EQ(bytes[10], 0u);
    EXPECT_EQ(bytes[15], 0xFFu);

    writeText(dir.file("t.txt"), "short");
    EXPECT_EQ(readText(dir.file("t.txt")), "short"); // replaced, not appended
}

TEST(FileIo, MissingFilesThrow) {
    TempDir dir;
    EXPECT_THROW(readText(dir.file("absent.txt")), std::runtime_error);
    EXPECT_THROW(readBytes(dir.file("absent.wav")), std::runtime_error);
    EXPECT_THROW(writeText(dir.file("no/such/dir.txt"), "x"), std::runtime_error);
}

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
