// Test helpers: a fresh temporary directory per test, and running a program
// in it with given arguments and standard input, capturing what it prints and
// its exit status.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quorrin_test {

// A new empty directory, removed with its contents when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    void write(const std::string& name, const std::string& text) const;
    std::string read(const std::string& name) const;

  private:
    std::filesystem::path path_;
};

struct RunResult {
    int status = -1;    // exit status; -1 when the program did not exit normally
    std::string output; // everything written to standard output
};

// Runs `program` with `args` in `dir`, feeding `input` on standard input and
// closing it after. A program still running after 10 s is killed.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::filesystem::path& dir, const std::string& input);

} // namespace quorrin_test
