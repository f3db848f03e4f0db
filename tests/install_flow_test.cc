// The installer's road from the options page to the end, run in-process on the headless backend
// against real files in a fresh system root.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "setup/Unit1.h"
#include "setup/unit2.h"
#include "support/installer_harness.h"

namespace {

namespace fs = std::filesystem;
using testing_support::InstallerHarness;
using testing_support::kCopyFailedText;
using testing_support::kInstalledNames;
using testing_support::TempRoot;

struct InstallFlow : ::testing::Test {
  InstallerHarness h;

  void SetInstallDir(const std::string& dir) {
    h.backend.Then([dir] { ui::HeadlessBackend::Type(setup::Form1->Edit1, dir); });
  }
  std::string Content(const std::string& name) const {
    for (const auto& [n, c] : InstallerHarness::ProductFiles())
      if (n == name) return c;
    return "";
  }
  void ExpectInstalledIn(const std::string& host_dir) const {
    for (const auto& name : kInstalledNames)
      EXPECT_EQ(TempRoot::ReadFile(host_dir + "/" + name), Content(name)) << name;
    EXPECT_EQ(TempRoot::ReadFile(h.root.drive_c() + "/windows/uninst1.exe"), Content("uninst1.exe"));
  }
  void ExpectSourceEmptied() const {
    for (const auto& [name, content] : InstallerHarness::ProductFiles())
      EXPECT_FALSE(TempRoot::Exists(h.source + "/" + name)) << name;
  }
  void ExpectSourceWhole() const {
    for (const auto& [name, content] : InstallerHarness::ProductFiles())
      EXPECT_EQ(TempRoot::ReadFile(h.source + "/" + name), content) << name;
  }
};

TEST_F(InstallFlow, DefaultInstallMovesTheFilesAndShowsCompletion) {
  bool completion_seen = false;
  h.InstallWithEmail("someone@example.org");
  h.backend.When([] { return setup::Form1->Panel2->Visible(); },
                 [&] {
                   completion_seen = true;
                   EXPECT_TRUE(setup::Form1->Panel1->Visible());  // completion lies over installing
                   EXPECT_FALSE(setup::Form1->Panel3->Visible());
                   EXPECT_FALSE(setup::Form1->Panel4->Visible());
                   EXPECT_FALSE(setup::Form1->BitBtn3->IsReachable());  // options covered
                   EXPECT_TRUE(setup::Form1->BitBtn3->Visible());       // but never hidden
                 });
  h.ExitWith(false, false);
  EXPECT_EQ(h.Run(), 0);
  EXPECT_TRUE(completion_seen);
  ExpectInstalledIn(h.root.drive_c() + "/Program Files/Vantiro");
  ExpectSourceEmptied();
  EXPECT_EQ(setup::InstallDir, "C:\\Program Files\\Vantiro");
  EXPECT_EQ(setup::SourceDir, "C:\\Temp\\Setup\\");
  EXPECT_EQ(setup::WindowsDir, "C:\\windows");
  EXPECT_EQ(setup::UninstallerDir, "C:\\windows");
  EXPECT_TRUE(h.boxes.empty());
}

TEST_F(InstallFlow, InstallDirectoryShapes) {
  struct Case {
    const char* typed;
    const char* existing;   // made before the run, relative to drive_c
    const char* installed;  // where the files land, relative to drive_c
  } cases[] = {
      {"C:\\Tools\\Net\\Vantiro", "Tools", "Tools/Net/Vantiro"},  // missing levels made one by one
      {"C:\\Deep\\A\\B\\C", nullptr, "Deep/A/B/C"},
      {"C:\\Trail\\Vantiro\\", nullptr, "Trail/Vantiro"},  // trailing backslash: doubled separators
      {"C:\\Existing", "Existing", "Existing"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    InstallerHarness run;
    if (c.existing) fs::create_directories(run.root.drive_c() + "/" + c.existing);
    run.AgreeWhenShown();
    run.Type([] { return setup::Form1->Edit1; }, c.typed);
    run.Click([] { return setup::Form1->BitBtn3; });
    run.Click([] { return setup::Form1->BitBtn5; });
    run.ExitWith(false, false);
    EXPECT_EQ(run.Run(), 0);
    for (const auto& name : kInstalledNames)
      EXPECT_TRUE(TempRoot::Exists(run.root.drive_c() + "/" + c.installed + "/" + name)) << name;
    EXPECT_EQ(setup::InstallDir, c.typed);
  }
}

TEST_F(InstallFlow, ExistingInstallationIsReplacedAndOldDocumentRemoved) {
  std::string dir = h.root.drive_c() + "/Program Files/Vantiro";
  for (const char* name :
       {"vantro.exe", "vantro.doc", "readme.txt", "vnhelp.doc", "iplist.txt", "portslist.txt"})
    TempRoot::WriteFile(dir + "/" + name, "old");
  TempRoot::WriteFile(h.root.drive_c() + "/windows/uninst1.exe", "old");
  h.InstallWithEmail("");
  h.ExitWith(false, false);
  h.Run();
  ExpectInstalledIn(dir);
  EXPECT_FALSE(TempRoot::Exists(dir + "/vantro.doc"));
  ExpectSourceEmptied();
}

TEST_F(InstallFlow, MissingMainProgramStopsBeforeAnythingIsDeleted) {
  fs::remove(h.source + "/vantro.exe");
  std::string dir = h.root.drive_c() + "/Program Files/Vantiro";
  TempRoot::WriteFile(dir + "/vantro.exe", "previous installation");
  TempRoot::WriteFile(dir + "/readme.txt", "previous notes");
  bool completion_seen = false;
  h.InstallWithEmail("a@b.c");
  h.AnswerBox();
  h.backend.When([] { return setup::Form1 && setup::Form1->Panel2->Visible(); },
                 [&] { completion_seen = true; });
  EXPECT_EQ(h.Run(), 0);
  ASSERT_EQ(h.boxes.size(), 1u);
  EXPECT_EQ(h.boxes[0].caption, "Setup");
  EXPECT_EQ(h.boxes[0].text, kCopyFailedText);
  EXPECT_EQ(h.boxes[0].icon, ui::StockIcon::None);
  EXPECT_TRUE(setup::InstallFailed);
  EXPECT_FALSE(completion_seen);
  // The previous installation is whole; the rest of the product is still in the source.
  EXPECT_EQ(TempRoot::ReadFile(dir + "/vantro.exe"), "previous installation");
  EXPECT_EQ(TempRoot::ReadFile(dir + "/readme.txt"), "previous notes");
  for (const auto& [name, content] : InstallerHarness::ProductFiles()) {
    if (name == "vantro.exe") continue;
    EXPECT_EQ(TempRoot::ReadFile(h.source + "/" + name), content) << name;
  }
  EXPECT_FALSE(TempRoot::Exists(h.root.drive_c() + "/windows/uninst1.exe"));
}

TEST_F(InstallFlow, UncopyableMainProgramShowsMessageAndKeepsTheSource) {
  // A folder where the program should go: the copy cannot replace it.
  fs::create_directories(h.root.drive_c() + "/Program Files/Vantiro/vantro.exe/inside");
  h.InstallWithEmail("a@b.c");
  h.AnswerBox();
  EXPECT_EQ(h.Run(), 0);
  ASSERT_EQ(h.boxes.size(), 1u);
  EXPECT_EQ(h.boxes[0].text, kCopyFailedText);
  EXPECT_TRUE(setup::InstallFailed);
  ExpectSourceWhole();
}

TEST_F(InstallFlow, OtherFilesMissingOrUncopyableAreSilentAndKeepTheirSource) {
  fs::remove(h.source + "/iplist.txt");
  // readme.txt cannot be copied (a folder stands at its target): its source must stay.
  fs::create_directories(h.root.drive_c() + "/Program Files/Vantiro/readme.txt/inside");
  h.InstallWithEmail("");
  h.ExitWith(false, false);
  EXPECT_EQ(h.Run(), 0);
  EXPECT_TRUE(h.boxes.empty());
  std::string dir = h.root.drive_c() + "/Program Files/Vantiro";
  for (const char* name : {"vantro.exe", "portslist.txt", "vnhelp.doc"})
    EXPECT_TRUE(TempRoot::Exists(dir + "/" + name));
  EXPECT_FALSE(TempRoot::Exists(dir + "/iplist.txt"));
  EXPECT_EQ(TempRoot::ReadFile(h.source + "/readme.txt"), Content("readme.txt"));
  EXPECT_FALSE(TempRoot::Exists(h.source + "/vantro.exe"));
  EXPECT_FALSE(setup::InstallFailed);
}

TEST_F(InstallFlow, InstallingIntoTheSourceFolderLosesNothing) {
  for (const char* spelled : {"C:\\Temp\\Setup", "c:\\temp\\SETUP\\", "C:\\Temp\\..\\Temp\\Setup"}) {
    SCOPED_TRACE(spelled);
    InstallerHarness run;
    run.AgreeWhenShown();
    run.Type([] { return setup::Form1->Edit1; }, spelled);
    run.Click([] { return setup::Form1->BitBtn3; });
    run.Click([] { return setup::Form1->BitBtn5; });
    run.ExitWith(false, false);
    EXPECT_EQ(run.Run(), 0);
    EXPECT_TRUE(run.boxes.empty());
    for (const auto& name : kInstalledNames)
      EXPECT_EQ(TempRoot::ReadFile(run.source + "/" + name), Content(name)) << name;
    EXPECT_TRUE(TempRoot::Exists(run.root.drive_c() + "/windows/uninst1.exe"));
  }
}

TEST_F(InstallFlow, SkipAndOkWalkThePanelsAndFillAnEmptyAddress) {
  struct Case {
    bool skip;
    std::string typed, expected;
  } cases[] = {{false, "", "Not Specified"}, {true, "", "Not Specified"}, {false, "   ", "   "}};
  for (const auto& c : cases) {
    InstallerHarness run;
    run.AgreeWhenShown();
    run.Click([] { return setup::Form1->BitBtn3; });
    bool signup_focus = false;
    run.backend.Then([&] {
      signup_focus = setup::Form1->Panel3->Visible() && setup::Form1->Edit2->Focused();
      EXPECT_FALSE(setup::Form1->Edit1->IsReachable());
    });
    if (!c.typed.empty()) run.Type([] { return setup::Form1->Edit2; }, c.typed);
    run.Click([skip = c.skip] { return skip ? setup::Form1->BitBtn5 : setup::Form1->BitBtn4; });
    std::string email;
    int repaints = 0;
    run.backend.When([] { return setup::Form1->Panel2->Visible(); },
                     [&] {
                       email = setup::Form1->Edit2->Text();
                       repaints = run.backend.RepaintCount(*setup::Form1);
                       ui::HeadlessBackend::Click(setup::Form1->BitBtn2);  // covered: nothing happens
                     });
    run.ExitWith(false, false);
    EXPECT_EQ(run.Run(), 0);
    EXPECT_TRUE(signup_focus);
    EXPECT_EQ(email, c.expected);
    EXPECT_GE(repaints, 1);  // "Processing" was painted before the work began
    EXPECT_EQ(setup::SkipSignUp, c.skip);
  }
}

TEST_F(InstallFlow, QuitAndCloseBoxEndTheProgramWithNothingWritten) {
  for (int way = 0; way < 3; ++way) {
    InstallerHarness run;
    run.AgreeWhenShown();
    if (way == 2) run.Click([] { return setup::Form1->BitBtn3; });  // close box on the sign-up panel
    run.backend.Then([way] {
      if (way == 0)
        ui::HeadlessBackend::Click(setup::Form1->BitBtn2);
      else
        ui::HeadlessBackend::CloseBox(setup::Form1);
    });
    EXPECT_EQ(run.Run(), 0);
    for (const auto& [name, content] : InstallerHarness::ProductFiles())
      EXPECT_EQ(TempRoot::ReadFile(run.source + "/" + name), content);
    EXPECT_FALSE(TempRoot::Exists(run.root.drive_c() + "/Program Files/Vantiro"));
    EXPECT_EQ(TempRoot::ReadFile(run.root.host() + "/system.reg").find("vnta"), std::string::npos);
  }
}

// Waits (real time) for a file a started program writes.
bool AppearsWithin(const std::string& path, int seconds) {
  for (int i = 0; i < seconds * 20; ++i) {
    if (TempRoot::Exists(path) && !TempRoot::ReadFile(path).empty()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

TEST_F(InstallFlow, ExitStartsTheProgramAndTheReleaseNotesAsTicked) {
  std::string marks = h.root.host() + "/marks";
  fs::create_directories(marks);
  // The product records that it started; the text editor records the document it was given.
  const std::string program = "#!/bin/sh\necho started > '" + marks + "/program'\n";
  TempRoot::WriteFile(h.source + "/vantro.exe", program);
  fs::permissions(h.source + "/vantro.exe", fs::perms::owner_all);
  std::string editor = h.root.drive_c() + "/windows/notepad.exe";
  TempRoot::WriteFile(editor, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + marks + "/editor'\n");
  fs::permissions(editor, fs::perms::owner_all);

  h.InstallWithEmail("");
  h.ExitWith(true, true);
  EXPECT_EQ(h.Run(), 0);
  ASSERT_TRUE(AppearsWithin(marks + "/program", 10));
  ASSERT_TRUE(AppearsWithin(marks + "/editor", 10));
  // The document arrives as one argument, spaces and all, mapped to the host.
  std::string document = TempRoot::ReadFile(marks + "/editor");
  EXPECT_NE(document.find("Program Files/Vantiro/readme.txt"), std::string::npos) << document;
}

TEST_F(InstallFlow, ExitWithBothBoxesClearedOnlyCloses) {
  std::string marks = h.root.host() + "/marks";
  fs::create_directories(marks);
  TempRoot::WriteFile(h.source + "/vantro.exe", "#!/bin/sh\necho started > '" + marks + "/program'\n");
  fs::permissions(h.source + "/vantro.exe", fs::perms::owner_all);
  h.InstallWithEmail("");
  h.ExitWith(false, false);
  EXPECT_EQ(h.Run(), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(TempRoot::Exists(marks + "/program"));
}

}  // namespace
