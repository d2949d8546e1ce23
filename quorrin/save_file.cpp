// Saving with an overwrite prompt. Failures name the file and give the
// system's reason; "Write complete" is printed only when every byte was
// written and the file closed without error.
#include "quorrin/save_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <istream>
#include <ostream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/staged_file.h"

namespace quorrin {

namespace {

bool isSameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

bool exists(const std::string& name) {
    std::error_code error;
    // A dangling link counts as existing: writing through it would create a
    // file somewhere the user did not name.
    return std::filesystem::symlink_status(name, error).type() !=
           std::filesystem::file_type::not_found;
}

SaveResult reportFailure(const std::string& name, int error, std::ostream& out) {
    out << "Could not write " << name << ": " << std::strerror(error) << "\n";
    return SaveResult::failed;
}

// Attempts at finding an unused temporary name before giving up.
constexpr int kTempNameAttempts = 100;

} // namespace

SaveResult saveCueText(const std::string& text, const std::string& name,
                       const std::string& loadedFile, std::istream& in, std::ostream& out) {
    if (isSameFile(name, loadedFile)) {
        out << name << " is the file that was loaded and is kept as it is; "
            << "save under a new name\n";
        return SaveResult::refused;
    }
    if (exists(name)) {
        out << "The file already exists!\n"
            << "Type 'o' to overwrite or any other key to cancel\n";
        std::string answer;
        if (!(in >> answer)) return SaveResult::inputEnded;
        if (answer != "o") return SaveResult::declined;
    }
    std::FILE* file = std::fopen(name.c_str(), "wb");
    if (!file) return reportFailure(name, errno, out);
    size_t written = std::fwrite(text.data(), 1, text.size(), file);
    int writeError = written == text.size() ? 0 : errno;
    if (std::fclose(file) != 0 && writeError == 0) writeError = errno;
    if (written != text.size() || writeError != 0) {
        reportFailure(name, writeError != 0 ? writeError : EIO, out);
        // A cut-off fader file would later mix without its last lines; a
        // device (a link to /dev/null, say) is no file of ours to remove.
        // Written through a link, the partial file is the link's target.
        std::error_code error;
        const std::filesystem::path target = std::filesystem::canonical(name, error);
        if (!error && std::filesystem::is_regular_file(target, error) &&
            std::filesystem::remove(target, error))
            out << "The partial file " << name << " was removed\n";
        return SaveResult::failed;
    }
    out << "Write complete\n";
    return SaveResult::written;
}

std::optional<std::string> replaceFileText(const std::string& path, std::string_view text) {
    std::error_code ignored;
    const std::filesystem::path resolved = std::filesystem::canonical(path, ignored);
    const std::string target = ignored ? path : resolved.string();
    struct stat info {};
    const bool exists = ::stat(target.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0) return "cannot open " + path + " for writing: " + std::strerror(errno);
        int error = toolset::writeAll(fd, text);
        if (::close(fd) != 0 && error == 0) error = errno;
        if (error != 0) return "cannot write " + path + ": " + std::strerror(error);
        return std::nullopt;
    }
    std::string tempPath;
    int fd = -1;
    for (int attempt = 0; attempt < kTempNameAttempts && fd < 0; ++attempt) {
        tempPath = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0)
        return "cannot write " + path + " through " + tempPath + ": " + std::strerror(errno);
    if (exists) (void)::fchmod(fd, info.st_mode & 07777); // best effort: the text matters more
    int error = toolset::writeAll(fd, text);
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && std::rename(tempPath.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(tempPath.c_str());
        return "cannot write " + path + ": " + std::strerror(error) +
               (exists ? "; the file was left as it was" : "");
    }
    return std::nullopt;
}

} // namespace quorrin
