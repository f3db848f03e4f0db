// The desktop icon and the Start Menu links, read back from disk with lnkinfo.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>

#include "setup/Unit1.h"
#include "setup/shortcuts.h"
#include "setup/unit2.h"
#include "support/installer_harness.h"
#include "win/com.h"
#include "win/system_root.h"

namespace {

namespace fs = std::filesystem;
using testing_support::InstallerHarness;
using testing_support::TempRoot;

// lnkinfo's "Local path" of a shortcut file, or "" when it cannot read one.
std::string LocalPathOf(const std::string& lnk) {
  std::string command = "lnkinfo '" + lnk + "' 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return "";
  char line[4096];
  const std::string key = "Local path";
  while (fgets(line, sizeof line, pipe.get())) {
    std::string s(line);
    auto at = s.find(key);
    if (at == std::string::npos) continue;
    auto colon = s.find(": ", at);
    std::string value = s.substr(colon + 2);
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
    return value;
  }
  return "";
}

bool HaveLnkinfo() { return std::system("command -v lnkinfo >/dev/null 2>&1") == 0; }

std::set<std::string> NamesIn(const std::string& dir) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) names.insert(e.path().filename().string());
  return names;
}

struct Shortcuts : ::testing::Test {
  InstallerHarness h;
  std::string profile = h.root.drive_c() + "/users/" + win::ProfileUserName();
  std::string desktop = profile + "/Desktop";
  std::string menu = profile + "/Start Menu/Programs/Vantiro";

  void SetUp() override {
    if (!HaveLnkinfo()) GTEST_SKIP() << "lnkinfo (liblnk-utils) is not installed";
  }
  // Agree, set the boxes, Install, then (after `before_ok`, when given) Skip.
  void Install(bool desktop_box, bool menu_box, std::function<void()> before_ok = nullptr) {
    h.AgreeWhenShown();
    h.backend.Then([desktop_box, menu_box] {
      if (setup::Form1->CheckBox1->Checked() != desktop_box) ui::HeadlessBackend::Click(setup::Form1->CheckBox1);
      if (setup::Form1->CheckBox2->Checked() != menu_box) ui::HeadlessBackend::Click(setup::Form1->CheckBox2);
    });
    h.Click([] { return setup::Form1->BitBtn3; });
    if (before_ok) h.backend.Then(before_ok);
    h.Click([] { return setup::Form1->BitBtn5; });
  }
};

TEST(ShortcutSets, DefaultsMakeTheFourStartMenuLinksAndBothBoxesFive) {
  if (!HaveLnkinfo()) GTEST_SKIP() << "lnkinfo (liblnk-utils) is not installed";
  for (bool desktop_box : {false, true}) {
    InstallerHarness run;
    std::string dsk = run.root.drive_c() + "/users/" + win::ProfileUserName() + "/Desktop";
    std::string mnu = run.root.drive_c() + "/users/" + win::ProfileUserName() + "/Start Menu/Programs/Vantiro";
    run.AgreeWhenShown();
    if (desktop_box) run.Click([] { return setup::Form1->CheckBox1; });
    run.Click([] { return setup::Form1->BitBtn3; });
    run.Click([] { return setup::Form1->BitBtn5; });
    run.ExitWith(false, false);
    ASSERT_EQ(run.Run(), 0);
    EXPECT_EQ(NamesIn(mnu), (std::set<std::string>{"Vantiro.lnk", "vnhelp.lnk", "ReadMe.lnk", "Uninstall.lnk"}));
    EXPECT_EQ(LocalPathOf(mnu + "/Vantiro.lnk"), "C:\\Program Files\\Vantiro\\vantro.exe");
    EXPECT_EQ(LocalPathOf(mnu + "/vnhelp.lnk"), "C:\\Program Files\\Vantiro\\vnhelp.doc");
    EXPECT_EQ(LocalPathOf(mnu + "/ReadMe.lnk"), "C:\\Program Files\\Vantiro\\readme.txt");
    EXPECT_EQ(LocalPathOf(mnu + "/Uninstall.lnk"), "C:\\windows\\uninst1.exe");
    if (desktop_box) {
      EXPECT_EQ(NamesIn(dsk), std::set<std::string>{"Vantiro.lnk"});
      EXPECT_EQ(LocalPathOf(dsk + "/Vantiro.lnk"), "C:\\Program Files\\Vantiro\\vantro.exe");
    } else {
      EXPECT_TRUE(NamesIn(dsk).empty());
    }
  }
}

