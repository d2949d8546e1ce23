// The run of `tarvex`: one straight sequence of stages from the command line
// to the reports, each stage finishing before the next begins.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace tarvex {

// The banner printed at verbosity 2.
extern const char* const kBanner;

// Runs one mix. `args` are the command-line arguments after the program name
// (track list, fader file, preferences file, each optional); `input` answers
// the one prompt (a missing fader file). Returns the exit status.
int runTarvex(const std::vector<std::string>& args, std::FILE* input);

} // namespace tarvex
