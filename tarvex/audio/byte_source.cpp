// Memory and file readers behind the WAV header parser.
#include "audio/byte_source.h"

#include <algorithm>
#include <cstring>
#include <sys/types.h>

namespace tarvex {

static_assert(sizeof(off_t) == 8, "large file offsets are needed for inputs over 2 GiB");

ByteSource::~ByteSource() = default;

int64_t MemoryByteSource::size() const {
    return static_cast<int64_t>(bytes_.size());
}

size_t MemoryByteSource::readAt(int64_t offset, uint8_t* dst, size_t n) {
    if (offset < 0 || offset >= size()) return 0;
    const size_t start = static_cast<size_t>(offset);
    const size_t count = std::min(n, bytes_.size() - start);
    if (count > 0) std::memcpy(dst, bytes_.data() + start, count);
    return count;
}

FileByteSource::FileByteSource(const std::string& path) {
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) return;
    // The length comes from the end position; with 64-bit off_t this holds
    // for files beyond 2 GiB on 32-bit systems too.
    if (fseeko(file_, 0, SEEK_END) != 0) {
        close();
        return;
    }
    const off_t end = ftello(file_);
    if (end < 0) {
        close();
        return;
    }
    size_ = static_cast<int64_t>(end);
}

FileByteSource::~FileByteSource() {
    close();
}

size_t FileByteSource::readAt(int64_t offset, uint8_t* dst, size_t n) {
    if (file_ == nullptr || offset < 0 || offset >= size_) return 0;
    if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) return 0;
    return std::fread(dst, 1, n, file_);
}

bool FileByteSource::close() {
    if (file_ == nullptr) return true;
    const int rc = std::fclose(file_);
    file_ = nullptr;
    size_ = 0;
    return rc == 0;
}

} // namespace tarvex
