// printf-style formatting into growing strings: the text is measured first,
// then written into space made for it.
#include "text_format.h"

#include <cstdarg>
#include <cstdio>

namespace quorrin {

namespace {

void appendFormatList(std::string& out, const char* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0) return;
    size_t start = out.size();
    out.resize(start + static_cast<size_t>(length) + 1);
    std::vsnprintf(&out[start], static_cast<size_t>(length) + 1, format, args);
    out.resize(start + static_cast<size_t>(length));
}

} // namespace

void appendFormat(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    appendFormatList(out, format, args);
    va_end(args);
}

std::string formatText(const char* format, ...) {
    std::string out;
    va_list args;
    va_start(args, format);
    appendFormatList(out, format, args);
    va_end(args);
    return out;
}

} // namespace quorrin
