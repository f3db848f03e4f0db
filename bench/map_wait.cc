// map_wait: measures how long a program takes to put its window on the screen. Watches the X display
// for top-level windows being mapped, starts the command, and prints the seconds from exec until a
// window with one of the given titles is mapped. Then ends the command (by its pid), waits until its
// window is destroyed, and exits. Exit code 1 when no such window shows within the time limit.
//
//   map_wait [--timeout SECONDS] --title TITLE [--title TITLE...] -- COMMAND [ARG...]
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string TitleOf(Display* display, Window window) {
  char* name = nullptr;
  std::string title;
  if (XFetchName(display, window, &name) && name) title = name;
  if (name) XFree(name);
  return title;
}

// Next event, or false when none came before `deadline`.
bool NextEvent(Display* display, XEvent& event, Clock::time_point deadline) {
  while (!XPending(display)) {
    auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    fd_set fds;
    FD_ZERO(&fds);
    FD_SET(ConnectionNumber(display), &fds);
    timeval timeout{static_cast<time_t>(left / 1000000), static_cast<suseconds_t>(left % 1000000)};
    select(ConnectionNumber(display) + 1, &fds, nullptr, nullptr, &timeout);
  }
  XNextEvent(display, &event);
  return true;
}

int Usage(const char* program) {
  std::fprintf(stderr, "usage: %s [--timeout SECONDS] --title TITLE... -- COMMAND [ARG...]\n", program);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> titles;
  double timeout_seconds = 30;
  int i = 1;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (std::strcmp(argv[i], "--title") == 0 && i + 1 < argc)
      titles.push_back(argv[++i]);
    else if (std::strcmp(argv[i], "--timeout") == 0 && i + 1 < argc)
      timeout_seconds = std::atof(argv[++i]);
    else
      return Usage(argv[0]);
  }
  if (titles.empty() || i + 1 >= argc) return Usage(argv[0]);
  char** command = argv + i + 1;

  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "map_wait: cannot open the display\n");
    return 1;
  }
  Window root = DefaultRootWindow(display);
  // Without a window manager a top-level window's MapNotify reaches the root's substructure listeners.
  XSelectInput(display, root, SubstructureNotifyMask);
  XSync(display, False);

  auto start = Clock::now();
  pid_t pid = fork();
  if (pid < 0) {
    std::perror("fork");
    return 1;
  }
  if (pid == 0) {
    execvp(command[0], command);
    std::perror(command[0]);
    _exit(127);
  }

  auto deadline =
      start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeout_seconds));
  Window shown = 0;
  double seconds = 0;
  XEvent event;
  while (!shown && NextEvent(display, event, deadline)) {
    if (event.type != MapNotify) continue;
    std::string title = TitleOf(display, event.xmap.window);
    for (const std::string& wanted : titles) {
      if (title == wanted) {
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        shown = event.xmap.window;
      }
    }
  }

  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  // The server destroys the windows of a client that went away; wait for it, so that the next program
  // measured never sees this one's window.
  auto destroy_deadline = Clock::now() + std::chrono::seconds(5);
  while (shown && NextEvent(display, event, destroy_deadline))
    if (event.type == DestroyNotify && event.xdestroywindow.window == shown) break;
  XCloseDisplay(display);
  if (!shown) {
    std::fprintf(stderr, "map_wait: no window titled as asked within %.0f s\n", timeout_seconds);
    return 1;
  }
  std::printf("%.4f\n", seconds);
  return 0;
}
