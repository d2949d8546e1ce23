// The track list: one line per input channel, naming its WAV file and
// whether the channel takes part in the mix.
//
// The list is read twice: `countTracks` counts the channels and prints the
// layout warnings; `readTrackList` reads the on and solo flags and the file
// names once the block buffers exist. The line's place, not its label,
// decides the channel number.
#pragma once

#include <string>

#include "session/mix_session.h"

namespace tarvex {

// Counts the channels of the track list. Ends the run with status 2 when the
// list is missing, longer than 127 channels or holds an over-long line.
void countTracks(MixSession& session, std::string& listText, int& firstLine);

// Fills the on and solo flags and the track names from the counted list.
void readTrackList(MixSession& session, const std::string& listText, int firstLine);

} // namespace tarvex
