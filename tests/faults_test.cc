// Faults met for real: a disk that fills up during the transfer (a file-size limit on the process), and
// "Install to:" texts a person can type that are empty, relative, too long, forbidden or pointing
// elsewhere, plus links planted in the installation folder. Whatever happens, nothing of the product is
// lost, nothing is written outside the system root, and no link is written through.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "setup/Unit1.h"
#include "setup/unit2.h"
#include "support/installer_harness.h"
#include "win/system_root.h"

namespace {

namespace fs = std::filesystem;
using testing_support::InstallerHarness;
using testing_support::kCopyFailedText;
using testing_support::kInstalledNames;
using testing_support::TempRoot;

// Default road with the sign-up skipped: no connection is tried, so nothing but the files matters.
void ScriptInstall(InstallerHarness& h, const std::string& install_dir, bool desktop_icon = false) {
  h.AgreeWhenShown();
  if (desktop_icon) h.Click([] { return setup::Form1->CheckBox1; });
  h.Type([] { return setup::Form1->Edit1; }, install_dir);
  h.Click([] { return setup::Form1->BitBtn3; });
  h.Click([] { return setup::Form1->BitBtn5; });
}

// Answers whatever ends the road: the completion panel (Exit with nothing started) or a message box.
void ScriptEnd(InstallerHarness& h) {
  h.backend.When(
      [] { return testing_support::OpenMessageBox() || setup::Form1->Panel2->Visible(); },
      [&h] {
        if (ui::TMessageForm* box = testing_support::OpenMessageBox()) {
          h.boxes.push_back({box->Caption(), box->Message->Caption(), box->IconKind, h.clock.Now()});
          ui::HeadlessBackend::Click(box->OkButton);
          return;
        }
        if (setup::Form1->CheckBox3->Checked()) ui::HeadlessBackend::Click(setup::Form1->CheckBox3);
        if (setup::Form1->CheckBox4->Checked()) ui::HeadlessBackend::Click(setup::Form1->CheckBox4);
        ui::HeadlessBackend::Click(setup::Form1->Button1);
      });
}

// Hidden temporary copies (".name.copy-...") left in `folder`.
std::vector<std::string> Leftovers(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec))
    if (entry.path().filename().string().find(".copy-") != std::string::npos)
      found.push_back(entry.path().filename().string());
  return found;
}

// Runs `body` in a forked child whose files may not grow beyond `limit` bytes, so that writes fail
// with a full disk's error while this process keeps its own limits. Returns what `body` returned, or
// "child failed: ..." when the child did not finish normally (a crash, or SIGXFSZ not ignored).
std::string RunWithFileSizeLimit(rlim_t limit, const std::function<std::string()>& body) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return "child failed: no pipe";
  pid_t pid = fork();
  if (pid < 0) return "child failed: no fork";
  if (pid == 0) {
    close(pipe_fds[0]);
    rlimit rl{limit, limit};
    if (setrlimit(RLIMIT_FSIZE, &rl) != 0) _exit(3);
    std::string result = body();
    for (size_t done = 0; done < result.size();) {
      ssize_t n = write(pipe_fds[1], result.data() + done, result.size() - done);
      if (n <= 0) _exit(4);
      done += static_cast<size_t>(n);
    }
    _exit(0);
  }
  close(pipe_fds[1]);
  std::string result;
  char buffer[4096];
  for (ssize_t n; (n = read(pipe_fds[0], buffer, sizeof buffer)) > 0;)
    result.append(buffer, static_cast<size_t>(n));
  close(pipe_fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child failed: status " + std::to_string(status);
  return result;
}

// ---- a full disk

