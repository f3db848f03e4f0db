// Host-side file helpers shared by the POSIX implementations of the Windows services: whole-file
// atomic replacement and reading. Host paths are UTF-8. They block on the disk; they run no handlers.
#pragma once

#include <string>
#include <string_view>

namespace win::posix {

// Replaces the host file `path` with `bytes` so that a reader, or a crash at any moment, sees the old
// file or the new one, never a part: a temporary file in the same folder, written, flushed (fsync),
// renamed over `path` (a link at `path` is replaced, not followed), then the folder flushed. The new
// file gets `mode`, masked by the umask unless `exact_mode` (a replaced file keeping the permissions it
// had). On failure the temporary file is removed, `path` is as it was, and errno tells why.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, unsigned mode = 0644,
                         bool exact_mode = false);

// Reads a whole host file. False with errno set when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes);

// Flushes the folder that holds `path`, so that a rename into it is durable.
void SyncParentFolder(const std::string& path);

}  // namespace win::posix
