// Windows paths against a fixed system root: whatever is typed, GetFullPathName gives a canonical full
// path or fails with ERROR_INVALID_NAME, resolving its result again changes nothing, and MapToHost never
// leaves the folder of the drive the path names (".." stops at a drive's root).
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "win/paths.h"
#include "win/system_root.h"
#include "win/types.h"

namespace {

namespace fs = std::filesystem;

std::string g_root;

void Check(bool ok, const char* what, const std::string& path, const std::string& result) {
  if (ok) return;
  std::fprintf(stderr, "paths: %s\n  input  \"%s\"\n  result \"%s\"\n", what, path.c_str(), result.c_str());
  std::abort();
}

bool IsCanonical(const std::string& full) {
  if (full.size() < 3 || full[0] < 'A' || full[0] > 'Z' || full[1] != ':' || full[2] != '\\') return false;
  if (full.size() == 3) return true;
  if (full.back() == '\\' || full.find('/') != std::string::npos || full.find("\\\\") != std::string::npos)
    return false;
  size_t start = 3;
  while (start <= full.size()) {
    size_t end = full.find('\\', start);
    if (end == std::string::npos) end = full.size();
    std::string part = full.substr(start, end - start);
    if (part.empty() || part == "." || part == ".." || part.back() == '.' || part.back() == ' ') return false;
    start = end + 1;
  }
  return true;
}

// The host folder each drive of the fixed root maps to.
std::string DriveFolder(char letter) {
  switch (letter) {
    case 'C':
      return fs::canonical(g_root + "/drive_c").string();
    case 'D':
      return fs::canonical(g_root + "/drive_d").string();
    case 'Z':
      return "/";
    default:
      return "";
  }
}

bool Within(const std::string& host, const std::string& folder) {
  if (folder == "/") return !host.empty() && host[0] == '/';
  return host == folder || (host.size() > folder.size() && host.compare(0, folder.size(), folder) == 0 &&
                            host[folder.size()] == '/');
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string pattern = (fs::temp_directory_path() / "fuzz-paths-XXXXXX").string();
  if (!mkdtemp(pattern.data())) std::abort();
  g_root = pattern;
  setenv("WINROOT", g_root.c_str(), 1);
  win::ResetProcessStateForTests();
  if (!win::EnsureSystemRoot()) std::abort();
  // Entries to match without regard to case, a code-page name, and a second drive.
  fs::create_directories(g_root + "/drive_c/Program Files/Vantiro");
  fs::create_directories(g_root + "/drive_c/Caf\xC3\xA9/Dup");
  fs::create_directories(g_root + "/drive_c/Caf\xC3\xA9/dup");
  fs::create_directories(g_root + "/drive_d/Data");
  fs::create_directory_symlink("../drive_d", g_root + "/dosdevices/d:");
  fs::create_directory_symlink("../nowhere", g_root + "/dosdevices/e:");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  if (size == 0 || size > 4096) return 0;
  // The first byte picks the current directory the path is resolved against.
  static const char* const kCurrent[] = {"C:\\", "C:\\Program Files\\Vantiro", "D:\\Data",
                                         "C:\\caf\xE9\\DUP"};
  if (!win::SetCurrentDirectoryA(kCurrent[data[0] % 4])) std::abort();
  std::string path(reinterpret_cast<const char*>(data) + 1, size - 1);

  std::string full;
  if (!win::GetFullPathName(path, full)) {
    Check(win::GetLastError() == win::ERROR_INVALID_NAME, "a failure other than an invalid name", path, "");
    return 0;
  }
  Check(IsCanonical(full), "not a canonical full path", path, full);
  std::string again;
  Check(win::GetFullPathName(full, again) && again == full, "resolving a full path changes it", path, again);

  std::string host;
  if (!win::MapToHost(path, host)) {
    win::DWORD error = win::GetLastError();
    Check(error == win::ERROR_PATH_NOT_FOUND || error == win::ERROR_NOT_READY,
          "an unexpected mapping failure", path, full);
    Check(full[0] != 'C' && full[0] != 'D' && full[0] != 'Z', "a mapped drive failed to map", path, full);
    return 0;
  }
  std::string folder = DriveFolder(full[0]);
  Check(!folder.empty(), "an unmapped drive mapped", path, host);
  Check(Within(host, folder), "the host path leaves the drive's folder", path, host);
  Check(host.find("/../") == std::string::npos && host.find("/./") == std::string::npos,
        "a dot component in the host path", path, host);
  return 0;
}
