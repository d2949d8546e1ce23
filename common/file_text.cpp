// Whole-file reads with POSIX calls: the standard streams can neither open a
// named pipe without waiting nor tell a directory from a read error.
#include "common/file_text.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace toolset {

namespace {

FileText failed(FileText::Status status, int error) {
    FileText file;
    file.status = status;
    file.error = error;
    return file;
}

bool overLimit(std::size_t bytes, int64_t maxBytes) {
    return static_cast<uint64_t>(bytes) > static_cast<uint64_t>(maxBytes);
}

} // namespace

FileText readFileText(const std::string& path, int64_t maxBytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return failed(errno == ENOENT ? FileText::Status::missing : FileText::Status::unopenable,
                      errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        const bool isDirectory = S_ISDIR(info.st_mode);
        const int error = isDirectory ? EISDIR : errno;
        ::close(fd);
        return failed(isDirectory ? FileText::Status::directory : FileText::Status::readError,
                      error);
    }
    if (S_ISREG(info.st_mode) && info.st_size > maxBytes) {
        ::close(fd);
        FileText file = failed(FileText::Status::tooLarge, 0);
        file.size = static_cast<int64_t>(info.st_size);
        return file;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FileText file;
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            return failed(FileText::Status::readError, error);
        }
        if (got == 0) break;
        file.text.append(chunk, static_cast<std::size_t>(got));
        if (overLimit(file.text.size(), maxBytes)) {
            ::close(fd);
            FileText tooLong = failed(FileText::Status::tooLarge, 0);
            tooLong.size = -1;
            return tooLong;
        }
    }
    ::close(fd);
    return file;
}

} // namespace toolset
