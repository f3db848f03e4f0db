#include "support/x_display.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "win/process.h"

extern char** environ;

namespace testing_support {
namespace {

int Spawn(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return -1;
  return pid;
}

void End(int pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

}  // namespace

XDisplay::XDisplay() {
  if (const char* d = std::getenv("DISPLAY")) {
    had_display_ = true;
    saved_display_ = d;
  }
  int n = 150 + static_cast<int>(getpid() % 100);
  struct stat st;
  while (stat(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), &st) == 0) ++n;
  std::string display = ":" + std::to_string(n);
  pid_ = Spawn({"Xvfb", display, "-screen", "0", "800x600x24", "-noreset", "-nolisten", "tcp"});
  if (pid_ <= 0) return;
  setenv("DISPLAY", display.c_str(), 1);
  std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
  for (int i = 0; i < 100 && stat(socket.c_str(), &st) != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

XDisplay::~XDisplay() {
  for (int pid : children_) End(pid);
  End(pid_);
  if (had_display_) setenv("DISPLAY", saved_display_.c_str(), 1);
  else unsetenv("DISPLAY");
}

bool XDisplay::StartWindowProgram(const std::vector<std::string>& argv, const std::string& title) {
  int pid = Spawn(argv);
  if (pid <= 0) return false;
  children_.push_back(pid);
  for (int i = 0; i < 100; ++i) {
    if (win::FindWindowA(nullptr, title.c_str()) != 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

}  // namespace testing_support
