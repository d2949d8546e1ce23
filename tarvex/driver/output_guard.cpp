// Output-over-input check.
#include "driver/output_guard.h"

#include <sys/stat.h>

#include "core/console.h"
#include "driver/track_list.h"

namespace tarvex {

std::vector<NamedPath> inputPathsOf(const MixSession& s) {
    std::vector<NamedPath> inputs{{"track list", s.tracks.tracksPath},
                                  {"fader file", s.tracks.fadersPath},
                                  {"preferences file", s.tracks.prefsPath}};
    for (int c = 1; c <= s.tracks.channelCount; ++c)
        inputs.push_back({"track of channel " + std::to_string(c), wavPathOf(s, c)});
    return inputs;
}

void refuseOutputsOverInputs(const std::vector<NamedPath>& outputs,
                             const std::vector<NamedPath>& inputs) {
    for (const NamedPath& out : outputs) {
        struct stat outStat {};
        if (::stat(out.path.c_str(), &outStat) != 0) continue; // not there yet: no input
        for (const NamedPath& in : inputs) {
            struct stat inStat {};
            if (::stat(in.path.c_str(), &inStat) != 0) continue;
            if (outStat.st_dev == inStat.st_dev && outStat.st_ino == inStat.st_ino)
                stopRun(2, "The %s %s would overwrite the %s %s; %s.\nNothing was written.\n",
                        out.what.c_str(), out.path.c_str(), in.what.c_str(), in.path.c_str(),
                        out.advice.c_str());
        }
    }
}

} // namespace tarvex
