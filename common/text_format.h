// printf-style formatting onto texts of any length: the text is measured
// first, then written into space made for it, so every number keeps exactly
// the C conversion it is written with ("%.3f", "%i", ...) and no text is
// bounded by a fixed buffer.
#pragma once

#include <cstdarg>
#include <string>

namespace toolset {

// Appends the formatted text to `text`; a format that comes out empty or
// cannot be converted appends nothing.
void appendf(std::string& text, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The same with the arguments of a caller's own variadic function.
void appendFormatList(std::string& text, const char* format, va_list args);

// The formatted text alone.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace toolset
