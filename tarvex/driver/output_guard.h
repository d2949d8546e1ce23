// Keeps the files a run writes from landing on the files it reads.
//
// A mix name such as "kick" with kick.wav in the track list, or a fader copy
// named like the fader file given on the command line, would truncate an
// input before it is read; so would the temporary name an output is written
// under before it takes its own. The run is refused before anything is written.
#pragma once

#include <string>
#include <vector>

#include "session/mix_session.h"

namespace tarvex {

struct NamedPath {
    std::string what; // "mix file", "statistics report", ...
    std::string path;
    std::string advice = "choose another mix name (or oname)"; // how to move the output away
};

// The inputs of the run: the three control files and every listed WAV file.
std::vector<NamedPath> inputPathsOf(const MixSession& session);

// Ends the run with status 2 when an output names the same file as an input
// (compared by file identity, so other spellings of a path are caught too).
void refuseOutputsOverInputs(const std::vector<NamedPath>& outputs,
                             const std::vector<NamedPath>& inputs);

} // namespace tarvex
