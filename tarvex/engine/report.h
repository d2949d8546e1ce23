// The statistics report and the copy of the fader file.
//
// After the mix the report lists each channel's post-fader peaks, the submix
// and reverb-send peaks, the average RMS of the output, the output peaks with
// the song time where each first occurred, and the slots that clipped in their
// effects. It is printed (verbosity 1 or more) and written beside a copy of
// the fader text that made the mix.
#pragma once

#include <string>

#include "session/mix_session.h"

namespace tarvex {

// The report text up to (not including) the processing-time line.
std::string reportText(const MixSession& session);

// Minutes and seconds of a song sample position, single precision.
void songTimeOf(int64_t position, uint32_t rate, float& minutes, float& seconds);

// Paths of the report and of the fader copy for the session's mix name.
std::string statsPathOf(const MixSession& session);
std::string faderCopyPathOf(const MixSession& session);

// Prints the report, appends the processing time and writes both files.
// Returns false (after a message naming the file) when a file could not be
// written.
bool writeReportFiles(const MixSession& session);

} // namespace tarvex
