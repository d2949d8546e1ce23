// printf-style formatting onto a text.
#include "core/text_format.h"

#include <cstdarg>
#include <cstdio>

namespace tarvex {

void appendf(std::string& text, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list again;
    va_copy(again, args);
    const int need = std::vsnprintf(nullptr, 0, fmt, args);
    va_end(args);
    if (need > 0) {
        const std::size_t at = text.size();
        text.resize(at + static_cast<std::size_t>(need) + 1);
        std::vsnprintf(text.data() + at, static_cast<std::size_t>(need) + 1, fmt, again);
        text.resize(at + static_cast<std::size_t>(need));
    }
    va_end(again);
}

} // namespace tarvex
