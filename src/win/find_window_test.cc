#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "win/process.h"

// Xlib last: its macros (None, Bool) would break the test framework's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace win {
namespace {

// An X server of our own for the window tests, started once for the suite.
class FindWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (std::system("command -v Xvfb >/dev/null 2>&1") != 0) return;
    int fds[2];
    if (pipe(fds) != 0) return;
    server_ = fork();
    if (server_ == 0) {
      close(fds[0]);
      int null = open("/dev/null", O_RDWR);
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
      std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-noreset", "-nolisten", "tcp", "-screen", "0",
             "640x480x24", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }

  static void TearDownTestSuite() {
    if (server_ > 0) {
      kill(server_, SIGTERM);
      waitpid(server_, nullptr, 0);
    }
    server_ = -1;
  }

  void SetUp() override {
    if (display_.empty()) GTEST_SKIP() << "no Xvfb";
    if (const char* old = std::getenv("DISPLAY")) saved_display_ = old;
    setenv("DISPLAY", display_.c_str(), 1);
  }

  void TearDown() override {
    for (pid_t client : clients_) {
      kill(client, SIGTERM);
      waitpid(client, nullptr, 0);
    }
    if (saved_display_)
      setenv("DISPLAY", saved_display_->c_str(), 1);
    else
      unsetenv("DISPLAY");
  }

  struct Client {
    pid_t pid;
    Window window;  // the window that carries the title
  };

  // Forks a client that maps a window titled `title` (through WM_NAME, or _NET_WM_NAME in UTF-8) of
  // class `window_class`; with `frames`, inside that many untitled parents and marked with WM_STATE, as
  // a window manager holds a client it manages (in a frame, or a wrapper inside a frame).
  Client StartClient(const std::string& title, bool utf8, int frames, const char* window_class = "Tool") {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      Display* display = XOpenDisplay(display_.c_str());
      if (!display) _exit(1);
      Window root = DefaultRootWindow(display);
      Window parent = root;
      for (int i = 0; i < frames; ++i) {
        parent = XCreateSimpleWindow(display, parent, 0, 0, 200, 100, 0, 0, 0);
        XMapWindow(display, parent);
      }
      Window window = XCreateSimpleWindow(display, parent, 0, 0, 100, 50, 0, 0, 0);
      if (frames > 0) {
        Atom wm_state = XInternAtom(display, "WM_STATE", False);
        long state[2] = {1, 0};  // NormalState, no icon window
        XChangeProperty(display, window, wm_state, wm_state, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(state), 2);
      }
      if (utf8) {
        Atom name = XInternAtom(display, "_NET_WM_NAME", False);
        Atom utf8_string = XInternAtom(display, "UTF8_STRING", False);
        XChangeProperty(display, window, name, utf8_string, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
      } else {
        XStoreName(display, window, title.c_str());
      }
      XClassHint hint{const_cast<char*>("tool"), const_cast<char*>(window_class)};
      XSetClassHint(display, window, &hint);
      XMapWindow(display, window);
      XSync(display, False);
      (void)!write(fds[1], &window, sizeof window);
      for (;;) pause();
    }
    close(fds[1]);
    Window window = 0;
    EXPECT_EQ(read(fds[0], &window, sizeof window), static_cast<ssize_t>(sizeof window));
    close(fds[0]);
    clients_.push_back(pid);
    return {pid, window};
  }

  static inline pid_t server_ = -1;
  static inline std::string display_;
  std::optional<std::string> saved_display_;
  std::vector<pid_t> clients_;
};

TEST_F(FindWindowTest, FindsAnotherProcesssWindowByItsExactTitle) {
  Client plain = StartClient("Vantiro", false, 0, "VantiroMain");
  Client framed = StartClient("Framed Vantiro", false, 1);
  Client wrapped = StartClient("Wrapped Vantiro", false, 2);
  Client accented = StartClient("Caf\xC3\xA9 Vantiro", true, 0);

  EXPECT_EQ(FindWindowA(nullptr, "Vantiro"), plain.window);
  EXPECT_EQ(FindWindowA(nullptr, "VANTIRO"), plain.window) << "titles compare without regard to case";
  EXPECT_EQ(FindWindowA(nullptr, "Framed Vantiro"), framed.window);
  EXPECT_EQ(FindWindowA(nullptr, "Wrapped Vantiro"), wrapped.window);
  EXPECT_EQ(FindWindowA(nullptr, "Caf\xE9 Vantiro"), accented.window);  // asked in Windows-1252
  EXPECT_EQ(FindWindowA(nullptr, "CAF\xC9 VANTIRO"), accented.window);
  EXPECT_EQ(FindWindowA("VantiroMain", "Vantiro"), plain.window);
  EXPECT_EQ(FindWindowA("OtherClass", "Vantiro"), 0u);
  for (const char* title : {"Vantir", "Vantiro ", "Vantiro Setup", ""})
    EXPECT_EQ(FindWindowA(nullptr, title), 0u) << title;

  // The window goes with its process.
  kill(plain.pid, SIGTERM);
  waitpid(plain.pid, nullptr, 0);
  std::erase(clients_, plain.pid);
  HWND found = FindWindowA(nullptr, "Vantiro");
  for (int i = 0; i < 200 && found != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    found = FindWindowA(nullptr, "Vantiro");
  }
  EXPECT_EQ(found, 0u);
}

TEST_F(FindWindowTest, NoDisplayFindsNothing) {
  unsetenv("DISPLAY");
  EXPECT_EQ(FindWindowA(nullptr, "Vantiro"), 0u);
  setenv("DISPLAY", ":4095", 1);  // no server there
  EXPECT_EQ(FindWindowA(nullptr, "Vantiro"), 0u);
}

}  // namespace
}  // namespace win
