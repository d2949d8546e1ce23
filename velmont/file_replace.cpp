// Safe replacement of a text file; see file_replace.h. POSIX calls are used
// directly because the standard streams can neither create a file exclusively
// nor flush it to the device. The replacement keeps the old file's permission
// bits; a new file gets the usual ones (0666 less the umask).
#include "velmont/file_replace.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/staged_file.h"

namespace velmont {
namespace {

// Attempts at finding an unused temporary name before giving up.
constexpr int kTempNameAttempts = 100;

std::string reason(int error) {
    return std::strerror(error);
}

std::string cannotOpen(const std::string& path, int error) {
    return "cannot open " + path + " for writing: " + reason(error);
}

// A symbolic link is replaced through its target, as writing through the
// link would do; the link itself stays.
std::string resolveLink(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr) return path;
    return resolved;
}

std::optional<std::string> writeInPlace(const std::string& path, const std::string& target,
                                        std::string_view text) {
    const int fd = open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return cannotOpen(path, errno);
    int error = toolset::writeAll(fd, text);
    if (close(fd) != 0 && error == 0) error = errno;
    if (error != 0) return "cannot write " + path + ": " + reason(error);
    return std::nullopt;
}

} // namespace

std::optional<std::string> replaceFileContents(const std::string& path, std::string_view text) {
    const std::string target = resolveLink(path);

    // Refuse what an ordinary open for writing would refuse. O_NONBLOCK keeps
    // a FIFO from hanging the program; nothing is truncated or written.
    struct stat info;
    const bool exists = stat(target.c_str(), &info) == 0;
    if (exists) {
        if (S_ISDIR(info.st_mode)) return cannotOpen(path, EISDIR);
        const int probe = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (probe < 0) return cannotOpen(path, errno);
        close(probe);
    } else if (errno != ENOENT) {
        return cannotOpen(path, errno);
    }
    // A device or FIFO cannot be replaced by renaming (that would put a plain
    // file in place of /dev/null, say); it is written in place.
    if (exists && !S_ISREG(info.st_mode)) return writeInPlace(path, target, text);

    const size_t slash = target.rfind('/');
    const std::string directory = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string tempPath;
    int fd = -1;
    for (int attempt = 0; attempt < kTempNameAttempts && fd < 0; ++attempt) {
        tempPath = directory + "." + base + ".tmp" + std::to_string(getpid()) + "-" +
                   std::to_string(attempt);
        fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        return "cannot write " + path + ": no temporary file could be created beside it (" +
               tempPath + "): " + reason(errno);
    }
    if (exists) (void)fchmod(fd, info.st_mode & 07777); // best effort: the text matters more

    int error = toolset::writeAll(fd, text);
    if (error == 0 && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && rename(tempPath.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        unlink(tempPath.c_str());
        return "cannot write " + path + ": " + reason(error) +
               (exists ? "; the existing file was left as it was" : "; no file was written");
    }
    return std::nullopt;
}

std::optional<std::string> createFileIfMissing(const std::string& path) {
    // No O_TRUNC: an existing file keeps its contents and its time stamps.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return cannotOpen(path, errno);
    close(fd);
    return std::nullopt;
}

} // namespace velmont
