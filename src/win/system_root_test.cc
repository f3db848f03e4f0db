#include "win/system_root.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include "support/temp_root.h"
#include "win/types.h"

namespace win {
namespace {

namespace fs = std::filesystem;
using testing_support::TempRoot;

// Sets (or, with nullopt, removes) an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    Set(value);
  }
  ~ScopedEnv() { Set(saved_); }

 private:
  void Set(const std::optional<std::string>& value) {
    if (value)
      setenv(name_, value->c_str(), 1);
    else
      unsetenv(name_);
  }
  const char* name_;
  std::optional<std::string> saved_;
};

TEST(SystemRoot, LocationComesFromTheEnvironment) {
  struct Case {
    std::optional<std::string> winroot, data_home, home;
    std::string expected;
  } cases[] = {
      {"/roots/one/", "/data", "/home/h", "/roots/one"},
      {std::nullopt, "/data", "/home/h", "/data/winroot"},
      {"", "", "/home/h", "/home/h/.local/share/winroot"},
      {std::nullopt, "relative/data", "/home/h", "/home/h/.local/share/winroot"},  // XDG wants absolute
  };
  for (const auto& c : cases) {
    ScopedEnv winroot("WINROOT", c.winroot), data("XDG_DATA_HOME", c.data_home), home("HOME", c.home);
    ResetProcessStateForTests();
    EXPECT_EQ(SystemRootHostPath(), c.expected);
  }
  ResetProcessStateForTests();
}

TEST(SystemRoot, RelativeRootIsFixedAtFirstUse) {
  ScopedEnv winroot("WINROOT", "rel/root");
  ResetProcessStateForTests();
  std::string expected = fs::current_path().string() + "/rel/root";
  EXPECT_EQ(SystemRootHostPath(), expected);
  std::string saved = fs::current_path().string();
  ASSERT_EQ(chdir("/"), 0);
  EXPECT_EQ(SystemRootHostPath(), expected);
  ASSERT_EQ(chdir(saved.c_str()), 0);
  ResetProcessStateForTests();
}

TEST(SystemRoot, SeedsTheLayout) {
  TempRoot root;
  const std::string r = root.host();
  const std::string user = ProfileUserName();
  EXPECT_FALSE(user.empty());
  EXPECT_EQ(fs::read_symlink(r + "/dosdevices/c:"), "../drive_c");
  EXPECT_EQ(fs::read_symlink(r + "/dosdevices/z:"), "/");
  for (const std::string& folder :
       {std::string("/drive_c/windows/system32/drivers/etc"), "/drive_c/users/" + user + "/Desktop",
        "/drive_c/users/" + user + "/Start Menu/Programs"})
    EXPECT_TRUE(fs::is_directory(r + folder)) << folder;
  std::string hosts = root.ReadFile(r + "/drive_c/windows/system32/drivers/etc/hosts");
  EXPECT_NE(hosts.find("\n127.0.0.1 localhost\n"), std::string::npos) << hosts;
  const std::string notepad = r + "/drive_c/windows/notepad.exe";
  EXPECT_EQ(root.ReadFile(notepad).substr(0, 2), "#!");
  EXPECT_EQ(access(notepad.c_str(), X_OK), 0);
}

TEST(SystemRoot, NeverReplacesWhatExists) {
  TempRoot root;
  const std::string r = root.host();
  const std::string user = ProfileUserName();
  fs::create_directory(r + "/other");
  fs::remove(r + "/dosdevices/c:");
  fs::create_directory_symlink("../other", r + "/dosdevices/c:");
  fs::remove(r + "/dosdevices/z:");
  fs::create_directory_symlink("../gone", r + "/dosdevices/z:");  // a dangling link is kept too
  root.WriteFile(r + "/drive_c/windows/system32/drivers/etc/hosts", "10.0.0.1 mine\n");
  root.WriteFile(r + "/drive_c/windows/notepad.exe", "mine");
  fs::remove_all(r + "/drive_c/users/" + user + "/Desktop");
  fs::remove(r + "/.seeded");  // as if the first seeding had been cut short

  ASSERT_TRUE(EnsureSystemRoot());
  EXPECT_EQ(fs::read_symlink(r + "/dosdevices/c:"), "../other");
  EXPECT_EQ(fs::read_symlink(r + "/dosdevices/z:"), "../gone");
  EXPECT_EQ(root.ReadFile(r + "/drive_c/windows/system32/drivers/etc/hosts"), "10.0.0.1 mine\n");
  EXPECT_EQ(root.ReadFile(r + "/drive_c/windows/notepad.exe"), "mine");
  EXPECT_TRUE(fs::is_directory(r + "/drive_c/users/" + user + "/Desktop"));  // what was missing is back
}

TEST(SystemRoot, OnceSeededWhatTheUserRemovedStaysRemoved) {
  TempRoot root;
  const std::string programs = root.drive_c() + "/users/" + ProfileUserName() + "/Start Menu/Programs";
  fs::remove_all(programs);
  ASSERT_TRUE(EnsureSystemRoot());
  EXPECT_FALSE(fs::exists(programs));
}

TEST(SystemRoot, FailsWhenTheRootCannotBeMade) {
  TempRoot root;
  root.WriteFile(root.host() + "/plain-file", "x");
  ScopedEnv winroot("WINROOT", root.host() + "/plain-file/root");
  ResetProcessStateForTests();
  SetLastError(ERROR_SUCCESS);
  EXPECT_FALSE(EnsureSystemRoot());
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

// Runs a shell command and returns what it printed.
std::string Output(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

TEST(SystemRoot, TextEditorLauncherOpensTheDocument) {
  TempRoot root;
  const std::string notepad = root.drive_c() + "/windows/notepad.exe";
  const std::string readme = root.drive_c() + "/Program Files/Vantiro/readme.txt";
  root.WriteFile(readme, "notes");

  // No desktop, no editor: it tells where the document is.
  std::string printed = Output("env -u DISPLAY -u WAYLAND_DISPLAY -u VISUAL -u EDITOR " + Quoted(notepad) +
                               " 'C:\\Program Files\\Vantiro\\readme.txt'");
  ASSERT_FALSE(printed.empty());
  printed.pop_back();  // the line end
  EXPECT_EQ(fs::canonical(printed), fs::canonical(readme));

  // With a desktop it hands the document to the desktop's opener and returns.
  const std::string bin = root.host() + "/bin";
  const std::string marker = root.host() + "/opened";
  root.WriteFile(bin + "/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > '" + marker + ".tmp' && mv '" + marker +
                                        ".tmp' '" + marker + "'\n");
  fs::permissions(bin + "/xdg-open", fs::perms(0755));
  Output("DISPLAY=:99 PATH=" + Quoted(bin) + ":\"$PATH\" " + Quoted(notepad) +
         " C:\\\\Program Files\\\\Vantiro\\\\readme.txt");
  for (int i = 0; i < 400 && !root.Exists(marker); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(root.Exists(marker));
  EXPECT_EQ(fs::canonical(root.ReadFile(marker)), fs::canonical(readme));
}

}  // namespace
}  // namespace win
