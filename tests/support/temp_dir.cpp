#include "temp_dir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <vector>

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvex-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary directory from " + pattern + ": " +
                                 std::strerror(errno));
    path_ = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ec; // a destructor must not throw; a leftover directory is harmless
    std::filesystem::remove_all(path_, ec);
}
