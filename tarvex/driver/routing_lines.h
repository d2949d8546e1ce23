// Reads the routing lines of the fader file (`sub`, `submu`, `subso`, `VCA:`)
// and sets up the buses and VCAs.
#pragma once

#include "driver/fader_lines.h"
#include "session/mix_session.h"

namespace tarvex {

// Bus set-up, submix mutes and solos, the feeder check and the VCA set-up.
void readRoutingLines(MixSession& session, const FaderLines& fader);

// Pan gains and delays, once the level tables are read. Ends the run
// with status 2 when a delay would be longer than the delay history.
void setUpPanGains(MixSession& session);

} // namespace tarvex