TEST(FullDisk, CopiesThatRunOutOfSpaceKeepTheirSource) {
  constexpr rlim_t kLimit = 64 * 1024;
  const std::string big(kLimit * 2, 'x');  // cannot be written under the limit
  struct Case {
    const char* big_file;  // the one shipped file larger than the limit
    bool install_fails;    // the main program's failure stops the install
  } cases[] = {
      {"vantro.exe", true},
      {"vnhelp.doc", false},
      {"uninst1.exe", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.big_file);
    InstallerHarness h;
    std::map<std::string, std::string> shipped;
    for (const auto& [name, content] : InstallerHarness::ProductFiles())
      shipped[name] = name == c.big_file ? big : content;
    TempRoot::WriteFile(h.source + "/" + c.big_file, big);
    ScriptInstall(h, "C:\\Program Files\\Vantiro");
    ScriptEnd(h);

    std::string outcome = RunWithFileSizeLimit(kLimit, [&h] {
      h.Run();
      std::string seen = setup::InstallFailed ? "failed" : "completed";
      for (const auto& box : h.boxes) seen += "|" + box.text;
      return seen;
    });

    const std::string dir = h.Host("C:\\Program Files\\Vantiro");
    const std::string windows = h.Host("C:\\windows");
    auto target = [&](const std::string& name) {
      return (name == "uninst1.exe" ? windows : dir) + "/" + name;
    };
    if (c.install_fails) {
      EXPECT_EQ(outcome, std::string("failed|") + kCopyFailedText);
      for (const auto& [name, content] : shipped) {
        EXPECT_EQ(TempRoot::ReadFile(h.source + "/" + name), content) << name << " must stay in the source";
        EXPECT_FALSE(TempRoot::Exists(target(name))) << name;
      }
    } else {
      EXPECT_EQ(outcome, "completed");
      for (const auto& [name, content] : shipped) {
        if (name == c.big_file) {
          EXPECT_EQ(TempRoot::ReadFile(h.source + "/" + name), content)
              << "the source of the failed copy stays";
          EXPECT_FALSE(TempRoot::Exists(target(name))) << "no half-written " << name;
        } else {
          EXPECT_FALSE(TempRoot::Exists(h.source + "/" + name)) << name << " moved";
          EXPECT_EQ(TempRoot::ReadFile(target(name)), content) << name;
        }
      }
    }
    EXPECT_TRUE(Leftovers(dir).empty());
    EXPECT_TRUE(Leftovers(windows).empty());
  }
}

// ---- a run again after an interrupted one

// An install killed while it removed the moved files from the source leaves some of them only in the
// installation folder. Running setup again must finish the job without losing those.
TEST(InterruptedInstall, RunningAgainKeepsTheFilesAlreadyMoved) {
  InstallerHarness h;
  const std::string dir = h.Host("C:\\Program Files\\Vantiro");
  for (const auto& [name, content] : InstallerHarness::ProductFiles()) {
    if (name == "vantro.exe") continue;  // deleted from the source last: still there
    TempRoot::WriteFile((name == "uninst1.exe" ? h.Host("C:\\windows") : dir) + "/" + name, content);
    fs::remove(h.source + "/" + name);
  }
  ScriptInstall(h, "C:\\Program Files\\Vantiro");
  ScriptEnd(h);
  EXPECT_EQ(h.Run(), 0);
  EXPECT_TRUE(h.boxes.empty());
  for (const auto& [name, content] : InstallerHarness::ProductFiles()) {
    std::string target = (name == "uninst1.exe" ? h.Host("C:\\windows") : dir) + "/" + name;
    EXPECT_EQ(TempRoot::ReadFile(target), content) << name;
    EXPECT_FALSE(TempRoot::Exists(h.source + "/" + name)) << name;
  }
}

// ---- two installers at once

