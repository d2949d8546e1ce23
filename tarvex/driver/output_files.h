// What a run leaves on disk when it fails or is stopped.
//
// Every file a render writes appears whole or not at all, and an earlier file
// of its name stays as it was until the new one is complete. The mix and tap
// headers promise the whole render before the first block is written, so a
// file cut short would claim more samples than it holds; it never takes the
// final name. The files tarvex creates for the user (a default prefs.txt, a faders.txt template)
// are written beside their final name and renamed into place, so they appear whole or not at all.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "session/mix_session.h"

namespace tarvex {

// Writes `text` as the new file `path` through a temporary file in the same
// folder and a rename. Returns the reason (the system's words) when that
// fails; then no file of that name and no temporary file is left.
std::optional<std::string> createWholeFile(const std::string& path, std::string_view text);

// The files one run writes: the mix (or preview), the tap file, the report,
// the fader copy and the plot. Each is written under its temporary name (see
// common/staged_file.h) and all are put in place together once the last one
// is complete; a run that stops before that, on a failure or a signal,
// removes them all and leaves the earlier files of those names as they were.
class StagedOutputs {
  public:
    // An output of the run, from now on written under its temporary name.
    // `claimsLength` marks a WAV file whose header promises the whole render.
    void add(const std::string& what, const std::string& path, bool claimsLength);
    // Removes what an interrupted run left at the temporary names of the
    // outputs added so far, saying so on standard error for each.
    void removeLeftovers() const;
    // Flushes every output to the device and renames it into place. Ends the
    // run with status 1, nothing put in place, when one cannot be flushed;
    // false when one could not be renamed (said on standard output).
    bool commit();
    bool committed() const { return committed_; }
    // Closes the run's output streams and removes every temporary file. Unless
    // `quiet`, a WAV output that holds less than its header claims is named.
    void discard(MixState& state, bool quiet);

  private:
    struct Entry {
        std::string what; // "mix file", "statistics report", ...
        std::string path;
        bool claimsLength;
    };
    std::vector<Entry> entries_;
    bool committed_ = false;
};

} // namespace tarvex
