// Writing the template to disk without ever losing the user's mix script. The
// new text goes to a temporary file beside the target, is flushed to the
// device and only then renamed over the target, so a failure part-way (a full
// disk, a file-size limit) leaves the old file exactly as it was. A target
// that is not a plain file (a device, a FIFO) is written in place instead.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmont {

// Replaces the contents of `path` with `text`. A target that exists but could
// not be opened for writing (a directory, a read-only file) is refused, as a
// plain open for writing would refuse it. Returns nothing on success, else a
// message naming the file and the system's reason.
std::optional<std::string> replaceFileContents(const std::string& path, std::string_view text);

// Creates `path` empty when it does not exist; an existing file is left
// untouched. Returns nothing on success, else a message as above.
std::optional<std::string> createFileIfMissing(const std::string& path);

} // namespace velmont
