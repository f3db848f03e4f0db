// WinExec over fork and exec: the program is started detached (its own session, reparented to init)
// and never waited for; the only wait is for the short-lived middle process and for the exec itself,
// whose failure comes back through a close-on-exec pipe.
#include "win/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "win/codepage.h"
#include "win/command_line.h"
#include "win/files.h"
#include "win/paths.h"
#include "win/posix/errors.h"

extern char** environ;

namespace win {
namespace {

constexpr UINT kStarted = 33;  // any value above 31 means the program started
constexpr UINT kOutOfResources = 0;
constexpr UINT kBadFormat = 11;

bool IsRegularFile(const std::string& host) {
  struct stat st;
  return stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool HasSeparatorOrDrive(const std::string& name) { return name.find_first_of("\\/:") != std::string::npos; }

// A host program found on PATH, as a shell would find it; "" when there is none.
std::string FindOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
  for (std::size_t start = 0;;) {
    std::size_t colon = folders.find(':', start);
    std::string folder =
        folders.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
    if (IsRegularFile(candidate) && access(candidate.c_str(), X_OK) == 0) return candidate;
    if (colon == std::string::npos) return "";
    start = colon + 1;
  }
}

// The host file a program name names, as Windows looks for it: the name as given, then with ".exe"
// when it has no extension; a bare name in the current directory, the system and Windows directories,
// then on the host's PATH.
bool ResolveProgram(const std::string& name, std::string& host) {
  std::vector<std::string> spellings = {name};
  std::string base =
      name.substr(name.find_last_of("\\/:") == std::string::npos ? 0 : name.find_last_of("\\/:") + 1);
  if (!base.empty() && base.find('.') == std::string::npos) spellings.push_back(name + ".exe");
  std::vector<std::string> folders = {""};
  if (!HasSeparatorOrDrive(name))
    folders = {"", WindowsDirectory() + "\\system32\\", WindowsDirectory() + "\\"};
  for (const std::string& folder : folders)
    for (const std::string& spelling : spellings)
      if (MapToHost(folder + spelling, host) && IsRegularFile(host)) return true;
  if (!HasSeparatorOrDrive(name))
    for (const std::string& spelling : spellings)
      if (host = FindOnPath(AnsiToUtf8(spelling)); !host.empty()) return true;
  return false;
}

// WinExec's answer for a program that could not be found under `name`.
UINT MissingProgramError(const std::string& name) {
  std::string host;
  if (!MapToHost(name, host))
    return GetLastError() == ERROR_PATH_NOT_FOUND ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
  struct stat st;
  if (stat(host.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
  return posix::MissingPathError(host);
}

// Finds the program at the start of `line`. An unquoted path with spaces is tried from its shortest
// prefix up ("C:\Program Files\x.exe a" tries "C:\Program", then "C:\Program Files\x.exe"). On success
// `rest` holds the arguments' text.
bool FindProgram(const std::string& line, std::string& host, std::string& rest, UINT& error) {
  std::string first = ProgramWord(line, rest);
  std::size_t start = line.find_first_not_of(" \t");
  if (start != std::string::npos && line[start] != '"') {
    for (std::size_t end = start; end != std::string::npos && end < line.size();) {
      end = line.find_first_of(" \t", end + 1);
      std::string candidate = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
      if (ResolveProgram(candidate, host)) {
        rest = end == std::string::npos ? "" : line.substr(end);
        return true;
      }
    }
  } else if (!first.empty() && ResolveProgram(first, host)) {
    return true;
  }
  error = first.empty() ? ERROR_FILE_NOT_FOUND : MissingProgramError(first);
  return false;
}

bool LooksLikeWindowsPath(const std::string& word) {
  return word.size() >= 3 && ((word[0] >= 'A' && word[0] <= 'Z') || (word[0] >= 'a' && word[0] <= 'z')) &&
         word[1] == ':' && (word[2] == '\\' || word[2] == '/');
}

bool Exists(const std::string& host) {
  struct stat st;
  return lstat(host.c_str(), &st) == 0;
}

// The arguments as host strings: split Windows-style, in UTF-8, each Windows absolute path mapped to
// its host path. An unquoted path that does not exist as a word but does together with the words after
// it ("C:\Program Files\a.txt") is taken whole, as the Windows programs that take one document do.
std::vector<std::string> HostArguments(const std::string& rest, bool for_wine) {
  std::vector<CommandLineWord> words = SplitCommandLine(rest);
  std::vector<std::string> arguments;
  for (std::size_t i = 0; i < words.size(); ++i) {
    std::string host;
    if (!LooksLikeWindowsPath(words[i].text) || !MapToHost(words[i].text, host)) {
      arguments.push_back(AnsiToUtf8(words[i].text));
      continue;
    }
    if (!words[i].quoted && !Exists(host)) {
      for (std::size_t j = i + 1; j < words.size() && !words[j].quoted; ++j) {
        std::string longer;
        if (MapToHost(rest.substr(words[i].begin, words[j].end - words[i].begin), longer) && Exists(longer)) {
          host = longer;
          i = j;
          break;
        }
      }
    }
    if (for_wine) {
      // wine reads Windows paths in its own prefix, where Z: is the host's root.
      for (char& c : host)
        if (c == '/') c = '\\';
      host = "Z:" + host;
    }
    arguments.push_back(host);
  }
  return arguments;
}

enum class ImageKind { kNative, kScript, kWindows, kUnknown };

ImageKind KindOf(const std::string& host) {
  char head[4] = {};
  int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ImageKind::kUnknown;
  ssize_t n = read(fd, head, sizeof head);
  close(fd);
  if (n >= 4 && std::memcmp(head,
                            "\x7f"
                            "ELF",
                            4) == 0)
    return ImageKind::kNative;
  if (n >= 2 && head[0] == '#' && head[1] == '!') return ImageKind::kScript;
  if (n >= 2 && head[0] == 'M' && head[1] == 'Z') return ImageKind::kWindows;
  return ImageKind::kUnknown;
}

// The interpreter line of a script ("#!/bin/sh -e" gives {"/bin/sh", "-e"}), for scripts that lack
// the execute permission: Windows runs a program whatever its mode.
std::vector<std::string> Interpreter(const std::string& host) {
  char line[256] = {};
  int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  ssize_t n = read(fd, line, sizeof line - 1);
  close(fd);
  std::string text(line, n > 0 ? static_cast<std::size_t>(n) : 0);
  text = text.substr(2, text.find('\n') == std::string::npos ? std::string::npos : text.find('\n') - 2);
  std::size_t start = text.find_first_not_of(" \t");
  if (start == std::string::npos) return {};
  std::size_t end = text.find_first_of(" \t", start);
  std::vector<std::string> result = {
      text.substr(start, end == std::string::npos ? std::string::npos : end - start)};
  if (end != std::string::npos) {
    std::size_t arg = text.find_first_not_of(" \t", end);
    std::size_t arg_end = text.find_last_not_of(" \t\r");
    if (arg != std::string::npos && arg_end >= arg) result.push_back(text.substr(arg, arg_end - arg + 1));
  }
  return result;
}

UINT ErrorFromExecErrno(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case ENOEXEC:
    case ELIBBAD:
      return kBadFormat;
    default:
      return kOutOfResources;
  }
}

// Runs `argv` detached: a middle process starts a new session and forks the program, then exits at
// once and is reaped here, so the program belongs to init and leaves no zombie behind.
UINT StartDetached(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;
  for (const std::string& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
  pointers.push_back(nullptr);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return kOutOfResources;
  pid_t middle = fork();
  if (middle == 0) {
    // Only async-signal-safe calls from here to exec.
    close(report[0]);
    setsid();
    pid_t program = fork();
    if (program != 0) {
      if (program < 0) {
        int error = errno;
        (void)!write(report[1], &error, sizeof error);
      }
      _exit(0);
    }
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (int signal_number = 1; signal_number < NSIG; ++signal_number)
      sigaction(signal_number, &defaults, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    int null = open("/dev/null", O_RDONLY);
    if (null >= 0 && null != 0) {
      dup2(null, 0);
      close(null);
    }
    // Nothing of ours leaks into the program (libraries open descriptors without close-on-exec too).
    // Kernels before 5.11 lack the flag: mark each descriptor then.
    if (close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
      rlimit open_files{};
      int limit = getrlimit(RLIMIT_NOFILE, &open_files) == 0 && open_files.rlim_cur < 65536
                      ? static_cast<int>(open_files.rlim_cur)
                      : 65536;
      for (int fd = 3; fd < limit; ++fd) fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    execve(pointers[0], pointers.data(), environ);
    int error = errno;
    (void)!write(report[1], &error, sizeof error);
    _exit(127);
  }
  close(report[1]);
  if (middle < 0) {
    close(report[0]);
    return kOutOfResources;
  }
  while (waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t n;
  while ((n = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  return n == static_cast<ssize_t>(sizeof error) ? ErrorFromExecErrno(error) : kStarted;
}

}  // namespace

UINT WinExec(const std::string& command_line, UINT show_command) {
  (void)show_command;  // how the window shows is the host window manager's choice
  std::string host, rest;
  UINT error = 0;
  if (!FindProgram(command_line, host, rest, error)) return error;
  const ImageKind kind = KindOf(host);
  std::vector<std::string> argv;
  switch (kind) {
    case ImageKind::kNative:
      argv = {host};
      break;
    case ImageKind::kScript:
      argv = {host};
      if (access(host.c_str(), X_OK) != 0) {
        argv = Interpreter(host);
        if (argv.empty()) return kBadFormat;
        argv.push_back(host);
      }
      break;
    case ImageKind::kWindows: {
      std::string wine = FindOnPath("wine");
      if (wine.empty()) return kBadFormat;
      argv = {wine, host};
      break;
    }
    case ImageKind::kUnknown:
      return kBadFormat;
  }
  for (std::string& argument : HostArguments(rest, kind == ImageKind::kWindows))
    argv.push_back(std::move(argument));
  return StartDetached(argv);
}

}  // namespace win
