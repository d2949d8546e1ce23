// Runs a program as a child process for end-to-end tests.
//
// The program is started directly (no shell: every argument reaches it as written) in the
// given working directory. Its standard input is fed from `stdinText`; standard output and
// standard error are captured together, in the order the program wrote them, into `out`.
// Output is read while input is written, so a program that writes a lot before reading its
// input does not block either side.
#pragma once

#include <string>
#include <vector>

struct RunResult {
    int status;      // exit status, or 128 + signal number when the program was killed
    std::string out; // standard output and standard error together
};

// `closeStdin`: true closes the program's input after the text (it then reads end of file);
// false keeps it open until the program ends, for programs that must not see end of file.
// `timeoutSeconds`: a program still running after this long is killed with SIGKILL (status
// 128 + 9) and a line saying so is added to `out`, so a hanging program fails a test instead
// of stalling the suite.
// When the program cannot be started (missing file, bad working directory) the status is 127
// and `out` says why. Throws std::runtime_error only when the child cannot be created at all.
RunResult runProgram(const std::string& exe, const std::vector<std::string>& args,
                     const std::string& cwd, const std::string& stdinText = "",
                     bool closeStdin = true, int timeoutSeconds = 120);
