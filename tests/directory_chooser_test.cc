// The install directory chooser (Browse): what it shows and suggests, how clicks, keys, typing and the
// drive box move it, what its failures show, and what it leaves behind: the "Install to:" field, the
// process's current directory, and an installation that still takes its files from the start folder.
// The whole installer runs in-process on the headless backend against a fresh system root.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "setup/Unit1.h"
#include "setup/Unit3.h"
#include "setup/unit2.h"
#include "support/installer_harness.h"
#include "support/unprivileged.h"
#include "win/paths.h"

namespace {

namespace fs = std::filesystem;
using setup::Form1;
using setup::Form3;
using testing_support::InstallerHarness;
using testing_support::TempRoot;
using ui::HeadlessBackend;
using ui::Key;
using Items = std::vector<std::string>;

const char kDefaultInstallDir[] = "C:\\Program Files\\Vantiro";

// What the chooser shows at one moment, and the process's current directory then.
struct View {
  std::string directory;
  Items items;
  std::string selected;
  std::string field;
  char drive = 0;
  bool list_focused = false;
  std::string current;
};

View Look() {
  View v;
  ui::TDirectoryListBox* list = Form3->DirectoryListBox1;
  v.directory = list->Directory();
  v.items = list->Items();
  v.selected = list->ItemIndex() >= 0 ? list->Items()[list->ItemIndex()] : "";
  v.field = Form3->Edit1->Text();
  v.drive = Form3->DriveComboBox1->Drive();
  v.list_focused = list->Focused();
  v.current = win::GetCurrentDirectoryA();
  return v;
}

bool ChooserUp() { return Form3 && Form3->Visible() && Form3->AcceptsInput(); }

int EntryIndex(const std::string& name) {
  const Items& items = Form3->DirectoryListBox1->Items();
  auto it = std::find(items.begin(), items.end(), name);
  return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

int DriveIndex(char drive) {
  const auto& drives = Form3->DriveComboBox1->Drives();
  auto it = std::find(drives.begin(), drives.end(), drive);
  return it == drives.end() ? -1 : static_cast<int>(it - drives.begin());
}

// One run of the installer with the steps a person takes in the chooser. Each step acts once the
// previous one's input has been handled.
struct ChooserRun {
  InstallerHarness h;
  std::vector<View> views;              // one per Look()
  std::vector<std::string> install_to;  // the main window's field, one per LookAtMainField()

  void Browse() {
    h.Click([] { return Form1->BitBtn1; });
    h.backend.When(ChooserUp, [] {});
  }
  void Click(const std::string& entry) {
    h.backend.Then([entry] {
      int index = EntryIndex(entry);
      EXPECT_NE(index, -1) << entry;
      Form3->DirectoryListBox1->UserSelect(index);
    });
  }
  void Press(Key key) {
    h.backend.Then([key] { HeadlessBackend::Press(Form3, key); });
  }
  void ChooseDrive(char drive) {
    h.backend.Then([drive] {
      int index = DriveIndex(drive);
      EXPECT_NE(index, -1) << drive;
      Form3->DriveComboBox1->UserSelect(index);
    });
  }
  void TypeInField(const std::string& text) {
    h.Type([] { return Form3->Edit1; }, text);
  }
  void Look() {
    h.backend.Then([this] { views.push_back(::Look()); });
  }
  void LookAtMainField() {
    h.backend.Then([this] { install_to.push_back(Form1->Edit1->Text()); });
  }
  void Ok() {
    h.Click([] { return Form3->BitBtn1; });
  }
  void Quit() {
    h.Click([] { return Form1->BitBtn2; });
  }
  // Does `action` once the loop would wait (between the person's steps).
  void Meanwhile(std::function<void()> action) { h.backend.Then(std::move(action)); }
};

TEST(DirectoryChooser, FirstBrowseShowsTheStartFolderAndOkReplacesTheDefault) {
  ChooserRun run;
  bool field_empty_before = false;
  run.h.AgreeWhenShown();
  run.Meanwhile([&] { field_empty_before = Form3->Edit1->Text().empty() && !Form3->Visible(); });
  run.LookAtMainField();
  run.Browse();
  run.Look();
  run.Meanwhile([] {
    EXPECT_EQ(Form3->Caption(), "Choose Installation Directory");
    EXPECT_EQ(Form3->ClientWidth(), 303);
    EXPECT_EQ(Form3->ClientHeight(), 265);
    EXPECT_EQ(Form3->BorderStyle, ui::bsSingle);
    EXPECT_EQ(Form3->BorderIcons, (ui::TBorderIcons{false, false, false}));
    EXPECT_EQ(Form3->Position, ui::poScreenCenter);
    std::vector<ui::TWinControl*> tab_order = {Form3->DirectoryListBox1, Form3->BitBtn1,
                                               Form3->DriveComboBox1, Form3->Edit1};
    EXPECT_EQ(Form3->TabSequence(), tab_order);
    EXPECT_EQ(Form3->DriveComboBox1->DirList(), Form3->DirectoryListBox1);
    EXPECT_EQ(Form3->DirectoryListBox1->ItemHeight, 16);
    EXPECT_FALSE(Form3->Edit1->ReadOnly);
  });
  run.Ok();
  run.LookAtMainField();
  run.Quit();
  EXPECT_EQ(run.h.Run(), 0);

  EXPECT_TRUE(field_empty_before);
  ASSERT_EQ(run.views.size(), 1u);
  const View& v = run.views[0];
  EXPECT_EQ(v.directory, "C:\\Temp\\Setup");
  EXPECT_EQ(v.items, (Items{"C:\\", "Temp", "Setup"}));  // the start folder holds files only
  EXPECT_EQ(v.selected, "Setup");
  EXPECT_EQ(v.field, "C:\\Temp\\Setup\\Vantiro");
  EXPECT_EQ(v.drive, 'C');
  EXPECT_TRUE(v.list_focused);
  EXPECT_EQ(run.install_to, (Items{kDefaultInstallDir, "C:\\Temp\\Setup\\Vantiro"}));
  EXPECT_TRUE(run.h.boxes.empty());
}

TEST(DirectoryChooser, OneClickEntersASubfolderOrGoesUpAndTheSuggestionFollows) {
  ChooserRun run;
  fs::create_directories(run.h.source + "/Extras/Inner");
  fs::create_directories(run.h.source + "/Beta");
  fs::create_directories(run.h.root.drive_c() + "/Temp/Other");
  run.h.AgreeWhenShown();
  run.Browse();
  run.Look();
  run.Click("Extras");
  run.Look();
  run.Click("Temp");
  run.Look();
  run.Click("C:\\");
  run.Look();
  run.Ok();
  run.LookAtMainField();
  run.Quit();
  EXPECT_EQ(run.h.Run(), 0);

  ASSERT_EQ(run.views.size(), 4u);
  EXPECT_EQ(run.views[0].items, (Items{"C:\\", "Temp", "Setup", "Beta", "Extras"}));
  struct Expected {
    const char* directory;
    const char* selected;
    const char* field;
  } expected[] = {
      {"C:\\Temp\\Setup", "Setup", "C:\\Temp\\Setup\\Vantiro"},
      {"C:\\Temp\\Setup\\Extras", "Extras", "C:\\Temp\\Setup\\Extras\\Vantiro"},
      {"C:\\Temp", "Temp", "C:\\Temp\\Vantiro"},
      {"C:\\", "C:\\", "C:\\Vantiro"},  // a drive root: one backslash
  };
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(run.views[i].directory, expected[i].directory);
    EXPECT_EQ(run.views[i].selected, expected[i].selected);
    EXPECT_EQ(run.views[i].field, expected[i].field);
    EXPECT_EQ(run.views[i].current, expected[i].directory);
  }
  EXPECT_EQ(run.views[1].items, (Items{"C:\\", "Temp", "Setup", "Extras", "Inner"}));
  EXPECT_EQ(run.views[2].items, (Items{"C:\\", "Temp", "Other", "Setup"}));
  EXPECT_EQ(run.install_to, (Items{"C:\\Vantiro"}));
}

TEST(DirectoryChooser, ArrowKeysEnterFoldersAndGoUp) {
  ChooserRun run;
  fs::create_directories(run.h.source + "/Alpha/Inner");
  fs::create_directories(run.h.source + "/Beta");
  run.h.AgreeWhenShown();
  run.Browse();
  for (Key key : {Key::Down, Key::Down, Key::Up, Key::Up, Key::End, Key::Home}) {
    run.Press(key);
    run.Look();
  }
  run.Ok();
  run.Quit();
  EXPECT_EQ(run.h.Run(), 0);

  const char* expected[] = {"C:\\Temp\\Setup\\Alpha", "C:\\Temp\\Setup\\Alpha\\Inner",
                            "C:\\Temp\\Setup\\Alpha", "C:\\Temp\\Setup",
                            "C:\\Temp\\Setup\\Beta",  "C:\\"};
  ASSERT_EQ(run.views.size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(run.views[i].directory, expected[i]) << i;
    EXPECT_EQ(run.views[i].field, std::string(expected[i]) + (i == 5 ? "" : "\\") + "Vantiro") << i;
  }
}

TEST(DirectoryChooser, TypingIsKeptExactlyByOkAndDiscardedByMoving) {
  const std::string typed = "d:/Games\\  My Vantiro  ";
  struct Case {
    bool move_after_typing;
    std::string install_to;
  } cases[] = {{false, typed}, {true, "C:\\Temp\\Vantiro"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.move_after_typing);
    ChooserRun run;
    run.h.AgreeWhenShown();
    run.Browse();
    run.TypeInField(typed);
    if (c.move_after_typing) run.Click("Temp");
    run.Ok();
    run.LookAtMainField();
    run.Quit();
    EXPECT_EQ(run.h.Run(), 0);
    EXPECT_EQ(run.install_to, (Items{c.install_to}));
  }
}

TEST(DirectoryChooser, DriveDMovesListAndSuggestionAndTheNextShowingReturnsToC) {
  ChooserRun run;
  std::string d = run.h.root.MapDrive('d', "drive_d");
  fs::create_directories(d + "/Data/Inner");
  run.h.AgreeWhenShown();
  run.Browse();
  run.ChooseDrive('D');
  run.Look();
  run.Click("Data");
  run.Look();
  run.Ok();
  run.LookAtMainField();
  run.Meanwhile([] { EXPECT_EQ(win::GetCurrentDirectoryA(), "D:\\Data"); });
  run.Browse();
  run.Look();
  run.Ok();
  run.LookAtMainField();
  run.Quit();
  EXPECT_EQ(run.h.Run(), 0);

  ASSERT_EQ(run.views.size(), 3u);
  EXPECT_EQ(run.views[0].directory, "D:\\");
  EXPECT_EQ(run.views[0].items, (Items{"D:\\", "Data"}));
  EXPECT_EQ(run.views[0].field, "D:\\Vantiro");
  EXPECT_EQ(run.views[0].drive, 'D');
  EXPECT_EQ(run.views[1].directory, "D:\\Data");
  EXPECT_EQ(run.views[1].field, "D:\\Data\\Vantiro");
  EXPECT_EQ(run.views[2].directory, "C:\\Temp\\Setup");  // drive C's own current directory
  EXPECT_EQ(run.views[2].drive, 'C');
  EXPECT_EQ(run.views[2].field, "C:\\Temp\\Setup\\Vantiro");
  EXPECT_EQ(run.views[2].current, "C:\\Temp\\Setup");
  EXPECT_EQ(run.install_to, (Items{"D:\\Data\\Vantiro", "C:\\Temp\\Setup\\Vantiro"}));
  EXPECT_TRUE(run.h.boxes.empty());
}

TEST(DirectoryChooser, ClosingLeavesTheListsDirectoryCurrentAndTheNextShowingStartsThere) {
  ChooserRun run;
  fs::create_directories(run.h.source + "/Sub");
  run.h.AgreeWhenShown();
  run.Browse();
  run.Click("Sub");
  run.Ok();
  run.Meanwhile([] { EXPECT_EQ(win::GetCurrentDirectoryA(), "C:\\Temp\\Setup\\Sub"); });
  run.Browse();
  run.Look();
  run.Ok();
  run.Quit();
  EXPECT_EQ(run.h.Run(), 0);
  ASSERT_EQ(run.views.size(), 1u);
  EXPECT_EQ(run.views[0].directory, "C:\\Temp\\Setup\\Sub");
  EXPECT_EQ(run.views[0].field, "C:\\Temp\\Setup\\Sub\\Vantiro");
  EXPECT_TRUE(run.views[0].list_focused) << "the last showing ended on OK; this one starts on the list";
}

TEST(DirectoryChooser, FolderRemovedMeanwhileOrDriveNotReadyShowsItsTextAndChangesNothing) {
  struct Case {
    const char* what;
    std::function<void(ChooserRun&)> act;
    const char* text;
  } cases[] = {
      {"removed folder",
       [](ChooserRun& run) {
         run.Meanwhile([&run] { fs::remove(run.h.source + "/Gone"); });
         run.Click("Gone");
       },
       "File not found."},
      {"drive not ready", [](ChooserRun& run) { run.ChooseDrive('E'); }, "I/O error 21."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ChooserRun run;
    fs::create_directories(run.h.source + "/Gone");
    fs::create_directory_symlink("../nowhere", run.h.root.host() + "/dosdevices/e:");
    run.h.AgreeWhenShown();
    run.Browse();
    run.Look();
    c.act(run);
    run.h.AnswerBox();
    run.Look();
    run.Ok();
    run.LookAtMainField();
    run.Quit();
    EXPECT_EQ(run.h.Run(), 0);
    ASSERT_EQ(run.h.boxes.size(), 1u);
    EXPECT_EQ(run.h.boxes[0].text, c.text);
    EXPECT_EQ(run.h.boxes[0].caption, "Setup");
    EXPECT_EQ(run.h.boxes[0].icon, ui::StockIcon::Error);
    ASSERT_EQ(run.views.size(), 2u);
    const View& before = run.views[0];
    const View& after = run.views[1];
    EXPECT_EQ(after.directory, before.directory);
    EXPECT_EQ(after.items, before.items);
    EXPECT_EQ(after.field, before.field);
    EXPECT_EQ(after.drive, 'C');
    EXPECT_EQ(after.current, "C:\\Temp\\Setup");
    EXPECT_EQ(run.install_to, (Items{"C:\\Temp\\Setup\\Vantiro"}));
  }
}

TEST(DirectoryChooser, FolderWithoutAccessShowsFileAccessDenied) {
  ChooserRun run;
  fs::create_directories(run.h.source + "/Locked");
  ASSERT_EQ(chmod((run.h.source + "/Locked").c_str(), 0), 0);
  testing_support::GiveToUnprivilegedUser(run.h.root.host());
  std::string outcome = testing_support::RunUnprivileged([&run] {
    run.h.AgreeWhenShown();
    run.Browse();
    run.Look();
    run.Click("Locked");
    run.h.AnswerBox();
    run.Look();
    run.Ok();
    run.LookAtMainField();
    run.Quit();
    int code = run.h.Run();
    std::ostringstream out;
    out << "exit " << code;
    for (const auto& box : run.h.boxes) out << "|box " << box.text;
    for (const View& v : run.views) out << "|" << v.directory << " " << v.field << " " << v.current;
    for (const auto& f : run.install_to) out << "|to " << f;
    return out.str();
  });
  EXPECT_EQ(outcome,
            "exit 0|box File access denied.|C:\\Temp\\Setup C:\\Temp\\Setup\\Vantiro C:\\Temp\\Setup"
            "|C:\\Temp\\Setup C:\\Temp\\Setup\\Vantiro C:\\Temp\\Setup|to C:\\Temp\\Setup\\Vantiro");
}

TEST(DirectoryChooser, FailingStartOfAShowingIsShownAndTheDialogStillComesUp) {
  ChooserRun run;
  fs::create_directories(run.h.source + "/Sub");
  run.h.AgreeWhenShown();
  run.Browse();
  run.Click("Sub");
  run.Ok();
  // Drive C's current directory disappears between two showings.
  run.Meanwhile([&run] { fs::remove(run.h.source + "/Sub"); });
  run.h.Click([] { return Form1->BitBtn1; });
  run.h.AnswerBox();
  run.h.backend.When(ChooserUp, [] {});
  run.Look();  // the rest of the showing's start was skipped: the last showing's state
  run.Click("Setup");
  run.Look();
  run.Ok();
  run.LookAtMainField();
  run.Quit();
  EXPECT_EQ(run.h.Run(), 0);
  ASSERT_EQ(run.h.boxes.size(), 1u);
  EXPECT_EQ(run.h.boxes[0].text, "File not found.");
  ASSERT_EQ(run.views.size(), 2u);
  EXPECT_EQ(run.views[0].directory, "C:\\Temp\\Setup\\Sub");
  EXPECT_EQ(run.views[0].field, "C:\\Temp\\Setup\\Sub\\Vantiro");
  EXPECT_EQ(run.views[1].directory, "C:\\Temp\\Setup");
  EXPECT_EQ(run.views[1].field, "C:\\Temp\\Setup\\Vantiro");
  EXPECT_EQ(run.install_to, (Items{"C:\\Temp\\Setup\\Vantiro"}));
}

TEST(DirectoryChooser, BrowsingLeavesTheSourceAloneAndTheInstallMovesTheStartFoldersFiles) {
  ChooserRun run;
  std::string d = run.h.root.MapDrive('d', "drive_d");
  fs::create_directories(d + "/Data");
  run.h.AgreeWhenShown();
  run.Browse();
  run.ChooseDrive('D');
  run.Click("Data");
  run.ChooseDrive('C');
  run.Click("C:\\");
  run.Ok();
  run.Meanwhile([] { EXPECT_EQ(setup::SourceDir, "C:\\Temp\\Setup\\"); });
  run.h.Click([] { return Form1->BitBtn3; });
  run.h.Click([] { return Form1->BitBtn5; });
  run.h.ExitWith(false, false);
  EXPECT_EQ(run.h.Run(), 0);

  EXPECT_EQ(setup::SourceDir, "C:\\Temp\\Setup\\");
  EXPECT_EQ(setup::InstallDir, "C:\\Vantiro");
  for (const auto& [name, content] : InstallerHarness::ProductFiles()) {
    if (name != "uninst1.exe") {
      EXPECT_EQ(TempRoot::ReadFile(run.h.root.drive_c() + "/Vantiro/" + name), content);
    }
    EXPECT_FALSE(TempRoot::Exists(run.h.source + "/" + name)) << name;
  }
  EXPECT_TRUE(run.h.boxes.empty());
}

}  // namespace
