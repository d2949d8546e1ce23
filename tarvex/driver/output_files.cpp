// Whole-or-nothing creation of the files tarvex makes for the user, and the
// staged outputs of a render. POSIX calls are
// used directly: the standard streams cannot create a file exclusively.
#include "driver/output_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/staged_file.h"
#include "core/console.h"

namespace tarvex {

namespace {

// Attempts at finding an unused temporary name before giving up.
constexpr int kTempNameAttempts = 100;
// The mix and tap headers; the data size is the last field.
constexpr off_t kHeaderBytes = 44;

// True when the file holds every data byte its 44-byte header claims, as a
// mix that was closed before a later output failed does.
bool holdsItsData(const std::string& path, off_t size) {
    if (size < kHeaderBytes) return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    unsigned char header[kHeaderBytes];
    const bool read = std::fread(header, 1, sizeof header, f) == sizeof header;
    std::fclose(f);
    if (!read) return false;
    const uint32_t claimed =
        static_cast<uint32_t>(header[40]) | static_cast<uint32_t>(header[41]) << 8 |
        static_cast<uint32_t>(header[42]) << 16 | static_cast<uint32_t>(header[43]) << 24;
    return static_cast<uint64_t>(size) - kHeaderBytes >= claimed;
}

} // namespace

std::optional<std::string> createWholeFile(const std::string& path, std::string_view text) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string tempPath;
    int fd = -1;
    for (int attempt = 0; attempt < kTempNameAttempts && fd < 0; ++attempt) {
        tempPath = folder + "." + base + ".tmp" + std::to_string(::getpid()) + "-" +
                   std::to_string(attempt);
        fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return std::strerror(errno);
    int error = toolset::writeAll(fd, text);
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && std::rename(tempPath.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(tempPath.c_str());
        return std::strerror(error);
    }
    return std::nullopt;
}

void StagedOutputs::add(const std::string& what, const std::string& path, bool claimsLength) {
    entries_.push_back({what, path, claimsLength});
}

void StagedOutputs::removeLeftovers() const {
    for (const Entry& e : entries_) {
        if (toolset::writtenInPlace(e.path) || !toolset::discardStaged(e.path)) continue;
        std::fflush(stdout);
        std::fprintf(stderr, "Removed %s left by an interrupted render.\n",
                     toolset::stagingPathOf(e.path).c_str());
    }
}

bool StagedOutputs::commit() {
    // Everything reaches the device before the first rename, so a failure
    // here still leaves every earlier file in place.
    for (const Entry& e : entries_)
        if (const int error = toolset::syncStaged(e.path); error != 0)
            stopRun(1, "Could not write the %s %s: %s\n", e.what.c_str(), e.path.c_str(),
                    std::strerror(error));
    committed_ = true;
    bool allInPlace = true;
    std::vector<std::string> folders;
    for (const Entry& e : entries_) {
        if (toolset::writtenInPlace(e.path)) continue;
        if (const int error = toolset::commitStaged(e.path); error != 0) {
            warn("Could not put the %s %s in place: %s\n", e.what.c_str(), e.path.c_str(),
                 std::strerror(error));
            allInPlace = false;
        }
        const std::string target = toolset::resolvedTarget(e.path);
        folders.push_back(target.substr(0, target.rfind('/') + 1));
    }
    // Each folder once: the outputs mostly share one.
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    for (const std::string& folder : folders)
        toolset::syncFolderOf(folder + ".");
    return allInPlace;
}

void StagedOutputs::discard(MixState& state, bool quiet) {
    // Whatever is still buffered cannot be written either; the streams only
    // have to let go of the files.
    if (state.mixStream != nullptr) std::fclose(state.mixStream);
    if (state.tapStream != nullptr) std::fclose(state.tapStream);
    state.mixStream = nullptr;
    state.tapStream = nullptr;
    for (StemStream& stem : state.stems) {
        if (stem.stream != nullptr) std::fclose(stem.stream);
        stem.stream = nullptr;
    }
    for (const Entry& e : entries_) {
        if (toolset::writtenInPlace(e.path)) continue;
        const std::string temp = toolset::stagingPathOf(e.path);
        struct stat info {};
        if (::lstat(temp.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        const bool unfinished = e.claimsLength && !holdsItsData(temp, info.st_size);
        if (::unlink(temp.c_str()) == 0) {
            if (unfinished && !quiet)
                warn("The %s %s was not finished; the partial file was removed.\n", e.what.c_str(),
                     e.path.c_str());
        } else if (!quiet) {
            warn("The %s %s was not finished and could not be removed: %s.\n", e.what.c_str(),
                 temp.c_str(), std::strerror(errno));
        }
    }
    entries_.clear();
}

} // namespace tarvex
