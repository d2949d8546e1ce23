// printf-style formatting onto the end of a text, for reports and plans of
// any length.
#pragma once

#include <string>

namespace tarvex {

// Appends the formatted text to `text`, however long it comes out.
void appendf(std::string& text, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

} // namespace tarvex
