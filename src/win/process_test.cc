#include "win/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "support/temp_root.h"
#include "win/files.h"

namespace win {
namespace {

namespace fs = std::filesystem;
using testing_support::TempRoot;

// Waits (generously) for a file that another process writes.
bool WaitForFile(const std::string& path) {
  for (int i = 0; i < 600 && !fs::exists(path); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return fs::exists(path);
}

class WinExecTest : public ::testing::Test {
 protected:
  void SetUp() override {
    c_ = fs::canonical(root_.drive_c()).string();
    marker_ = root_.host() + "/marker";
    // A program that writes its arguments, one per line, and where its input comes from.
    WriteScript(c_ + "/Program Files/Tool/run.exe",
                "#!/bin/sh\n"
                "{ printf '%s\\n' \"$@\"; printf 'stdin=%s\\n' \"$(readlink /proc/$$/fd/0)\"; } > '" +
                    marker_ + ".tmp' && mv '" + marker_ + ".tmp' '" + marker_ + "'\n",
                0755);
    root_.WriteFile(c_ + "/Program Files/Tool/readme.txt", "notes");
  }

  static void WriteScript(const std::string& path, const std::string& text, unsigned mode) {
    TempRoot::WriteFile(path, text);
    fs::permissions(path, fs::perms(mode));
  }

  std::string Marker() {
    EXPECT_TRUE(WaitForFile(marker_));
    std::string text = TempRoot::ReadFile(marker_);
    fs::remove(marker_);
    return text;
  }

  TempRoot root_;
  std::string c_, marker_;
};

TEST_F(WinExecTest, StartsAProgramWithWindowsStyleArguments) {
  struct Case {
    std::string command_line, arguments;
  } cases[] = {
      // Unquoted program path with a space: found from its shortest existing prefix.
      {"C:\\Program Files\\Tool\\run.exe plain \"two words\" a\\\"q", "plain\ntwo words\na\"q\n"},
      // Quoted program; ".exe" is implied; a path argument with spaces is taken whole when it exists.
      {"\"c:\\program files\\tool\\RUN\" C:\\Program Files\\Tool\\readme.txt",
       c_ + "/Program Files/Tool/readme.txt\n"},
      // A missing path maps word by word, in UTF-8; a quoted one maps as a whole.
      {"C:\\Program Files\\Tool\\run.exe C:\\New\\Caf\xE9.txt \"C:\\Two Words\\x\" rel\\x",
       c_ + "/New/Caf\xC3\xA9.txt\n" + c_ + "/Two Words/x\nrel\\x\n"},
  };
  for (const auto& c : cases) {
    EXPECT_GT(WinExec(c.command_line, SW_SHOWNORMAL), 31u) << c.command_line;
    EXPECT_EQ(Marker(), c.arguments + "stdin=/dev/null\n") << c.command_line;
    // The program was started detached: nothing is left for this process to reap.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
  }
}

TEST_F(WinExecTest, RunsScriptsWithoutTheExecuteBitThroughTheirInterpreter) {
  fs::permissions(c_ + "/Program Files/Tool/run.exe", fs::perms(0644));
  EXPECT_GT(WinExec("\"C:\\Program Files\\Tool\\run.exe\" x", SW_SHOWNORMAL), 31u);
  EXPECT_EQ(Marker(), "x\nstdin=/dev/null\n");
}

TEST_F(WinExecTest, OpensReleaseNotesWithTheWindowsDirectorysEditor) {
  const std::string bin = root_.host() + "/bin";
  WriteScript(bin + "/xdg-open",
              "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + marker_ + ".tmp' && mv '" + marker_ + ".tmp' '" +
                  marker_ + "'\n",
              0755);
  std::string saved_path = std::getenv("PATH");
  const char* saved_display = std::getenv("DISPLAY");
  std::string display = saved_display ? saved_display : "";
  setenv("PATH", (bin + ":" + saved_path).c_str(), 1);
  setenv("DISPLAY", ":99", 1);
  // The command line the installer builds: no quotes, and a space in the document's path.
  UINT result =
      WinExec(WindowsDirectory() + "\\notepad.exe C:\\Program Files\\Tool\\readme.txt", SW_SHOWNORMAL);
  setenv("PATH", saved_path.c_str(), 1);
  if (saved_display)
    setenv("DISPLAY", display.c_str(), 1);
  else
    unsetenv("DISPLAY");
  EXPECT_GT(result, 31u);
  std::string opened = Marker();
  ASSERT_FALSE(opened.empty());
  opened.pop_back();
  EXPECT_EQ(fs::canonical(opened), fs::canonical(c_ + "/Program Files/Tool/readme.txt"));
}

TEST_F(WinExecTest, ProgramsThatCannotStartFailWithWinExecCodes) {
  root_.WriteFile(c_ + "/text.exe", "just text");
  root_.WriteFile(c_ + "/windows.exe", std::string("MZ\x90\0", 4));
  const bool has_wine = std::system("command -v wine >/dev/null 2>&1") == 0;
  struct Case {
    std::string command_line;
    UINT result;
  } cases[] = {
      {"C:\\missing.exe", ERROR_FILE_NOT_FOUND},
      {"C:\\nowhere\\x.exe arg", ERROR_PATH_NOT_FOUND},
      {"Q:\\x.exe", ERROR_PATH_NOT_FOUND},
      {"\"C:\\Program Files\\Tool\\missing.exe\"", ERROR_FILE_NOT_FOUND},
      {"C:\\Program Files\\Tool\\missing.exe", ERROR_FILE_NOT_FOUND},  // "C:\Program" is missing
      {"", ERROR_FILE_NOT_FOUND},
      {"C:\\text.exe", 11},
      {"C:\\windows.exe", has_wine ? 33u : 11u},
  };
  for (const auto& c : cases) {
    if (c.result == 33u) continue;  // starting wine is not this test's business
    EXPECT_EQ(WinExec(c.command_line, SW_SHOWNORMAL), c.result) << c.command_line;
  }
}

}  // namespace
}  // namespace win
