// Session folders for tests that hand tarvex a fader file another program wrote: everything a
// mix needs besides the fader file, and a look at tarvex's console output for layout warnings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "temp_dir.h"

// Preferences that keep tarvex at its normal verbosity, where it checks the layout of the track
// list and the fader file, with dither off so that renders repeat exactly.
inline constexpr const char* kCheckingPrefs = "begin\nverbo\t2\ndither\t0\nend\n";

// Writes `channels` mono 16-bit 44100 Hz tracks "track1.wav" ... of `frames` frames each, every
// one a different non-silent signal; a tracks.txt listing them in the default layout
// ("1 track1.wav +"), all on; and prefs.txt holding `prefs`.
void writeSessionInputs(const TempDir& dir, int32_t channels, uint32_t frames,
                        const std::string& prefs = kCheckingPrefs);

// Lines of `text` that contain `part`, in order, e.g. every ">>>  Warning" line of a run.
std::vector<std::string> linesContaining(const std::string& text, const std::string& part);
