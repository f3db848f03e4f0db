#include "win/system_root.h"

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include "win/codepage.h"
#include "win/paths.h"
#include "win/posix/errors.h"
#include "win/posix/host_io.h"
#include "win/posix/process_state.h"
#include "win/registry.h"

namespace win {
namespace posix {

ProcessState& State() {
  static ProcessState state;
  return state;
}

void InitialiseProcess() {
  static std::once_flag once;
  std::call_once(once, [] { signal(SIGXFSZ, SIG_IGN); });
}

std::string DosDevicesPath() { return SystemRootHostPath() + "/dosdevices"; }

}  // namespace posix

namespace {

constexpr char kHostsFile[] =
    "# Host names looked up before the system resolver, as in windows\\system32\\drivers\\etc\\hosts.\n"
    "# One address per line followed by its names; '#' starts a comment.\n"
    "\n"
    "127.0.0.1 localhost\n";

// The Windows directory's notepad.exe: opens the document it is given (a Windows path, or a host path
// when the layer has already mapped it) in the desktop's handler, else in $VISUAL/$EDITOR on a terminal,
// else prints the host path. Returns at once unless it is on a terminal and the editor takes it over.
constexpr char kTextEditorLauncher[] = R"(#!/bin/sh
# Text-editor launcher of the emulated Windows directory (drive_c/windows/notepad.exe).
# The document is the whole argument tail, as the Windows editor takes it: paths may hold spaces.
root=$(CDPATH= cd -P -- "$(dirname -- "$0")/../.." && pwd -P)
document="$*"
[ -n "$document" ] || exit 0
case $document in
  [A-Za-z]:\\* | [A-Za-z]:/* | [A-Za-z]:)
    drive=$(printf '%s' "$document" | cut -c1 | tr 'A-Z' 'a-z')
    rest=$(printf '%s' "$document" | cut -c3- | tr '\\' '/')
    document="$root/dosdevices/$drive:$rest" ;;
  *) document=$(printf '%s' "$document" | tr '\\' '/') ;;
esac
if [ -n "$DISPLAY$WAYLAND_DISPLAY" ] && command -v xdg-open >/dev/null 2>&1; then
  xdg-open "$document" </dev/null >/dev/null 2>&1 &
elif [ -n "${VISUAL:-$EDITOR}" ] && [ -t 0 ] && [ -t 1 ]; then
  exec ${VISUAL:-$EDITOR} "$document"
elif [ -n "${VISUAL:-$EDITOR}" ] && [ -n "$DISPLAY" ] && command -v x-terminal-emulator >/dev/null 2>&1; then
  x-terminal-emulator -e ${VISUAL:-$EDITOR} "$document" </dev/null >/dev/null 2>&1 &
else
  printf '%s\n' "$document"
fi
)";

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// mkdir -p that leaves existing folders (and links to folders) as they are.
bool MakeFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string prefix = path.substr(0, slash);
    struct stat st;
    if (stat(prefix.c_str(), &st) != 0 && mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST)
      return posix::Fail(errno);
    if (slash == std::string::npos) return true;
  }
}

bool MakeLink(const std::string& target, const std::string& link) {
  if (Exists(link)) return true;  // whatever is there, even a dangling link, is the user's choice
  if (symlink(target.c_str(), link.c_str()) != 0 && errno != EEXIST) return posix::Fail(errno);
  return true;
}

bool MakeFile(const std::string& path, const std::string& content, unsigned mode) {
  if (Exists(path)) return true;
  if (!posix::WriteFileAtomically(path, content, mode)) return posix::Fail(errno);
  return true;
}

}  // namespace

std::string SystemRootHostPath() {
  auto& state = posix::State();
  std::lock_guard guard(state.lock);
  if (!state.root.empty()) return state.root;
  std::string root;
  if (const char* env = std::getenv("WINROOT"); env && *env) {
    root = env;
  } else if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') {
    root = std::string(data) + "/winroot";
  } else {
    const char* home = std::getenv("HOME");
    std::string home_path = home && *home ? home : "";
    if (home_path.empty())
      if (const passwd* entry = getpwuid(getuid())) home_path = entry->pw_dir;
    root = home_path + "/.local/share/winroot";
  }
  // A relative root is taken relative to the working directory at first use: later changes of the
  // current directory must not move it.
  if (root.front() != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) root = std::string(cwd) + "/" + root;
  }
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  state.root = root;
  return root;
}

namespace {

// A login name that reads back the same through the code page and is a name Windows allows.
bool UsableAsProfileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  if (AnsiToUtf8(Utf8ToAnsi(name)) != name) return false;
  for (unsigned char c : name)
    if (c == '\\' || c == '/' || IsForbiddenInName(c)) return false;
  return true;
}

std::string LoginName() {
  if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_name && *entry->pw_name)
    return entry->pw_name;
  for (const char* variable : {"LOGNAME", "USER"})
    if (const char* name = std::getenv(variable); name && *name) return name;
  return "";
}

}  // namespace

std::string ProfileUserName() {
  std::string name = LoginName();
  return UsableAsProfileName(name) ? name : "user";
}

bool EnsureSystemRoot() {
  posix::InitialiseProcess();
  const std::string root = SystemRootHostPath();
  const std::string drive_c = root + "/drive_c";
  const std::string windows = drive_c + "/windows";
  const std::string profile = drive_c + "/users/" + ProfileUserName();
  // Seeded once: what the user removes or changes afterwards (a Programs folder, a shell-folder value)
  // stays as the user left it.
  const std::string seeded_mark = root + "/.seeded";
  if (access(seeded_mark.c_str(), F_OK) == 0) {
    SetLastError(ERROR_SUCCESS);
    return true;
  }
  for (const std::string& folder : {root + "/dosdevices", windows + "/system32/drivers/etc",
                                    profile + "/Desktop", profile + "/Start Menu/Programs"})
    if (!MakeFolders(folder)) return false;
  if (!MakeLink("../drive_c", root + "/dosdevices/c:") || !MakeLink("/", root + "/dosdevices/z:"))
    return false;
  if (!MakeFile(windows + "/system32/drivers/etc/hosts", kHostsFile, 0644)) return false;
  if (!MakeFile(windows + "/notepad.exe", kTextEditorLauncher, 0755)) return false;

  // The user's shell folders in HKEY_CURRENT_USER, pointing into `profile`; only missing values are set.
  if (!SeedUserShellFolders()) return false;
  if (!MakeFile(seeded_mark, "", 0644)) return false;

  SetLastError(ERROR_SUCCESS);
  return true;
}

void ResetProcessStateForTests() {
  auto& state = posix::State();
  std::lock_guard guard(state.lock);
  state.root.clear();
  state.current.clear();
  for (auto& folder : state.drive_current) folder.clear();
}

}  // namespace win
