// Diagnostics about the control files, on standard error.
#include "core/diagnostics.h"

#include <cstdarg>
#include <cstdio>

#include "common/text_format.h"

namespace tarvex {

namespace {

std::string counted(int32_t n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

} // namespace

void Diagnostics::warning(const std::string& file, int32_t line, const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    std::string text;
    toolset::appendFormatList(text, fmt, args);
    va_end(args);
    ++warnings_;
    print(file, line, "warning", text);
}

void Diagnostics::error(const std::string& file, int32_t line, const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    std::string text;
    toolset::appendFormatList(text, fmt, args);
    va_end(args);
    ++errors_;
    print(file, line, "error", text);
}

std::string Diagnostics::countText(int32_t stops) const {
    std::string text = counted(errors_ + stops, "error");
    text += ", ";
    text += counted(warnings_, "warning");
    return text;
}

void Diagnostics::print(const std::string& file, int32_t line, const char* kind,
                        const std::string& text) {
    // The run's own messages so far come first, as they were printed.
    std::fflush(stdout);
    if (line > 0)
        std::fprintf(stderr, "%s:%d: %s: %s\n", file.c_str(), static_cast<int>(line), kind,
                     text.c_str());
    else
        std::fprintf(stderr, "%s: %s: %s\n", file.c_str(), kind, text.c_str());
}

} // namespace tarvex
