// Whole-file reads and writes for tests, and little-endian field readers for checking WAV
// bytes. The file functions throw std::runtime_error when the file cannot be read or written,
// so a missing output shows up as a test failure with the path in the message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

std::string readText(const std::string& path);
std::vector<uint8_t> readBytes(const std::string& path);
void writeText(const std::string& path, const std::string& text);

// Names of the entries of a directory (files and subdirectories, without "." and ".."), sorted,
// so a test can check that a program left nothing behind. Throws std::runtime_error when the
// directory cannot be read.
std::vector<std::string> listDirectory(const std::string& path);

// Little-endian numbers at a byte offset; throw std::out_of_range when the bytes run out.
uint16_t readLe16(std::span<const uint8_t> bytes, size_t offset);
uint32_t readLe32(std::span<const uint8_t> bytes, size_t offset);
int32_t readLe16Signed(std::span<const uint8_t> bytes, size_t offset);
int32_t readLe24Signed(std::span<const uint8_t> bytes, size_t offset);
