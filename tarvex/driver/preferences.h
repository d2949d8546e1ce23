// The preferences file: console verbosity, directories, track-list layout,
// render window, output format and the other run settings.
//
// The file is read once, at the start, and split into its lines
// (`readPreferenceLines`); the settings are taken from those lines in stages:
// the file-level ones right away (`loadPreferences`), the rest once the song
// length is known (`checkPreferences`), and the automation offset after the
// routing lines (`readAutomationOffset`). Keywords may stand anywhere, also
// first after the "begin" line; where one repeats, the last counts unless
// said otherwise.
#pragma once

#include <string>

#include "driver/preference_lines.h"
#include "session/mix_session.h"

namespace tarvex {

// The text of a new preferences file.
extern const char* const kDefaultPrefsText;

// What happens to a missing preferences file: a render creates "prefs.txt"
// with the defaults; a check only says so and goes on with the defaults.
enum class MissingPrefs { create, useDefaults };

// The text of the preferences file at `path`; a missing file is replaced by
// the default preferences as `missing` says, with a message.
std::string readPreferencesFile(const std::string& path, MissingPrefs missing);

// Prints the file's layout warnings and reads `verbo`, the directories, the
// track-list layout, the worker count (`threads`) and the dither seed
// (`seed`). Prints the banner at verbosity 2. Keeps the file's body in the
// session for the stages that look up their own keywords.
void loadPreferences(MixSession& session, const PreferenceLines& prefs);

// Reads the render window and the output settings. Needs the song length and
// the sample rate. Ends the run with status 2 on a bad render window.
void checkPreferences(MixSession& session, const PreferenceLines& prefs);

// Reads the automation offset; prints it for every `offset` line.
void readAutomationOffset(MixSession& session, const PreferenceLines& prefs);

// A loudness target in LUFS, -70 to 0, written as a plain number.
bool readLoudnessTarget(const std::string& text, double& target);

// Time fields to samples: minutes, seconds and milliseconds (3 fields),
// minutes and seconds (2) or seconds (1), truncated toward zero.
int64_t timeFieldsToSamples(double minutes, double seconds, double millis, uint32_t rate);

} // namespace tarvex
