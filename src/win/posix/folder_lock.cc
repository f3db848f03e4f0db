// The hold is an advisory lock on the folder itself (flock on a descriptor of the directory): nothing is
// written into the folder, which may be read-only, and the kernel drops the lock with the process.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "win/files.h"
#include "win/paths.h"
#include "win/posix/errors.h"

namespace win {

bool FolderLock::TryAcquire(const std::string& folder) {
  Release();
  std::string host;
  if (!MapToHost(folder, host)) return false;
  int fd = open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    int error = errno;
    if (error == ENOENT) return posix::FailWith(posix::MissingPathError(host));
    return error == ENOTDIR ? posix::FailWith(ERROR_DIRECTORY) : posix::Fail(error);
  }
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    int error = errno;
    close(fd);
    return error == EWOULDBLOCK ? posix::FailWith(ERROR_SHARING_VIOLATION) : posix::Fail(error);
  }
  fd_ = fd;
  return true;
}

void FolderLock::Release() {
  if (fd_ < 0) return;
  close(fd_);  // closing the only descriptor of this open drops the lock
  fd_ = -1;
}

}  // namespace win
