// printf-style formatting onto a text.
#include "common/text_format.h"

#include <cstdarg>
#include <cstdio>

namespace toolset {

void appendFormatList(std::string& text, const char* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0) return;
    const std::size_t start = text.size();
    text.resize(start + static_cast<std::size_t>(length) + 1);
    std::vsnprintf(text.data() + start, static_cast<std::size_t>(length) + 1, format, args);
    text.resize(start + static_cast<std::size_t>(length));
}

void appendf(std::string& text, const char* format, ...) {
    va_list args;
    va_start(args, format);
    appendFormatList(text, format, args);
    va_end(args);
}

std::string formatText(const char* format, ...) {
    std::string text;
    va_list args;
    va_start(args, format);
    appendFormatList(text, format, args);
    va_end(args);
    return text;
}

} // namespace toolset
