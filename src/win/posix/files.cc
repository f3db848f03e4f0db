#include "win/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "win/codepage.h"
#include "win/paths.h"
#include "win/posix/errors.h"
#include "win/posix/host_io.h"
#include "win/posix/process_state.h"

namespace win {
namespace {

using posix::Fail;
using posix::FailWith;

constexpr char kWindowsDirectory[] = "C:\\windows";

std::string FolderOf(const std::string& host_path) {
  auto slash = host_path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : host_path.substr(0, slash);
}

// A hidden name beside `host_path` that no other writer picks: pid and random bits.
std::string TemporaryNameBeside(const std::string& host_path) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  char suffix[64];
  std::snprintf(suffix, sizeof suffix, ".copy-%d-%016llx", static_cast<int>(getpid()),
                static_cast<unsigned long long>(random()));
  std::string base = host_path.substr(host_path.rfind('/') + 1);
  return FolderOf(host_path) + "/." + base + suffix;
}

// Removes temporary copies for `host_path` left by a copier that was killed (its process is gone), so an
// interrupted installation does not leave a program-sized hidden file behind for good. A copy whose
// process still runs, or whose name does not parse, is left alone.
void RemoveAbandonedCopies(const std::string& host_path) {
  const std::string prefix = "." + host_path.substr(host_path.rfind('/') + 1) + ".copy-";
  DIR* dir = opendir(FolderOf(host_path).c_str());
  if (!dir) return;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    char* end = nullptr;
    long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
    if (pid <= 0 || !end || *end != '-') continue;
    if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    unlinkat(dirfd(dir), name.c_str(), 0);
  }
  closedir(dir);
}

// Fails for a path that does not exist, with the "not found" Windows gives for it.
bool FailMissing(const std::string& host_path) { return FailWith(posix::MissingPathError(host_path)); }

bool FailFromErrno(int error, const std::string& host_path) {
  return error == ENOENT ? FailMissing(host_path) : Fail(error);
}

// Copies the rest of `in` to `out`: in the kernel where it can, else through a large buffer.
bool CopyBytes(int in, int out) {
  bool kernel_copy = true;
  for (;;) {
    if (kernel_copy) {
      ssize_t n = copy_file_range(in, nullptr, out, nullptr, std::size_t{1} << 30, 0);
      if (n > 0) continue;
      if (n == 0) return true;
      if (errno == EINTR) continue;
      if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP && errno != EBADF)
        return false;
      kernel_copy = false;  // not between these two files: copy through user space from where it stopped
    }
    static thread_local std::vector<char> buffer(std::size_t{1} << 20);
    ssize_t n = read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    for (ssize_t done = 0; done < n;) {
      ssize_t written = write(out, buffer.data() + done, static_cast<std::size_t>(n - done));
      if (written < 0 && errno == EINTR) continue;
      if (written < 0) return false;
      done += written;
    }
  }
}

// Writes a copy of the open file `in` (whose status is `source`) to a temporary file beside `target`,
// flushes it and renames it over `target` (or, with `no_replace`, to `target` only when that is free).
// On failure the temporary file is gone, `target` is as it was, and errno tells why.
bool CopyOpenFile(int in, const struct stat& source, const std::string& target, bool no_replace) {
  RemoveAbandonedCopies(target);
  std::string temp = TemporaryNameBeside(target);
  int out = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (out < 0) return false;
  const timespec times[2] = {source.st_atim, source.st_mtim};  // Windows keeps the last-write time
  bool ok = CopyBytes(in, out) && fchmod(out, source.st_mode & 0777) == 0 && futimens(out, times) == 0 &&
            fsync(out) == 0;
  int saved = errno;
  if (close(out) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok) {
    int renamed = no_replace ? renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE)
                             : rename(temp.c_str(), target.c_str());
    if (renamed != 0 && no_replace && (errno == EINVAL || errno == ENOSYS)) {
      // The file system cannot rename without replacing: a hard link refuses an existing name too.
      renamed = link(temp.c_str(), target.c_str());
    }
    if (renamed != 0) {
      ok = false;
      saved = errno;
    }
  }
  // After a plain rename `temp` no longer exists; after the link fallback it is the spare name.
  if (!ok || no_replace) unlink(temp.c_str());
  if (!ok) {
    errno = saved;
    return false;
  }
  posix::SyncParentFolder(target);
  return true;
}

bool StatHost(const std::string& host, struct stat& st, bool follow) {
  if ((follow ? stat(host.c_str(), &st) : lstat(host.c_str(), &st)) == 0) return true;
  return FailFromErrno(errno, host);
}

}  // namespace

bool CreateDirectoryA(const std::string& path, const void* security_attributes) {
  if (security_attributes) return FailWith(ERROR_INVALID_PARAMETER);
  std::string host;
  if (!MapToHost(path, host)) return false;
  if (mkdir(host.c_str(), 0777) != 0) return errno == ENOENT ? FailWith(ERROR_PATH_NOT_FOUND) : Fail(errno);
  return true;
}

