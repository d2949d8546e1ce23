// Runs a program as a child process for end-to-end tests.
//
// The program is started directly (no shell: every argument reaches it as written) in the
// given working directory. Its standard input is fed from the given text; standard output and
// standard error are captured together, in the order the program wrote them, into `out`, or
// apart into `out` and `err` when asked. Output is read while input is written, so a program
// that writes a lot before reading its input does not block either side.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct RunResult {
    int status = 0;  // exit status, or 128 + signal number when the program was killed
    std::string out; // standard output, and standard error too unless kept apart
    std::string err; // standard error when RunOptions::separateStderr is set, else empty
};

struct RunOptions {
    // Fed to the program's standard input.
    std::string stdinText;
    // true closes the program's input after the text (it then reads end of file); false keeps
    // it open until the program ends, for programs that must not see end of file.
    bool closeStdin = true;
    // A program still running after this long is killed with SIGKILL (status 128 + 9) and a
    // line saying so is added to `out`, so a hanging program fails a test instead of stalling
    // the suite.
    int timeoutSeconds = 120;
    // true captures standard error into `err` instead of mixing it into `out`.
    bool separateStderr = false;
    // Largest size in bytes of any file the program writes (RLIMIT_FSIZE). SIGXFSZ is ignored
    // in the program, so a write past the limit fails with EFBIG as on a full disk instead of
    // killing it. Only regular files are limited: the captured output is not.
    std::optional<uint64_t> fileSizeLimit;
};

// When the program cannot be started (missing file, bad working directory, limit refused)
// the status is 127 and its standard error says why. Throws std::runtime_error only when the
// child cannot be created at all.
RunResult runProgram(const std::string& exe, const std::vector<std::string>& args,
                     const std::string& cwd, const RunOptions& options);

// The common case: input text, and the input and time-limit choices of RunOptions.
RunResult runProgram(const std::string& exe, const std::vector<std::string>& args,
                     const std::string& cwd, const std::string& stdinText = "",
                     bool closeStdin = true, int timeoutSeconds = 120);
