// The track list: one line per input channel, naming its WAV file and
// whether the channel takes part in the mix.
//
// The list is read once and split into its lines (`readTrackListLines`);
// `countTracks` counts the channels and prints the layout warnings;
// `readTrackList` reads the on and solo flags and the file names once the
// block buffers exist. The line's place, not its label, decides the channel
// number.
#pragma once

#include <string>

#include "driver/track_list_lines.h"
#include "session/mix_session.h"

namespace tarvex {

// The text of the track list at `path`. Ends the run with status 2 when
// there is no such file.
std::string readTrackListFile(const std::string& path);

// Counts the channels of the track list. Ends the run with status 2 when the
// list names no channel, more than 127 channels or holds an over-long line.
void countTracks(MixSession& session, const TrackListLines& list);

// Fills the on and solo flags and the track names from the counted list.
void readTrackList(MixSession& session, const TrackListLines& list);

} // namespace tarvex
