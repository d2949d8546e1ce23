// Reading a whole file into memory, with a limit on its size. The outcome is
// a value: the text, or why there is none (no such file, a directory, too
// large, a system error with its number). Nothing is printed and the run goes
// on; each program words the failure in its own messages.
//
// A named pipe is opened without waiting for a writer, so one that nobody
// writes to reads as empty instead of holding the program; reads then wait
// as usual.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

namespace toolset {

// A file read whole, or the reason it was not.
struct FileText {
    enum class Status {
        read,       // `text` holds the whole file
        missing,    // there is no such file (ENOENT when opening)
        unopenable, // it exists but cannot be opened (`error`: e.g. EACCES)
        directory,  // it is a directory (`error` is EISDIR)
        tooLarge,   // it holds more than the limit
        readError,  // it opened but could not be read (`error`: e.g. EIO)
    };
    Status status = Status::read;
    std::string text; // the file's bytes when status is read
    int error = 0;    // the system's error number for unopenable, directory and readError
    int64_t size = 0; // tooLarge: the size the file states, or -1 when it came out too long
                      // only while being read (a pipe, a file that grew)
};

// No limit on the size of a file beyond the memory for its text.
constexpr int64_t kNoSizeLimit = std::numeric_limits<int64_t>::max();

// Reads the whole of `path`, refusing a file of more than `maxBytes` bytes.
FileText readFileText(const std::string& path, int64_t maxBytes);

} // namespace toolset