// Another installer (another process) in the middle of moving the same product: this one stops with the
// copy-failure message before it deletes anything, as it would a moment later with the sources gone.
TEST(TwoInstallers, OneMovingTheProductStopsTheOtherBeforeItDeletesAnything) {
  InstallerHarness h;
  const std::string dir = h.Host("C:\\Program Files\\Vantiro");
  for (const auto& name : kInstalledNames) TempRoot::WriteFile(dir + "/" + name, "previous " + name);
  ScriptInstall(h, "C:\\Program Files\\Vantiro");
  ScriptEnd(h);

  int other = open(h.source.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  std::string outcome = RunWithFileSizeLimit(RLIM_INFINITY, [&h] {
    h.Run();
    std::string seen = setup::InstallFailed ? "failed" : "completed";
    for (const auto& box : h.boxes) seen += "|" + box.text;
    return seen;
  });
  close(other);

  EXPECT_EQ(outcome, std::string("failed|") + kCopyFailedText);
  for (const auto& name : kInstalledNames)
    EXPECT_EQ(TempRoot::ReadFile(dir + "/" + name), "previous " + name) << "the previous installation stays";
  for (const auto& [name, content] : InstallerHarness::ProductFiles())
    EXPECT_EQ(TempRoot::ReadFile(h.source + "/" + name), content) << name << " stays in the source";
}

// Two installers of the same product started together, over a previous installation, many times: one
// completes, the other shows the copy-failure message, and every file is whole where it should be.
TEST(TwoInstallers, StartedTogetherTheyLoseNothing) {
  const std::string big(4 << 20, 'v');  // a main program that takes a moment to move
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    InstallerHarness h;
    const std::string dir = h.Host("C:\\Program Files\\Vantiro");
    for (const auto& name : kInstalledNames) TempRoot::WriteFile(dir + "/" + name, "previous " + name);
    std::map<std::string, std::string> shipped;
    for (const auto& [name, content] : InstallerHarness::ProductFiles())
      shipped[name] = name == "vantro.exe" ? big : content;
    TempRoot::WriteFile(h.source + "/vantro.exe", big);
    ScriptInstall(h, "C:\\Program Files\\Vantiro");
    ScriptEnd(h);

    pid_t installers[2];
    for (pid_t& pid : installers) {
      pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        h.Run();
        bool failed_as_told = h.boxes.size() == 1 && h.boxes[0].text == kCopyFailedText;
        _exit(!setup::InstallFailed && h.boxes.empty() ? 0 : setup::InstallFailed && failed_as_told ? 2 : 1);
      }
    }
    std::vector<int> codes;
    for (pid_t pid : installers) {
      int status = 0;
      waitpid(pid, &status, 0);
      codes.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    }
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, (std::vector<int>{0, 2})) << "one completes, the other is told";

    for (const auto& [name, content] : shipped) {
      std::string target = (name == "uninst1.exe" ? h.Host("C:\\windows") : dir) + "/" + name;
      EXPECT_EQ(TempRoot::ReadFile(target), content) << name << " arrived whole";
      EXPECT_FALSE(TempRoot::Exists(h.source + "/" + name)) << name << " left the source";
    }
    EXPECT_TRUE(Leftovers(dir).empty());
    if (HasFailure()) break;
  }
}

// ---- a start folder Windows cannot name

// Started in "Setup." beside a "Setup" that holds the same files: Windows would read the name as its
// sibling's. The installer stops with the copy-failure message and neither folder loses a file.
TEST(StrangeStartFolder, ANameWindowsWouldReadAsItsSiblingsTouchesNeither) {
  InstallerHarness h;
  const std::string odd = h.source + ".";
  fs::create_directories(odd);
  for (const auto& [name, content] : InstallerHarness::ProductFiles())
    TempRoot::WriteFile(odd + "/" + name, content);
  ASSERT_EQ(chdir(odd.c_str()), 0);
  win::ResetProcessStateForTests();  // the start directory is taken afresh from the host's
  ScriptInstall(h, "C:\\Program Files\\Vantiro");
  ScriptEnd(h);
  EXPECT_EQ(h.Run(), 0);
  EXPECT_EQ(setup::SourceDir, "C:\\Temp\\Setup.?\\");
  ASSERT_EQ(h.boxes.size(), 1u);
  EXPECT_EQ(h.boxes[0].text, kCopyFailedText);
  for (const auto& [name, content] : InstallerHarness::ProductFiles()) {
    EXPECT_EQ(TempRoot::ReadFile(odd + "/" + name), content) << name;
    EXPECT_EQ(TempRoot::ReadFile(h.source + "/" + name), content) << name << " of the sibling";
  }
  EXPECT_FALSE(TempRoot::Exists(h.Host("C:\\Program Files\\Vantiro") + "/vantro.exe"));
  ASSERT_EQ(chdir("/"), 0);
}

