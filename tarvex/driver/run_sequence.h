// The run of `tarvex`: one straight sequence of stages from the command line
// to the reports, each stage finishing before the next begins.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "driver/command_line.h"

namespace tarvex {

// The banner printed at verbosity 2.
extern const char* const kBanner;

// Runs one mix, or with `options.check` only the stages before the mix: every
// file is read and validated and the plan is printed, but nothing is written
// and no `launch` command runs. `input` answers the one prompt (a missing
// fader file; a check does not ask). Returns the exit status, for a check the
// one the render would have had before its mix loop.
int runTarvex(const RunOptions& options, std::FILE* input);

// As above with only file names (track list, fader file, preferences file,
// each optional) and no options.
int runTarvex(const std::vector<std::string>& files, std::FILE* input);

} // namespace tarvex
