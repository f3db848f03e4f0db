// Windows paths on the emulated system root: resolution against the current directory, mapping to host
// paths, the process's current directory and the drives. Paths here are Windows-1252 Windows paths.
// Never blocks for long; runs no handlers.
#pragma once

#include <string>
#include <vector>

#include "win/types.h"

namespace win {

// Resolves `path` to a full Windows path "X:\a\b" (drive letter upper-case, "\" separators, no "." or
// ".." components, ".." clamped at the drive root, no trailing backslash except at a root). Accepts
// absolute ("C:\a"), drive-relative ("C:a", "C:" = that drive's current directory), root-relative
// ("\a", on the current drive) and relative paths; "/" separates like "\". Fails (false, last error
// ERROR_INVALID_NAME) for an empty path, a UNC path or characters Windows forbids in names.
bool GetFullPathName(const std::string& path, std::string& full);

// The names between the separators ("\\" or "/") of a Windows path, empty ones left out, nothing
// resolved: "C:\\a\\\\b\\" gives {"C:", "a", "b"}.
std::vector<std::string> PathComponents(const std::string& path);

// True for a character Windows forbids in a name: control characters and < > : " | ? * (the
// separators "\\" and "/" are the path's own).
bool IsForbiddenInName(unsigned char c);

// Maps a Windows path (resolved first as above) to the host path: the drive through dosdevices, then
// each existing component matched to a directory entry without regard to case; components that do not
// exist are kept as given, converted to UTF-8. Fails with ERROR_PATH_NOT_FOUND for an unmapped drive,
// ERROR_NOT_READY for a drive whose mapping points at nothing, ERROR_INVALID_NAME as above.
bool MapToHost(const std::string& path, std::string& host_path);

// Maps a host path back to a Windows path: the drive whose mapping holds it (the longest match), else Z:.
std::string HostToWindows(const std::string& host_path);

// The process's current directory, as GetCurrentDirectoryA reports it ("C:\" at a root, "C:\a" else).
// At first use it is the host's working directory mapped back to its drive.
std::string GetCurrentDirectoryA();

// Changes the process's current directory (and the drive's remembered current directory) and mirrors
// it to the host's working directory. Fails with ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND /
// ERROR_ACCESS_DENIED / ERROR_NOT_READY / ERROR_DIRECTORY and changes nothing.
bool SetCurrentDirectoryA(const std::string& path);

// Bit n set when drive 'A'+n is mapped in dosdevices (whether or not it is ready).
DWORD GetLogicalDrives();

enum : UINT { DRIVE_UNKNOWN = 0, DRIVE_NO_ROOT_DIR = 1, DRIVE_REMOVABLE = 2, DRIVE_FIXED = 3,
              DRIVE_REMOTE = 4, DRIVE_CDROM = 5, DRIVE_RAMDISK = 6 };
// Type of the drive whose root is `root` ("C:\").
UINT GetDriveTypeA(const std::string& root);

}  // namespace win
