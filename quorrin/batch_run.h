// The run without the menu: the operations of the command line applied to a
// fader file, then the cue list written to a file or standard output, or the
// fader file itself rewritten. Nothing is asked; messages go to `err`.
#pragma once

#include "quorrin/program_options.h"

#include <cstdint>
#include <iosfwd>
#include <string>

namespace quorrin {

// Returns the exit status: 0 when written, 1 when the file could not be read
// or edited or the result could not be written.
int32_t runBatch(const BatchRequest& request, const std::string& fileName, int32_t timeFields,
                 std::ostream& out, std::ostream& err);

} // namespace quorrin
