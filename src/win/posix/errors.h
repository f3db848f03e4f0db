// The one table from host errno values to Windows error codes, for every POSIX implementation of the
// layer, and the small rules around it (which "not found" a missing path is). No blocking beyond a stat.
#pragma once

#include <string>

#include "win/types.h"

namespace win::posix {

// The Windows error code Windows reports for the failure the host reports as `error`.
DWORD WindowsErrorFromErrno(int error);

// SetLastError(WindowsErrorFromErrno(error)); returns false so that callers can `return Fail(errno)`.
bool Fail(int error);
// SetLastError(code); returns false.
bool FailWith(DWORD code);

// What Windows says about a host path that does not exist: ERROR_FILE_NOT_FOUND when its folder exists,
// ERROR_PATH_NOT_FOUND when the folder is missing too.
DWORD MissingPathError(const std::string& host_path);

}  // namespace win::posix
