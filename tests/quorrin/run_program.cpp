// Test helpers for temporary directories and program runs. Standard input is
// a file, so the program sees the end of input after the given text.
#include "run_program.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace quorrin_test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "quorrin_test_XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary directory");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void TempDir::write(const std::string& name, const std::string& text) const {
    std::ofstream(path_ / name, std::ios::binary) << text;
}

std::string TempDir::read(const std::string& name) const {
    std::ifstream file(path_ / name, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

namespace {

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

} // namespace

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const fs::path& dir, const std::string& input) {
    fs::path inputFile = dir / ".stdin";
    fs::path outputFile = dir / ".stdout";
    std::ofstream(inputFile, std::ios::binary) << input;
    std::string command = "cd " + quoted(dir.string()) + " && timeout 10 " + quoted(program);
    for (const std::string& arg : args)
        command += " " + quoted(arg);
    command += " < " + quoted(inputFile.string()) + " > " + quoted(outputFile.string());
    int raw = std::system(command.c_str());
    RunResult result;
    if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
    std::ifstream file(outputFile, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    result.output = text.str();
    fs::remove(inputFile);
    fs::remove(outputFile);
    return result;
}

} // namespace quorrin_test
