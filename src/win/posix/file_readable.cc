#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "win/files.h"
#include "win/paths.h"

namespace win {

bool FileReadable(const std::string& path) {
  std::string host;
  if (!MapToHost(path, host)) return false;
  int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
    return false;
  }
  struct stat st;
  bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  close(fd);
  if (!regular) SetLastError(ERROR_ACCESS_DENIED);
  return regular;
}

}  // namespace win