// ---- strange "Install to:" texts and planted links

// A folder outside the system root with a file and a folder that links point at. The system root is
// made inside it (TMPDIR), so a write that escapes the root by ".." lands here and is seen.
class Outside {
 public:
  Outside() {
    std::string pattern = (fs::temp_directory_path() / "setup-outside-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    TempRoot::WriteFile(file(), "outside file: keep me\n");
    TempRoot::WriteFile(folder() + "/inside.txt", "outside folder: keep me\n");
    const char* tmpdir = std::getenv("TMPDIR");
    saved_tmpdir_ = tmpdir ? tmpdir : "";
    had_tmpdir_ = tmpdir != nullptr;
    setenv("TMPDIR", path_.c_str(), 1);
  }
  ~Outside() {
    if (had_tmpdir_)
      setenv("TMPDIR", saved_tmpdir_.c_str(), 1);
    else
      unsetenv("TMPDIR");
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string file() const { return path_ + "/outside-file"; }
  std::string folder() const { return path_ + "/outside-dir"; }

  // Everything here but the system root at `root`, with contents: it must never change.
  std::map<std::string, std::string> Snapshot(const std::string& root) const {
    std::map<std::string, std::string> seen;
    for (auto it = fs::recursive_directory_iterator(path_); it != fs::recursive_directory_iterator(); ++it) {
      if (it->path() == root) {
        it.disable_recursion_pending();
        continue;
      }
      seen[it->path().string()] = it->is_regular_file() ? TempRoot::ReadFile(it->path()) : "<folder>";
    }
    return seen;
  }
  std::map<std::string, std::string> Expected() const {
    return {{file(), "outside file: keep me\n"},
            {folder(), "<folder>"},
            {folder() + "/inside.txt", "outside folder: keep me\n"}};
  }

 private:
  std::string path_;
  std::string saved_tmpdir_;
  bool had_tmpdir_ = false;
};

TEST(StrangeInstallDirectory, NoneCrashesLosesFilesOrWritesOutsideTheRoot) {
  const std::string long_name(300, 'v');
  std::string long_nested = "C:";
  while (long_nested.size() <= 300) long_nested += "\\abcdefghi";
  const std::string kFails = "<the copy fails>";
  struct Case {
    std::string typed;
    std::string installed;  // where the five files land, relative to drive_c; or kFails
  } cases[] = {
      {"", ""},                           // "\vantro.exe": the current drive's root
      {"Vantiro", "Temp/Setup/Vantiro"},  // relative to the current directory, the start folder
      {"..\\..\\x", "x"},
      {"C:\\..\\..\\..\\etc", "etc"},   // ".." stops at the drive's root
      {"C:\\Trailing. .", "Trailing"},  // trailing dots and spaces dropped, as Windows does
      {"Q:\\Vantiro", kFails},          // no such drive
      {"C:\\" + long_name, kFails},     // a name longer than a folder can have
      {long_nested, long_nested.substr(3)},
      {"C:\\a<b>|c", kFails},  // characters Windows forbids in names
      {"C:\\a:b", kFails},
      {"\\\\server\\share\\Vantiro", kFails},
  };
  Outside outside;
  for (auto& c : cases) {
    SCOPED_TRACE("Install to: \"" + c.typed + "\"");
    InstallerHarness h;
    ScriptInstall(h, c.typed);
    ScriptEnd(h);
    EXPECT_EQ(h.Run(), 0);
    EXPECT_EQ(outside.Snapshot(h.root.host()), outside.Expected())
        << "something was written outside the root";

    if (c.installed != kFails) {
      std::string folder = h.root.drive_c() + "/" + c.installed;
      std::replace(folder.begin(), folder.end(), '\\', '/');
      EXPECT_TRUE(h.boxes.empty());
      for (const auto& [name, content] : InstallerHarness::ProductFiles()) {
        std::string target =
            name == "uninst1.exe" ? h.root.drive_c() + "/windows/" + name : folder + "/" + name;
        EXPECT_EQ(TempRoot::ReadFile(target), content) << name;
      }
    } else {
      ASSERT_EQ(h.boxes.size(), 1u);
      EXPECT_EQ(h.boxes[0].text, kCopyFailedText);
      for (const auto& [name, content] : InstallerHarness::ProductFiles())
        EXPECT_EQ(TempRoot::ReadFile(h.source + "/" + name), content) << name << " must stay in the source";
    }
  }
}

// Z: maps to the host's "/" by design, so a Z: path goes exactly where the host path says: the person's
// explicit choice. The installer lands there and nowhere else.
TEST(StrangeInstallDirectory, ZDriveInstallsAtTheHostPathItNames) {
  Outside outside;
  InstallerHarness h;
  std::string host = h.root.drive_c() + "/ViaZ";
  std::string typed = "Z:" + host;
  std::replace(typed.begin(), typed.end(), '/', '\\');
  ScriptInstall(h, typed);
  ScriptEnd(h);
  EXPECT_EQ(h.Run(), 0);
  EXPECT_TRUE(h.boxes.empty());
  for (const auto& name : kInstalledNames) EXPECT_TRUE(TempRoot::Exists(host + "/" + name)) << name;
  EXPECT_EQ(outside.Snapshot(h.root.host()), outside.Expected());
}

TEST(StrangeInstallDirectory, LinksInTheInstallationFolderAreReplacedNotWrittenThrough) {
  Outside outside;
  InstallerHarness h;
  const std::string dir = h.root.drive_c() + "/Program Files/Vantiro";
  const std::string profile = h.root.drive_c() + "/users/" + win::ProfileUserName();
  const std::string desktop = profile + "/Desktop";
  const std::string start_menu = profile + "/Start Menu/Programs/Vantiro";
  fs::create_directories(dir);
  fs::create_directories(start_menu);
  // Links with the names the installer writes or deletes, pointing outside the root at a file and a
  // folder; and one with a name of its own, which must be left alone.
  const std::map<std::string, std::string> planted = {
      {dir + "/readme.txt", outside.file()},    // deleted as an old file, then copied
      {dir + "/vantro.doc", outside.file()},    // deleted as an old file only
      {dir + "/vnhelp.doc", outside.folder()},  // a folder link where a file is copied
      {dir + "/vantro.exe", outside.folder() + "/inside.txt"},
      {h.root.drive_c() + "/windows/uninst1.exe", outside.file()},
      {desktop + "/Vantiro.lnk", outside.file()},  // the shortcuts are written here
      {start_menu + "/ReadMe.lnk", outside.file()},
      {dir + "/Docs", outside.folder()},
  };
  for (const auto& [link, target] : planted) fs::create_symlink(target, link);

  ScriptInstall(h, "C:\\Program Files\\Vantiro", /*desktop_icon=*/true);
  ScriptEnd(h);
  EXPECT_EQ(h.Run(), 0);
  EXPECT_TRUE(h.boxes.empty());
  EXPECT_EQ(outside.Snapshot(h.root.host()), outside.Expected()) << "a link was written through";

  for (const auto& [name, content] : InstallerHarness::ProductFiles()) {
    std::string target = name == "uninst1.exe" ? h.root.drive_c() + "/windows/" + name : dir + "/" + name;
    EXPECT_FALSE(fs::is_symlink(target)) << name;
    EXPECT_EQ(TempRoot::ReadFile(target), content) << name;
    EXPECT_FALSE(TempRoot::Exists(h.source + "/" + name)) << name;
  }
  EXPECT_FALSE(TempRoot::Exists(dir + "/vantro.doc"));
  for (const std::string& shortcut : {desktop + "/Vantiro.lnk", start_menu + "/ReadMe.lnk"}) {
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(shortcut))) << shortcut;
    EXPECT_EQ(TempRoot::ReadFile(shortcut).substr(0, 4), std::string("\x4c\0\0\0", 4)) << shortcut;
  }
  EXPECT_TRUE(fs::is_symlink(dir + "/Docs"));
}

}  // namespace