bool DeleteFileA(const std::string& path) {
  std::string host;
  if (!MapToHost(path, host)) return false;
  struct stat st;
  if (!StatHost(host, st, false)) return false;
  if (S_ISDIR(st.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
  if (unlink(host.c_str()) != 0) return FailFromErrno(errno, host);
  return true;
}

bool CopyFileA(const std::string& existing, const std::string& target, bool fail_if_exists) {
  posix::InitialiseProcess();
  std::string source_host, target_host;
  if (!MapToHost(existing, source_host) || !MapToHost(target, target_host)) return false;
  // Non-blocking, so that a pipe or device at the source cannot hang the open; only files are copied.
  int in = open(source_host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (in < 0) return FailFromErrno(errno, source_host);
  struct stat source;
  bool ok = fstat(in, &source) == 0 || Fail(errno);
  if (ok && !S_ISREG(source.st_mode)) ok = FailWith(ERROR_ACCESS_DENIED);
  struct stat followed, own;
  if (ok && lstat(target_host.c_str(), &own) == 0) {
    // The same file under another name (case, a hard link, another drive, a link to it) would be
    // emptied by a copy onto it: refuse, as Windows refuses to open a file twice for this.
    if (stat(target_host.c_str(), &followed) == 0 && followed.st_dev == source.st_dev &&
        followed.st_ino == source.st_ino)
      ok = FailWith(ERROR_SHARING_VIOLATION);
    else if (fail_if_exists)
      ok = FailWith(ERROR_FILE_EXISTS);
    else if (S_ISDIR(own.st_mode))
      ok = FailWith(ERROR_ACCESS_DENIED);
  }
  if (ok && !CopyOpenFile(in, source, target_host, fail_if_exists)) {
    ok = errno == EEXIST   ? FailWith(ERROR_FILE_EXISTS)
         : errno == ENOENT ? FailWith(ERROR_PATH_NOT_FOUND)  // the target's folder is missing
                           : Fail(errno);
  }
  close(in);
  return ok;
}

bool MoveFileA(const std::string& existing, const std::string& target) {
  std::string source_host, target_host;
  if (!MapToHost(existing, source_host) || !MapToHost(target, target_host)) return false;
  struct stat source;
  if (!StatHost(source_host, source, false)) return false;
  if (renameat2(AT_FDCWD, source_host.c_str(), AT_FDCWD, target_host.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  int error = errno;
  if ((error == EINVAL || error == ENOSYS) && !S_ISDIR(source.st_mode)) {
    // The file system cannot rename without replacing: link under the new name (which refuses an
    // existing one), then drop the old name.
    if (link(source_host.c_str(), target_host.c_str()) == 0) {
      unlink(source_host.c_str());
      return true;
    }
    error = errno;
  }
  if (error == EXDEV && S_ISREG(source.st_mode)) {
    // Another file system: Windows moves a file across volumes by copying it and deleting the original.
    int in = open(source_host.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return Fail(errno);
    bool copied = CopyOpenFile(in, source, target_host, true);
    error = errno;
    close(in);
    if (copied) {
      unlink(source_host.c_str());
      return true;
    }
  }
  if (error == EEXIST || error == ENOTEMPTY) return FailWith(ERROR_ALREADY_EXISTS);
  if (error == ENOENT)
    return FailWith(ERROR_PATH_NOT_FOUND);  // the source was there: the target's folder is not
  return Fail(error);
}

UINT GetWindowsDirectoryA(char* buffer, UINT size) {
  const UINT length = static_cast<UINT>(std::strlen(kWindowsDirectory));
  if (!buffer || size <= length) return length + 1;
  std::memcpy(buffer, kWindowsDirectory, length + 1);
  return length;
}

std::string WindowsDirectory() { return kWindowsDirectory; }

bool SameFile(const std::string& a, const std::string& b) {
  std::string host_a, host_b;
  if (!MapToHost(a, host_a) || !MapToHost(b, host_b)) return false;
  struct stat st_a, st_b;
  if (!StatHost(host_a, st_a, true) || !StatHost(host_b, st_b, true)) return false;
  return st_a.st_dev == st_b.st_dev && st_a.st_ino == st_b.st_ino;
}

DWORD GetFileAttributesA(const std::string& path) {
  std::string host;
  struct stat st;
  if (!MapToHost(path, host) || !StatHost(host, st, true)) return INVALID_FILE_ATTRIBUTES;
  return S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
}

bool ListDirectory(const std::string& path, std::vector<FindData>& entries) {
  std::string host;
  if (!MapToHost(path, host)) return false;
  struct stat st;
  if (!StatHost(host, st, true)) return false;
  if (!S_ISDIR(st.st_mode)) return FailWith(ERROR_DIRECTORY);
  DIR* dir = opendir(host.c_str());
  if (!dir) return Fail(errno);
  entries.clear();
  while (const dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat child;
    bool folder = fstatat(dirfd(dir), entry->d_name, &child, 0) == 0 && S_ISDIR(child.st_mode);
    entries.push_back({Utf8ToAnsi(name), folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE});
  }
  closedir(dir);
  return true;
}

}  // namespace win
