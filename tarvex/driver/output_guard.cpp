// Output-over-input check, for the final and the temporary names.
#include "driver/output_guard.h"

#include <sys/stat.h>

#include "common/staged_file.h"
#include "core/console.h"
#include "driver/track_list.h"

namespace tarvex {

std::vector<NamedPath> inputPathsOf(const MixSession& s) {
    std::vector<NamedPath> inputs{{"track list", s.settings.tracks.tracksPath},
                                  {"fader file", s.settings.tracks.fadersPath},
                                  {"preferences file", s.settings.tracks.prefsPath}};
    for (int c = 1; c <= s.settings.tracks.channelCount; ++c)
        inputs.push_back({"track of channel " + std::to_string(c), wavPathOf(s.settings, c)});
    return inputs;
}

void refuseOutputsOverInputs(const std::vector<NamedPath>& outputs,
                             const std::vector<NamedPath>& inputs) {
    for (const NamedPath& out : outputs) {
        // An output is written under its temporary name first, and a file
        // left at that name is removed: neither may be an input.
        const std::string temp = toolset::stagingPathOf(out.path);
        const NamedPath written[] = {
            out, {"temporary file " + temp + " of the " + out.what, out.path, out.advice}};
        const std::string* paths[] = {&out.path, &temp};
        for (int k = 0; k < 2; ++k) {
            struct stat outStat {};
            if (::stat(paths[k]->c_str(), &outStat) != 0) continue; // not there yet: no input
            for (const NamedPath& in : inputs) {
                struct stat inStat {};
                if (::stat(in.path.c_str(), &inStat) != 0) continue;
                if (outStat.st_dev == inStat.st_dev && outStat.st_ino == inStat.st_ino)
                    stopRun(2, "The %s %s would overwrite the %s %s; %s.\nNothing was written.\n",
                            written[k].what.c_str(), written[k].path.c_str(), in.what.c_str(),
                            in.path.c_str(), out.advice.c_str());
            }
        }
    }
}

} // namespace tarvex
