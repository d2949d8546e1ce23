// Scratch directory for one test: created unique under the system temp directory, removed
// with everything in it when the object goes out of scope.
#pragma once

#include <filesystem>
#include <string>

class TempDir {
  public:
    // Throws std::runtime_error when the directory cannot be created.
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Path of a file inside the directory, e.g. file("faders.txt").
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};
