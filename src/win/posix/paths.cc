#include "win/paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "win/codepage.h"
#include "win/posix/errors.h"
#include "win/posix/process_state.h"

namespace win {
namespace {

using posix::FailWith;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// 'A'..'Z' when `path` starts with a drive letter and a colon, else 0.
char DriveLetterOf(const std::string& path) {
  if (path.size() < 2 || path[1] != ':') return 0;
  char letter = UpperAscii(path[0]);
  return letter >= 'A' && letter <= 'Z' ? letter : 0;
}

// The names of a host path: only '/' separates them there.
std::vector<std::string> HostComponents(const std::string& host_path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= host_path.size()) {
    size_t end = host_path.find('/', start);
    if (end == std::string::npos) end = host_path.size();
    if (end > start) parts.push_back(host_path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string JoinHost(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

bool IsWithin(const std::string& path, const std::string& folder) {
  return folder == "/" || path == folder ||
         (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
          path[folder.size()] == '/');
}

std::string RealPath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) return "";
  std::string result = resolved;
  std::free(resolved);
  return result;
}

// The dosdevices entry of drive `letter`, as it is spelled on disk; "" when the drive is not mapped.
std::string DriveLink(char letter) {
  std::string dosdevices = posix::DosDevicesPath();
  for (char spelling : {static_cast<char>(letter - 'A' + 'a'), letter}) {
    std::string link = dosdevices + "/" + spelling + ":";
    struct stat st;
    if (lstat(link.c_str(), &st) == 0) return link;
  }
  return "";
}

// The host folder of drive `letter`'s root, canonical. Fails like the Windows calls do for a drive that
// is not mapped (ERROR_PATH_NOT_FOUND) or whose mapping points at nothing (ERROR_NOT_READY).
bool DriveFolder(char letter, std::string& folder) {
  std::string link = DriveLink(letter);
  if (link.empty()) return FailWith(ERROR_PATH_NOT_FOUND);
  folder = RealPath(link);
  struct stat st;
  if (folder.empty() || stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return FailWith(ERROR_NOT_READY);
  return true;
}

// Finds the entry of host folder `folder` that Windows would open for `ansi_name`: the exact name, else
// one equal without regard to case (the smallest such name, so the choice does not depend on the
// folder's order). Writes the host spelling to `found`.
bool FindEntry(const std::string& folder, const std::string& ansi_name, std::string& found) {
  std::string utf8 = AnsiToUtf8(ansi_name);
  struct stat st;
  if (lstat(JoinHost(folder, utf8).c_str(), &st) == 0) {
    found = utf8;
    return true;
  }
  if (errno != ENOENT) return false;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return false;
  found.clear();
  while (const dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (EqualNoCase(Utf8ToAnsi(name), ansi_name) && (found.empty() || name < found)) found = name;
  }
  closedir(dir);
  return !found.empty();
}

// Host path made absolute and canonical as far as it exists; the rest is normalised by its text.
std::string CanonicalHostPath(const std::string& host_path) {
  std::string absolute = host_path;
  if (absolute.empty() || absolute[0] != '/') {
    char cwd[PATH_MAX];
    absolute = std::string(getcwd(cwd, sizeof cwd) ? cwd : "/") + "/" + absolute;
  }
  std::vector<std::string> parts;
  for (const std::string& part : HostComponents(absolute)) parts.push_back(part);
  // Find the longest prefix that exists, resolve it, then walk the rest by its text.
  for (std::size_t n = parts.size() + 1; n-- > 0;) {
    std::string prefix = "/";
    for (std::size_t i = 0; i < n; ++i) prefix = JoinHost(prefix, parts[i]);
    std::string resolved = RealPath(prefix);
    if (resolved.empty()) continue;
    std::vector<std::string> result = HostComponents(resolved);
    for (std::size_t i = n; i < parts.size(); ++i) {
      if (parts[i] == ".") continue;
      if (parts[i] == "..") {
        if (!result.empty()) result.pop_back();
        continue;
      }
      result.push_back(parts[i]);
    }
    std::string joined = "/";
    for (const std::string& part : result) joined = JoinHost(joined, part);
    return joined;
  }
  return "/";
}

// The remembered current directory of `drive`: the process's when it is on that drive, else the
// drive's own, else its root.
std::string CurrentDirectoryOfDrive(char drive) {
  std::string current = GetCurrentDirectoryA();
  if (current[0] == drive) return current;
  auto& state = posix::State();
  std::lock_guard guard(state.lock);
  const std::string& remembered = state.drive_current[drive - 'A'];
  return remembered.empty() ? std::string{drive, ':', '\\'} : remembered;
}

}  // namespace

bool GetFullPathName(const std::string& path, std::string& full) {
  if (path.empty()) return FailWith(ERROR_INVALID_NAME);
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return FailWith(ERROR_INVALID_NAME);
  std::string base;
  std::string rest = path;
  if (char drive = DriveLetterOf(path)) {
    rest = path.substr(2);
    base = !rest.empty() && IsSeparator(rest[0]) ? std::string{drive, ':', '\\'}
                                                 : CurrentDirectoryOfDrive(drive);
  } else if (IsSeparator(path[0])) {
    base = GetCurrentDirectoryA().substr(0, 3);
  } else {
    base = GetCurrentDirectoryA();
  }
  for (char c : rest)
    if (IsForbiddenInName(static_cast<unsigned char>(c))) return FailWith(ERROR_INVALID_NAME);

  std::vector<std::string> parts = PathComponents(base.substr(3));
  for (std::string part : PathComponents(rest)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();  // never above the drive's root
      continue;
    }
    // Windows drops trailing dots and spaces from a name ("Vantiro " is "Vantiro").
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    if (!part.empty()) parts.push_back(part);
  }
  full = base.substr(0, 3);
  for (std::size_t i = 0; i < parts.size(); ++i) full += (i ? "\\" : "") + parts[i];
  return true;
}

bool MapToHost(const std::string& path, std::string& host_path) {
  std::string full;
  if (!GetFullPathName(path, full)) return false;
  std::string host;
  if (!DriveFolder(full[0], host)) return false;
  bool existing = true;  // so far every component named an existing entry
  for (const std::string& part : PathComponents(full.substr(3))) {
    std::string name;
    existing = existing && FindEntry(host, part, name);
    host = JoinHost(host, existing ? name : AnsiToUtf8(part));
  }
  host_path = host;
  return true;
}

namespace {

// A host name as a Windows name. What Windows could not name as it stands (characters the code page
// lacks, a backslash, a trailing dot or space that Windows would drop and so name a sibling) gets a '?',
// so that any use of the path fails as an invalid name instead of reaching another folder.
std::string WindowsNameOf(const std::string& host_name) {
  std::string name = Utf8ToAnsi(host_name);
  for (char& c : name)
    if (c == '\\') c = '?';
  if (!name.empty() && (name.back() == '.' || name.back() == ' ')) name += '?';
  return name;
}

}  // namespace

std::string HostToWindows(const std::string& host_path) {
  std::string canonical = CanonicalHostPath(host_path);
  char best_letter = 'Z';
  std::string best_folder = "/";
  bool found = false;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    std::string link = DriveLink(letter);
    if (link.empty()) continue;
    std::string folder = RealPath(link);
    if (folder.empty() || !IsWithin(canonical, folder)) continue;
    if (!found || folder.size() > best_folder.size()) {
      best_letter = letter;
      best_folder = folder;
      found = true;
    }
  }
  std::string rest = best_folder == "/" ? canonical.substr(1) : canonical.substr(best_folder.size());
  std::string windows{best_letter, ':', '\\'};
  for (const std::string& part : HostComponents(rest))
    windows += (windows.size() > 3 ? "\\" : "") + WindowsNameOf(part);
  return windows;
}

std::string GetCurrentDirectoryA() {
  auto& state = posix::State();
  std::lock_guard guard(state.lock);
  if (state.current.empty()) {
    char cwd[PATH_MAX];
    state.current = HostToWindows(getcwd(cwd, sizeof cwd) ? cwd : "/");
    state.drive_current[state.current[0] - 'A'] = state.current;
  }
  return state.current;
}

bool SetCurrentDirectoryA(const std::string& path) {
  std::string full, host;
  if (!GetFullPathName(path, full) || !MapToHost(full, host)) return false;
  struct stat st;
  if (stat(host.c_str(), &st) != 0)
    return errno == ENOENT ? FailWith(posix::MissingPathError(host)) : posix::Fail(errno);
  if (!S_ISDIR(st.st_mode)) return FailWith(ERROR_DIRECTORY);
  if (chdir(host.c_str()) != 0) return posix::Fail(errno);
  auto& state = posix::State();
  std::lock_guard guard(state.lock);
  state.current = full;
  state.drive_current[full[0] - 'A'] = full;
  return true;
}

DWORD GetLogicalDrives() {
  DWORD drives = 0;
  DIR* dir = opendir(posix::DosDevicesPath().c_str());
  if (!dir) return 0;
  while (const dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name.size() == 2 && name[1] == ':')
      if (char letter = DriveLetterOf(name)) drives |= DWORD{1} << (letter - 'A');
  }
  closedir(dir);
  return drives;
}

UINT GetDriveTypeA(const std::string& root) {
  std::string drive_root = root.empty() ? GetCurrentDirectoryA().substr(0, 3) : root;
  char letter = DriveLetterOf(drive_root);
  if (!letter || drive_root.size() > 3 || (drive_root.size() == 3 && !IsSeparator(drive_root[2])))
    return DRIVE_NO_ROOT_DIR;
  if (DriveLink(letter).empty()) return DRIVE_NO_ROOT_DIR;
  std::string folder;
  // A mapping that points at nothing behaves like a removable drive without its medium.
  return DriveFolder(letter, folder) ? DRIVE_FIXED : DRIVE_REMOVABLE;
}

}  // namespace win
