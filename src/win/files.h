// Windows file services on the emulated system root: the Windows names, success-or-failure results
// and overwrite rules, with GetLastError telling why a call failed. Paths are Windows-1252.
// They block for as long as the disk takes; they run no handlers.
#pragma once

#include <string>
#include <vector>

#include "win/types.h"

namespace win {

// Creates one directory level. Fails when it exists (ERROR_ALREADY_EXISTS) or the parent is missing
// (ERROR_PATH_NOT_FOUND). The security attributes are not supported; pass nullptr.
bool CreateDirectoryA(const std::string& path, const void* security_attributes);

// Deletes a file (not a directory). Fails when it is missing.
bool DeleteFileA(const std::string& path);

// Copies a file. With fail_if_exists false an existing target is replaced. The copy never leaves a
// half-written target: data goes to a temporary file in the target's folder, is flushed to disk and
// renamed over the target (so a link at the target is replaced, never written through). Copying a
// file onto itself fails (ERROR_SHARING_VIOLATION) and leaves it untouched.
bool CopyFileA(const std::string& existing, const std::string& target, bool fail_if_exists);

// Renames (moves) a file. Fails when the new name exists (ERROR_ALREADY_EXISTS) or the old file is
// missing; never replaces silently.
bool MoveFileA(const std::string& existing, const std::string& target);

// Writes the Windows directory ("C:\windows") into `buffer` (size counts the terminating zero). Returns
// the length copied, or, when it does not fit, the size needed including the zero (buffer untouched).
UINT GetWindowsDirectoryA(char* buffer, UINT size);

// The Windows directory as a string, whatever its length.
std::string WindowsDirectory();

// True when `a` and `b` name the same existing file or directory (same host inode).
bool SameFile(const std::string& a, const std::string& b);

enum : DWORD { FILE_ATTRIBUTE_DIRECTORY = 0x10, FILE_ATTRIBUTE_ARCHIVE = 0x20 };
// File attributes, or INVALID_FILE_ATTRIBUTES when the path does not exist.
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
DWORD GetFileAttributesA(const std::string& path);

struct FindData {
  std::string name;  // Windows-1252; host names the code page lacks come out with '?'
  DWORD attributes = 0;
};
// Lists the entries of a directory ("." and ".." left out), unsorted. Fails like SetCurrentDirectoryA.
bool ListDirectory(const std::string& path, std::vector<FindData>& entries);

}  // namespace win

namespace win {
// True when the file exists and this process may open it for reading (as CreateFileA with
// GENERIC_READ would succeed).
bool FileReadable(const std::string& path);
}  // namespace win

namespace win {
// An exclusive hold on a folder, kept while the object lives (and by nobody once the process ends,
// however it ends). Two installers moving the same product's files take turns through it: checking a
// source and deleting the installed copy it replaces must not interleave with another run's moves.
class FolderLock {
 public:
  FolderLock() = default;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock() { Release(); }

  // Takes the hold without waiting. Fails with ERROR_SHARING_VIOLATION while another holder has it, and
  // like ListDirectory when the folder cannot be opened. A hold already taken is released first.
  bool TryAcquire(const std::string& folder);
  void Release();
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};
}  // namespace win
