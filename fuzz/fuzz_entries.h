// Entry functions of the fuzz targets.
//
// Each function reads one input through the same functions the programs use
// on their files and returns instead of ending the process: a run that the
// reader stops (RunStopped) counts as a handled input. The result is 0 when
// the input was handled; any other value names a broken promise of the
// reader (a header that claims samples the file does not hold, a table
// entry outside its range) and the fuzz target aborts on it. The test suite
// replays every stored input through the same functions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz_entry {

// WAV header reader, then the sample decoder over the data it accepted.
int wavInput(const uint8_t* data, size_t size);
// Track list: counted and read in every layout (label or not, spaces or tabs).
int trackList(const uint8_t* data, size_t size);
// Preferences: loaded, then the render window, output settings and offset.
int preferences(const uint8_t* data, size_t size);
// Fader file: start offsets, mix name, routing, tempo map, time entries,
// pan set-up and effect lines, in clock time and in tempo mode.
int faderFile(const uint8_t* data, size_t size);
// Velmont: the answer reader on its own, then the whole dialogue and the
// template it settles.
int velmontAnswers(const uint8_t* data, size_t size);
// Quorrin: the loader with 1, 2 and 3 time fields, then both orderings of the
// text and the edits of the menu.
int quorrinLoader(const uint8_t* data, size_t size);

} // namespace fuzz_entry
