// Runs a piece of a test as an ordinary user. Root ignores file modes, so a test that needs a refusal
// the user would meet forks, and the child drops to an unprivileged uid when the test runs as root.
// Header-only so that every test executable can use it without a build change. Blocks until the child ends.
#pragma once

#include <grp.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

namespace testing_support {

// The uid and gid a root test drops to.
constexpr uid_t kUnprivilegedUid = 65534;
constexpr gid_t kUnprivilegedGid = 65534;

inline bool RunningAsRoot() { return geteuid() == 0; }

// When running as root, hands `host_path` and everything under it to the unprivileged user, so that it
// is that user's own (as a system root normally is). Does nothing otherwise.
inline void GiveToUnprivilegedUser(const std::string& host_path) {
  if (!RunningAsRoot()) return;
  namespace fs = std::filesystem;
  lchown(host_path.c_str(), kUnprivilegedUid, kUnprivilegedGid);
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(host_path, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    lchown(it->path().c_str(), kUnprivilegedUid, kUnprivilegedGid);
}

// Runs `body` in a forked child (as the unprivileged user when running as root) and returns the text it
// returned; a child that does not finish normally gives "child failed: ..." instead.
inline std::string RunUnprivileged(const std::function<std::string()>& body) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return "child failed: no pipe";
  pid_t pid = fork();
  if (pid < 0) return "child failed: no fork";
  if (pid == 0) {
    close(pipe_fds[0]);
    if (RunningAsRoot() &&
        (setgroups(0, nullptr) != 0 || setgid(kUnprivilegedGid) != 0 || setuid(kUnprivilegedUid) != 0))
      _exit(3);
    std::string result = body();
    const char* p = result.data();
    size_t left = result.size();
    while (left > 0) {
      ssize_t n = write(pipe_fds[1], p, left);
      if (n <= 0) _exit(4);
      p += n;
      left -= static_cast<size_t>(n);
    }
    _exit(0);
  }
  close(pipe_fds[1]);
  std::string result;
  char buffer[4096];
  ssize_t n;
  while ((n = read(pipe_fds[0], buffer, sizeof buffer)) > 0) result.append(buffer, static_cast<size_t>(n));
  close(pipe_fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return "child failed: status " + std::to_string(status);
  return result;
}

}  // namespace testing_support
