// Files written beside their final name and put in place whole.
//
// The new contents go to a temporary file in the folder of the final file
// (of a symbolic link's target, when the name is a link), named after it with
// a leading dot and a ".partial" suffix: ".mix.wav.partial" for "mix.wav".
// A program that is stopped for good part-way leaves at most that file, which
// no player takes for a finished one and a user can tell apart. Only when the
// contents are complete is the temporary file flushed to the device, renamed
// over the final name and the folder flushed too; until then an earlier file
// of that name stays as it was, byte for byte. A final name that is a device
// or a FIFO (/dev/null, say) cannot be replaced by a rename: it is written in
// place. A replaced file keeps its permission bits.
//
// Every function returns 0 or the system's error number; nothing is printed.
#pragma once

#include <string>
#include <string_view>

namespace toolset {

// The file `path` stands for once symbolic links are followed; `path` itself
// when it is no link or the link leads nowhere.
std::string resolvedTarget(const std::string& path);

// The temporary name that stands in for `path` while it is written.
std::string stagingPathOf(const std::string& path);

// True when `path` is a device or a FIFO, which is written in place.
bool writtenInPlace(const std::string& path);

// Writes all of `text` to `fd`, going on after short writes and interrupted
// calls. Returns 0 or the system's error number.
int writeAll(int fd, std::string_view text);

// Opens what stands in for `path` for writing: a new temporary file (one of
// that name that is already there is refused), or the device itself. Returns
// the descriptor, or -1 with the reason in errno.
int openStaged(const std::string& path);

// `text` as the new contents of `path`, staged and closed. A temporary file
// that could not be written whole is removed again.
int writeStaged(const std::string& path, std::string_view text);

// Starts writing what was written to `fd` so far to the device, without
// waiting for it, so that the flush at the end has little left to do. Where
// the system cannot do that, nothing happens.
void startWriteback(int fd);

// Flushes the staged contents of `path` to the device.
int syncStaged(const std::string& path);

// Renames the staged contents over `path`.
int commitStaged(const std::string& path);

// Flushes the folder that holds `path` (its target, for a link), so that
// the renames in it last.
int syncFolderOf(const std::string& path);

// Removes the staged contents of `path`; true when there was a file.
bool discardStaged(const std::string& path);

} // namespace toolset
