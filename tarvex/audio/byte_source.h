// Byte-level access to WAV files.
//
// Header code reads through `ByteSource`, so the same parser runs on a buffer
// in memory (tests) and on a file on disk (the run). Offsets and sizes are
// 64-bit throughout: an input of more than 2 GiB must read correctly on a
// 32-bit board. The little-endian helpers below are the only place where
// multi-byte numbers are assembled from or spread into bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace tarvex {

// Random-access reader of a fixed sequence of bytes.
class ByteSource {
  public:
    virtual ~ByteSource();
    // Length of the whole source in bytes.
    virtual int64_t size() const = 0;
    // Copies up to n bytes starting at offset into dst and returns how many
    // were copied: fewer than n at the end of the source, 0 when the offset
    // lies outside it.
    virtual size_t readAt(int64_t offset, uint8_t* dst, size_t n) = 0;
};

// A source over bytes already in memory; the bytes must outlive the source.
class MemoryByteSource : public ByteSource {
  public:
    explicit MemoryByteSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    int64_t size() const override;
    size_t readAt(int64_t offset, uint8_t* dst, size_t n) override;

  private:
    std::span<const uint8_t> bytes_;
};

// A source over a file opened for reading as bytes; the file is closed by
// close() or by the destructor.
class FileByteSource : public ByteSource {
  public:
    explicit FileByteSource(const std::string& path);
    ~FileByteSource() override;
    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;

    // True when the file could be opened and its length measured.
    bool isOpen() const { return file_ != nullptr; }
    int64_t size() const override { return size_; }
    size_t readAt(int64_t offset, uint8_t* dst, size_t n) override;
    // Closes the file; false when the close failed (errno holds the reason).
    bool close();

  private:
    std::FILE* file_ = nullptr;
    int64_t size_ = 0;
};

// Little-endian unsigned numbers from bytes.
inline uint16_t readLE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t readLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Little-endian unsigned numbers into bytes.
inline void writeLE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v & 0xFFu);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void writeLE32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v & 0xFFu);
    p[1] = static_cast<uint8_t>((v >> 8) & 0xFFu);
    p[2] = static_cast<uint8_t>((v >> 16) & 0xFFu);
    p[3] = static_cast<uint8_t>(v >> 24);
}

} // namespace tarvex
