// printf-style formatting into growing strings, so that every number the
// editor writes has exactly the C conversion the file format is defined by
// ("%.3f", "%.2f", ...) and no text is bounded by a fixed buffer.
#pragma once

#include <string>

namespace quorrin {

// Appends the formatted text to `out`.
void appendFormat(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Returns the formatted text.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace quorrin
