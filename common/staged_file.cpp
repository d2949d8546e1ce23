// Staged writing of a file; see staged_file.h. POSIX calls are used directly:
// the standard streams can neither create a file exclusively nor flush it to
// the device.
#include "common/staged_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace toolset {

namespace {

// The folder part of a path, with its slash ("" for the current folder).
std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

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

std::string resolvedTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return path;
    return resolved;
}

std::string stagingPathOf(const std::string& path) {
    const std::string target = resolvedTarget(path);
    const std::string folder = folderOf(target);
    return folder + "." + target.substr(folder.size()) + ".partial";
}

bool writtenInPlace(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

int openStaged(const std::string& path) {
    if (writtenInPlace(path)) return ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        return -1;
    }
    const int fd =
        ::open(stagingPathOf(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    // Best effort: the contents matter more than the permission bits.
    if (fd >= 0 && exists) (void)::fchmod(fd, info.st_mode & 07777);
    return fd;
}

int writeStaged(const std::string& path, std::string_view text) {
    const bool inPlace = writtenInPlace(path);
    const int fd = openStaged(path);
    if (fd < 0) return errno;
    int error = writeAll(fd, text);
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0 && !inPlace) ::unlink(stagingPathOf(path).c_str());
    return error;
}

void startWriteback(int fd) {
#ifdef __linux__
    (void)::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    (void)fd;
#endif
}

int syncStaged(const std::string& path) {
    if (writtenInPlace(path)) return 0;
    const int fd = ::open(stagingPathOf(path).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno;
    int error = 0;
    if (::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    return error;
}

int commitStaged(const std::string& path) {
    if (writtenInPlace(path)) return 0;
    const std::string target = resolvedTarget(path);
    return std::rename(stagingPathOf(path).c_str(), target.c_str()) != 0 ? errno : 0;
}

int syncFolderOf(const std::string& path) {
    // Some file systems cannot flush a folder; the renames stand all the same.
    const std::string folder = folderOf(resolvedTarget(path));
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    int error = 0;
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) error = errno;
    ::close(fd);
    return error;
}

bool discardStaged(const std::string& path) {
    return ::unlink(stagingPathOf(path).c_str()) == 0;
}

} // namespace toolset
