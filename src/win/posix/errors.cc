#include "win/posix/errors.h"

#include <sys/stat.h>

#include <cerrno>

namespace win::posix {
namespace {

// Windows codes the public header does not list, because nothing outside this table needs to name them.
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_BAD_FORMAT = 11;
constexpr DWORD ERROR_WRITE_PROTECT = 19;
constexpr DWORD ERROR_GEN_FAILURE = 31;

struct ErrnoMapping {
  int error;
  DWORD windows;
};

constexpr ErrnoMapping kErrnoTable[] = {
    {0, ERROR_SUCCESS},
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {ELOOP, ERROR_PATH_NOT_FOUND},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {EISDIR, ERROR_ACCESS_DENIED},
    {EROFS, ERROR_WRITE_PROTECT},
    {EEXIST, ERROR_ALREADY_EXISTS},
    {ENOTEMPTY, ERROR_DIR_NOT_EMPTY},
    {ENOSPC, ERROR_DISK_FULL},
    {EFBIG, ERROR_DISK_FULL},
    {EDQUOT, ERROR_DISK_FULL},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
    {EXDEV, ERROR_NOT_SAME_DEVICE},
    {EBUSY, ERROR_SHARING_VIOLATION},
    {ETXTBSY, ERROR_SHARING_VIOLATION},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {EBADF, ERROR_INVALID_HANDLE},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {ENOEXEC, ERROR_BAD_FORMAT},
    {ENODEV, ERROR_NOT_READY},
    {ENXIO, ERROR_NOT_READY},
    {ENOMEDIUM, ERROR_NOT_READY},
    {EIO, ERROR_GEN_FAILURE},
    {ENOSYS, ERROR_INVALID_FUNCTION},
    {EOPNOTSUPP, ERROR_INVALID_FUNCTION},
};

}  // namespace

DWORD WindowsErrorFromErrno(int error) {
  for (const auto& mapping : kErrnoTable)
    if (mapping.error == error) return mapping.windows;
  return ERROR_GEN_FAILURE;
}

bool Fail(int error) {
  SetLastError(WindowsErrorFromErrno(error));
  return false;
}

bool FailWith(DWORD code) {
  SetLastError(code);
  return false;
}

DWORD MissingPathError(const std::string& host_path) {
  auto slash = host_path.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : host_path.substr(0, slash);
  struct stat st;
  return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

}  // namespace win::posix
