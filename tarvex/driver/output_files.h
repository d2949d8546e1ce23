// What a run leaves on disk when a write fails.
//
// The mix and tap headers promise the whole render before the first block is
// written, so a run that stops part-way would leave a WAV file that claims
// more samples than it holds; such a file is removed. The files tarvex creates
// for the user (a default prefs.txt, a faders.txt template) are written beside
// their final name and renamed into place, so they appear whole or not at all.
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

// The WAV outputs of one run whose headers claim the full render length.
class UnfinishedOutputs {
  public:
    // Called before the file is first created or truncated.
    void add(const std::string& what, const std::string& path);
    // Every output was written and closed: nothing is removed any more.
    void finished();
    // Closes the run's output streams and removes every output that holds
    // less than its header claims, saying so for each. Outputs that are not regular files (a
    // device such as /dev/null) are left alone. Files reached through a
    // symbolic link are removed at the link's target, where they were written.
    void removeAll(MixState& state);

  private:
    struct Entry {
        std::string what; // "mix file" or "tap file"
        std::string path;
    };
    std::vector<Entry> entries_;
};

} // namespace tarvex