TEST_F(Shortcuts, NeitherBoxTouchesNoShortcutAndCreatesNoObject) {
  TempRoot::WriteFile(menu + "/Vantiro.lnk", "someone else's");
  TempRoot::WriteFile(desktop + "/Vantiro.lnk", "someone else's");
  Install(false, false);
  int objects_at_completion = -1;
  h.backend.When([] { return setup::Form1->Panel2->Visible(); },
                 [&] {
                   objects_at_completion = win::LiveComObjects();
                   ui::HeadlessBackend::Click(setup::Form1->CheckBox3);
                   ui::HeadlessBackend::Click(setup::Form1->CheckBox4);
                   ui::HeadlessBackend::Click(setup::Form1->Button1);
                 });
  ASSERT_EQ(h.Run(), 0);
  EXPECT_EQ(objects_at_completion, 0);
  EXPECT_EQ(TempRoot::ReadFile(menu + "/Vantiro.lnk"), "someone else's");
  EXPECT_EQ(TempRoot::ReadFile(desktop + "/Vantiro.lnk"), "someone else's");
  EXPECT_EQ(NamesIn(menu).size(), 1u);
}

TEST_F(Shortcuts, ReinstallLeavesOneDesktopIconAndReplacesOldLinks) {
  TempRoot::WriteFile(desktop + "/Vantiro.lnk", "old");
  TempRoot::WriteFile(desktop + "/vantro.lnk", "old");
  TempRoot::WriteFile(menu + "/vantro.lnk", "old, not deleted first: the save replaces it");
  TempRoot::WriteFile(menu + "/Uninstall.lnk", "old");
  Install(true, true);
  h.ExitWith(false, false);
  ASSERT_EQ(h.Run(), 0);
  EXPECT_EQ(NamesIn(desktop), std::set<std::string>{"Vantiro.lnk"});
  EXPECT_EQ(LocalPathOf(desktop + "/Vantiro.lnk"), "C:\\Program Files\\Vantiro\\vantro.exe");
  EXPECT_EQ(NamesIn(menu), (std::set<std::string>{"Vantiro.lnk", "vnhelp.lnk", "ReadMe.lnk", "Uninstall.lnk"}));
  EXPECT_EQ(LocalPathOf(menu + "/Uninstall.lnk"), "C:\\windows\\uninst1.exe");
}

TEST_F(Shortcuts, StartMenuWithoutItsProgramsFolderGivesNoLinksAndNoMessage) {
  fs::remove_all(profile + "/Start Menu/Programs");
  Install(true, true);
  h.ExitWith(false, false);
  ASSERT_EQ(h.Run(), 0);
  EXPECT_TRUE(h.boxes.empty());
  EXPECT_FALSE(TempRoot::Exists(profile + "/Start Menu/Programs"));
  EXPECT_EQ(LocalPathOf(desktop + "/Vantiro.lnk"), "C:\\Program Files\\Vantiro\\vantro.exe");
}

// Windows files take longer paths than a shortcut's target may be (259 characters): installed there,
// the product's shortcuts are missing, never files that point nowhere; the uninstaller's is made.
TEST_F(Shortcuts, TargetTooLongForAShortcutLeavesThatShortcutMissing) {
  std::string dir = "C:\\" + std::string(200, 'a') + "\\" + std::string(50, 'b');
  h.AgreeWhenShown();
  h.Click([] { return setup::Form1->CheckBox1; });
  h.Type([] { return setup::Form1->Edit1; }, dir);
  h.Click([] { return setup::Form1->BitBtn3; });
  h.Click([] { return setup::Form1->BitBtn5; });
  h.ExitWith(false, false);
  ASSERT_EQ(h.Run(), 0);
  EXPECT_TRUE(h.boxes.empty());
  EXPECT_TRUE(TempRoot::Exists(h.root.drive_c() + "/" + std::string(200, 'a') + "/" + std::string(50, 'b') +
                               "/vantro.exe"));
  EXPECT_TRUE(NamesIn(desktop).empty());
  EXPECT_EQ(NamesIn(menu), std::set<std::string>{"Uninstall.lnk"});
  EXPECT_EQ(LocalPathOf(menu + "/Uninstall.lnk"), "C:\\windows\\uninst1.exe");
}

