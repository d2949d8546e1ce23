// The fader file: loading (or creating it from a typed-in level), its layout
// warnings, the mix name and output path, and the channel start offsets.
//
// The text after the "begin" line is kept for the whole run with every space
// removed; each later reader works on its own view of it. The same text as
// written is kept too, so that the line check can tell fields written apart
// by spaces.
#pragma once

#include <cstdio>
#include <string>

#include "session/mix_session.h"

namespace tarvex {

// Loads the fader file into `session.fader`. When "faders.txt" is missing,
// asks for a default level on `input` and writes a template "faders.txt"
// (never over an existing one). Ends the run with status 1 on -999 or when no
// value comes, and when a fader file named otherwise is missing.
void loadFaderFile(MixSession& session, std::FILE* input);

// Ends the run with status 1, naming it, when a fader file named otherwise
// than "faders.txt" is missing: a misspelt name must not mix a template.
void refuseMissingNamedFaderFile(const std::string& path);

// The template written for a missing fader file.
std::string faderTemplate(int channelCount, double level);

// Applies the `tstamp` and `sstamp` lines and settles the song length.
void readStartOffsets(MixSession& session);

// Settles the mix name (`oname` or the first line) and the output path.
void settleMixName(MixSession& session);

} // namespace tarvex
