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

} // namespace quorrin
