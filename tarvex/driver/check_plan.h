// The plan of a render, as `tarvex --check` prints it.
//
// Once every stage before the mix loop has run, the session holds what the
// render would do: which file each channel plays and from which song sample,
// every level cue as a sample time, a level in dB and a ramp length, where
// each channel is routed, and the effects of every strip with their values
// after limiting. The plan shows that, in song samples and in dB, so that a
// mix script can be checked without rendering it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "session/mix_session.h"

namespace tarvex {

// The plan text. `listedOn` holds the channel on flags as the track list set
// them, before rejected files and routing switched channels off.
std::string renderPlanText(const MixSession& session,
                           const std::array<int32_t, kSlotCount>& listedOn);

// Asks, before anything is written, whether every file the run will write
// can be created: ends the run with status 1 naming the file and the reason
// when the mix or tap file (with their usual messages), the report, the
// fader copy or the plot could not be. Writes nothing.
void probeOutputFiles(const MixSession& session);

// Sets the reverbs in use up as the render's first block would, on silence,
// so that a room that does not fit stops the check with the render's message
// and status.
void checkReverbRooms(const MixSession& session);

} // namespace tarvex
