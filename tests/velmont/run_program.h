// Test helpers: a fresh temporary directory that removes itself, file reading
// and writing, and running a program in a directory with given standard input.
#pragma once

#include <cstdint>
#include <string>

namespace velmont_test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Names of the entries in the directory, sorted, without "." and "..".
    std::string listing() const;

  private:
    std::string path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);
bool fileExists(const std::string& path);

struct RunResult {
    int status = -1; // exit status, or -1 when the program did not exit normally
    std::string out; // standard output
    std::string err; // standard error
};

// Runs `program` with `directory` as its working directory and `input` as its
// whole standard input. A nonzero `fileSizeLimit` caps the size of any file
// the program writes (bytes), which makes writing fail as on a full disk.
RunResult runProgram(const std::string& program, const std::string& directory,
                     const std::string& input, uint64_t fileSizeLimit = 0);

} // namespace velmont_test
