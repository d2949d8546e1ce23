// Console messages of the mix run: warnings and the one way a run ends early.
#include "core/console.h"

#include <cstdarg>
#include <cstdio>

namespace tarvex {

void warn(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::vprintf(fmt, args);
    va_end(args);
}

void stopRun(int status, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::vprintf(fmt, args);
    va_end(args);
    std::fflush(stdout);
    throw RunStopped(status);
}

} // namespace tarvex
