// What a run says about its control files beyond its own messages.
//
// Every line of a control file that a run does not use as written gets one
// line on standard error, in the form compilers use and editors jump to:
//
//   faders.txt:14: warning: unknown code 'cmop' (line ignored)
//
// The file is named as the run read it; the line is the file's own line
// number (0 for what concerns the whole file, which prints without it). The
// run's own messages stay on standard output as they are; these only add to
// them. The counts let --strict refuse to go on and --check sum them up.
#pragma once

#include <cstdint>
#include <string>

namespace tarvex {

class Diagnostics {
  public:
    // A line the run uses otherwise than written, or not at all; it goes on.
    void warning(const std::string& file, int32_t line, const char* fmt, ...)
        __attribute__((format(printf, 4, 5)));
    // A line the run cannot go on with; the caller ends the run after it.
    void error(const std::string& file, int32_t line, const char* fmt, ...)
        __attribute__((format(printf, 4, 5)));

    int32_t warnings() const { return warnings_; }
    int32_t errors() const { return errors_; }
    // "1 error, 3 warnings", with `stops` more errors: fatal messages of the
    // run's own that no diagnostic counted.
    std::string countText(int32_t stops = 0) const;

  private:
    void print(const std::string& file, int32_t line, const char* kind, const std::string& text);
    int32_t warnings_ = 0;
    int32_t errors_ = 0;
};

// The diagnostics a reader may be handed, or none: readers run without them
// in unit tests and fuzz targets, and then their warnings are dropped.
struct MaybeDiagnostics {
    Diagnostics* sink = nullptr;
    template <typename... Args>
    void warning(const std::string& file, int32_t line, const char* fmt, Args... args) const {
        if (sink == nullptr) return;
        if constexpr (sizeof...(Args) == 0)
            sink->warning(file, line, "%s", fmt);
        else
            sink->warning(file, line, fmt, args...);
    }
};

} // namespace tarvex
