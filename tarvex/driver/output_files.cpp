// Whole-or-nothing creation of the files tarvex makes for the user, and the
// removal of WAV outputs that a stopped run left unfinished. POSIX calls are
// used directly: the standard streams cannot create a file exclusively.
#include "driver/output_files.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/console.h"

namespace tarvex {

namespace {

// Attempts at finding an unused temporary name before giving up.
constexpr int kTempNameAttempts = 100;
// The mix and tap headers; the data size is the last field.
constexpr off_t kHeaderBytes = 44;

// Writes all of `text`, going on after short writes and interrupted calls.
// Returns 0 or the system's error number.
int writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

// The file a path names once symbolic links are followed; the path itself
// when it is no link or the link leads nowhere.
std::string linkTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return path;
    return resolved;
}

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
    int error = writeAll(fd, text);
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && std::rename(tempPath.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(tempPath.c_str());
        return std::strerror(error);
    }
    return std::nullopt;
}

void UnfinishedOutputs::add(const std::string& what, const std::string& path) {
    entries_.push_back({what, path});
}

void UnfinishedOutputs::finished() {
    entries_.clear();
}

void UnfinishedOutputs::removeAll(MixState& state) {
    // Whatever is still buffered cannot be written either; the streams only
    // have to let go of the files.
    if (state.mixStream != nullptr) std::fclose(state.mixStream);
    if (state.tapStream != nullptr) std::fclose(state.tapStream);
    state.mixStream = nullptr;
    state.tapStream = nullptr;
    for (const Entry& e : entries_) {
        const std::string target = linkTarget(e.path);
        struct stat info {};
        if (::lstat(target.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        if (holdsItsData(target, info.st_size)) continue;
        if (::unlink(target.c_str()) == 0)
            warn("The %s %s was not finished; the partial file was removed.\n", e.what.c_str(),
                 e.path.c_str());
        else
            warn("The %s %s was not finished and could not be removed: %s; its header claims "
                 "more samples than it holds.\n",
                 e.what.c_str(), e.path.c_str(), std::strerror(errno));
    }
    entries_.clear();
}

} // namespace tarvex