const char kShellFolders[] =
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\r\n";

TEST_F(Shortcuts, MissingShellFolderValueMakesPathsAtTheCurrentDrivesRoot) {
  TempRoot::WriteFile(h.root.host() + "/user.reg", std::string("REGEDIT4\r\n\r\n") + kShellFolders +
                                                       "\"Start Menu\"=\"C:\\\\users\\\\x\\\\Start Menu\"\r\n\r\n");
  Install(true, false);
  h.ExitWith(false, false);
  ASSERT_EQ(h.Run(), 0);
  EXPECT_EQ(setup::DesktopDir, "");
  EXPECT_EQ(LocalPathOf(h.root.drive_c() + "/Vantiro.lnk"), "C:\\Program Files\\Vantiro\\vantro.exe");
}

TEST_F(Shortcuts, NonStringDesktopValueStopsBeforeAnythingIsCopied) {
  TempRoot::WriteFile(h.root.host() + "/user.reg",
                      std::string("REGEDIT4\r\n\r\n") + kShellFolders + "\"Desktop\"=dword:00000001\r\n\r\n");
  Install(true, true);
  h.AnswerBox();
  h.backend.Then([] { ui::HeadlessBackend::CloseBox(setup::Form1); });
  ASSERT_EQ(h.Run(), 0);
  ASSERT_EQ(h.boxes.size(), 1u);
  EXPECT_EQ(h.boxes[0].text, "Invalid data type for 'Desktop'");
  EXPECT_EQ(h.boxes[0].icon, ui::StockIcon::Error);
  EXPECT_FALSE(TempRoot::Exists(h.root.drive_c() + "/Program Files/Vantiro/vantro.exe"));
  EXPECT_TRUE(TempRoot::Exists(h.source + "/vantro.exe"));
}

TEST_F(Shortcuts, ObjectThatCannotBeCreatedShowsTheErrorAndKeepsTheFiles) {
  // The component-object services end on this thread before OK is pressed: creation then fails.
  Install(true, true, [] { win::CoUninitialize(); });
  h.AnswerBox();
  bool completion = true;
  h.backend.Then([&] {
    completion = setup::Form1->Panel2->Visible();
    ui::HeadlessBackend::CloseBox(setup::Form1);
  });
  ASSERT_EQ(h.Run(), 0);
  win::CoInitialize(nullptr);  // balance the run's own CoUninitialize for the tests that follow
  ASSERT_EQ(h.boxes.size(), 1u);
  EXPECT_EQ(h.boxes[0].text, "CoInitialize has not been called.");
  EXPECT_FALSE(completion);
  EXPECT_TRUE(TempRoot::Exists(h.root.drive_c() + "/Program Files/Vantiro/readme.txt"));
  EXPECT_FALSE(TempRoot::Exists(desktop + "/Vantiro.lnk"));
  EXPECT_FALSE(TempRoot::Exists(menu));
}

TEST(LinkNames, FilePartTakesWhatFollowsTheLastBackslash) {
  struct Case {
    const char *target, *before, *after;
  } cases[] = {{"C:\\Program Files\\Vantiro\\vantro.exe", "", "vantro.exe"},
               {"C:\\a\\", "x", ""},
               {"no-backslash", "kept", "kept"},
               {"", "kept", "kept"}};
  for (const auto& c : cases) {
    setup::LinkTarget = c.target;
    setup::LinkBaseName = c.before;
    setup::getfilepart();
    EXPECT_EQ(setup::LinkBaseName, c.after) << c.target;
  }
  setup::ResetLinkStateForTests();
}

}  // namespace
