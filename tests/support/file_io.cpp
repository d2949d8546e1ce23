#include "file_io.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "common/file_text.h"

std::string readText(const std::string& path) {
    toolset::FileText file = toolset::readFileText(path, toolset::kNoSizeLimit);
    if (file.status != toolset::FileText::Status::read) throw std::runtime_error("no file " + path);
    return std::move(file.text);
}

std::vector<uint8_t> readBytes(const std::string& path) {
    const std::string text = readText(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot create " + path);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<std::string> listDirectory(const std::string& path) {
    std::error_code ec;
    std::vector<std::string> names;
    for (std::filesystem::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    if (ec) throw std::runtime_error("cannot list " + path + ": " + ec.message());
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

void need(std::span<const uint8_t> bytes, size_t offset, size_t count) {
    if (offset > bytes.size() || bytes.size() - offset < count)
        throw std::out_of_range("read of " + std::to_string(count) + " bytes at offset " +
                                std::to_string(offset) + " past the end (" +
                                std::to_string(bytes.size()) + " bytes)");
}

} // namespace

uint16_t readLe16(std::span<const uint8_t> bytes, size_t offset) {
    need(bytes, offset, 2);
    return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

uint32_t readLe32(std::span<const uint8_t> bytes, size_t offset) {
    need(bytes, offset, 4);
    return uint32_t{bytes[offset]} | (uint32_t{bytes[offset + 1]} << 8) |
           (uint32_t{bytes[offset + 2]} << 16) | (uint32_t{bytes[offset + 3]} << 24);
}

int32_t readLe16Signed(std::span<const uint8_t> bytes, size_t offset) {
    const int32_t v = readLe16(bytes, offset);
    return v >= 0x8000 ? v - 0x10000 : v;
}

int32_t readLe24Signed(std::span<const uint8_t> bytes, size_t offset) {
    need(bytes, offset, 3);
    const int32_t v =
        static_cast<int32_t>(uint32_t{bytes[offset]} | (uint32_t{bytes[offset + 1]} << 8) |
                             (uint32_t{bytes[offset + 2]} << 16));
    return v >= 0x800000 ? v - 0x1000000 : v;
}
