// Console messages of the mix run.
//
// Every message goes to standard output. `warn` prints a warning or a stage
// message and the run goes on; `stopRun` prints a message and ends the run with
// an exit status. `stopRun` throws `RunStopped`, which the program's `main`
// turns into the exit status, so a stage that ends the run can be tested in
// the same process and never leaves files half-open behind a plain `exit`.
#pragma once

#include <stdexcept>

namespace tarvex {

// Thrown by stopRun; carries the process exit status.
struct RunStopped : std::runtime_error {
    explicit RunStopped(int s) : std::runtime_error("run stopped"), status(s) {}
    int status; // exit status of the process (1 or 2)
};

// Prints a printf-style message to standard output.
void warn(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Prints a printf-style message to standard output, flushes it and ends the
// run with the given exit status.
[[noreturn]] void stopRun(int status, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

} // namespace tarvex
