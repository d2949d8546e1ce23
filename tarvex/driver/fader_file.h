// The fader file: loading (or creating it from a typed-in level), its layout
// warnings, the mix name and output path, and the channel start offsets.
//
// The driver reads the file's text (`readFaderFile`) and splits it once into
// a `FaderLines` value that every later reader takes.
#pragma once

#include <cstdio>
#include <string>

#include "driver/fader_lines.h"
#include "driver/preference_lines.h"
#include "session/mix_session.h"

namespace tarvex {

// The text of the fader file. When "faders.txt" is missing, asks for a
// default level on `input` and writes a template "faders.txt" (never over an
// existing one); the template is the text. Ends the run with status 1 on -999
// or when no value comes, and when a fader file named otherwise is missing.
std::string readFaderFile(const MixSession& session, std::FILE* input);

// Prints the layout warnings of the fader file and keeps its body for the
// copy written beside the mix.
void takeFaderLines(MixSession& session, const FaderLines& fader);

// Ends the run with status 1, naming it, when a fader file named otherwise
// than "faders.txt" is missing: a misspelt name must not mix a template.
void refuseMissingNamedFaderFile(const std::string& path);

// The template written for a missing fader file.
std::string faderTemplate(int channelCount, double level);

// Applies the `tstamp` and `sstamp` lines and settles the song length.
void readStartOffsets(MixSession& session, const FaderLines& fader);

// Settles the mix name (`oname` or the first line) and the output path.
void settleMixName(MixSession& session, const PreferenceLines& prefs, const FaderLines& fader);

} // namespace tarvex
