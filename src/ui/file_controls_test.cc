// The directory list and drive box against real folders in a fresh system root, driven through the
// application's input path on the headless backend.
#include "ui/file_controls.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>

#include "support/temp_root.h"
#include "support/unprivileged.h"
#include "ui/application.h"
#include "ui/exceptions.h"
#include "ui/forms.h"
#include "ui/headless/headless_backend.h"
#include "ui/layout.h"
#include "ui/message_box.h"
#include "win/paths.h"

namespace ui {
namespace {

namespace fs = std::filesystem;
using Items = std::vector<std::string>;

struct FileControls : ::testing::Test {
  testing_support::TempRoot root;
  VirtualClock clock;
  HeadlessBackend backend{clock};
  TApplication app{backend, clock};
  TForm* form = nullptr;

  void SetUp() override {
    app.CreateForm(form);
    form->SetBounds(0, 0, 303, 265);
  }

  // Makes folders under drive C (paths relative to its root, '/' separated).
  void MakeFolders(std::initializer_list<const char*> folders) {
    for (const char* f : folders) fs::create_directories(root.drive_c() + "/" + f);
  }
  TDirectoryListBox* NewList() {
    auto* list = new TDirectoryListBox(form);
    list->SetParent(form);
    list->SetBounds(0, 26, 297, 185);
    list->TabOrder = 0;
    return list;
  }
  TDriveComboBox* NewBox(TDirectoryListBox* list) {
    auto* box = new TDriveComboBox(form);
    box->SetParent(form);
    box->SetBounds(2, 3, 157, 19);
    box->TabOrder = 1;
    box->SetDirList(list);
    return box;
  }
  int IndexOf(const TDirectoryListBox* list, const std::string& item) const {
    const Items& items = list->Items();
    auto it = std::find(items.begin(), items.end(), item);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
  }
  int DriveIndex(const TDriveComboBox* box, char drive) const {
    const auto& drives = box->Drives();
    auto it = std::find(drives.begin(), drives.end(), drive);
    return it == drives.end() ? -1 : static_cast<int>(it - drives.begin());
  }
  // Dispatches what the input posted; returns the text of the error box that came up ("" for none),
  // after pressing its OK.
  std::string ErrorShown() {
    auto text = std::make_shared<std::string>();
    backend.When([] { return dynamic_cast<TMessageForm*>(Application->TopModalForm()) != nullptr; },
                 [text] {
                   auto* box = dynamic_cast<TMessageForm*>(Application->TopModalForm());
                   *text = box->Message->Caption();
                   HeadlessBackend::Click(box->OkButton);
                 });
    app.ProcessMessages();
    return *text;
  }
};

TEST_F(FileControls, ShowsThePathDownToTheDirectoryThenItsSubfoldersSorted) {
  MakeFolders({"Temp/Setup/beta", "Temp/Setup/Alpha", "Temp/Setup/gamma", "Temp/Setup/Beta2"});
  testing_support::TempRoot::WriteFile(root.drive_c() + "/Temp/Setup/afile.txt", "not a folder");
  ASSERT_TRUE(win::SetCurrentDirectoryA("C:\\Temp\\Setup"));
  TDirectoryListBox* list = NewList();  // takes the current directory when made
  EXPECT_EQ(list->Directory(), "C:\\Temp\\Setup");
  EXPECT_EQ(list->Items(), (Items{"C:\\", "Temp", "Setup", "Alpha", "beta", "Beta2", "gamma"}));
  EXPECT_EQ(list->ItemIndex(), 2);
  EXPECT_EQ(list->PathLevels(), 3);

  list->SetDirectory("C:\\");
  EXPECT_EQ(list->Directory(), "C:\\");
  EXPECT_EQ(list->ItemIndex(), 0);
  EXPECT_EQ(list->Items().front(), "C:\\");
  EXPECT_NE(IndexOf(list, "Temp"), -1);
  EXPECT_NE(IndexOf(list, "windows"), -1);
}

TEST_F(FileControls, OpenCurrentGoesWhereTheSelectedEntryLeads) {
  MakeFolders({"Temp/Setup/Alpha/Inner"});
  struct Case {
    const char* from;
    const char* entry;
    const char* to;
    int changes;
  } cases[] = {
      {"C:\\Temp\\Setup", "C:\\", "C:\\", 1},
      {"C:\\Temp\\Setup", "Temp", "C:\\Temp", 1},
      {"C:\\Temp\\Setup", "Setup", "C:\\Temp\\Setup", 0},  // its own entry: nothing to do
      {"C:\\Temp\\Setup", "Alpha", "C:\\Temp\\Setup\\Alpha", 1},
      {"C:\\", "Temp", "C:\\Temp", 1},  // below a root: one backslash
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " / " + c.entry);
    ASSERT_TRUE(win::SetCurrentDirectoryA(c.from));
    TDirectoryListBox* list = NewList();
    int changes = 0;
    list->OnChange = [&](TObject*) { ++changes; };
    list->SetItemIndex(IndexOf(list, c.entry));
    list->OpenCurrent();
    EXPECT_EQ(list->Directory(), c.to);
    EXPECT_EQ(win::GetCurrentDirectoryA(), c.to);
    EXPECT_EQ(changes, c.changes);
    EXPECT_EQ(list->Items()[list->ItemIndex()], list->Items()[list->PathLevels() - 1]);
    delete list;
  }
}

TEST_F(FileControls, SetDirectoryIgnoresEmptyAndSameNameAndResolvesABareDrive) {
  MakeFolders({"Temp/Setup", "Other"});
  ASSERT_TRUE(win::SetCurrentDirectoryA("C:\\Temp\\Setup"));
  TDirectoryListBox* list = NewList();
  int changes = 0;
  list->OnChange = [&](TObject*) { ++changes; };
  for (const char* same : {"", "C:\\Temp\\Setup", "c:\\TEMP\\setup"}) {
    list->SetDirectory(same);
    EXPECT_EQ(changes, 0) << same;
    EXPECT_EQ(list->Directory(), "C:\\Temp\\Setup") << same;
  }
  // The same folder spelt another way is a change: the list is read again.
  list->SetDirectory("C:\\Temp\\Setup\\..\\Setup");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(list->Directory(), "C:\\Temp\\Setup");

  // "C:" is drive C's current directory, as the system remembers it while another drive is current.
  std::string d = root.MapDrive('d', "drive_d");
  fs::create_directories(d + "/data");
  list->SetDirectory("D:\\data");
  EXPECT_EQ(list->Directory(), "D:\\data");
  list->SetDirectory("C:");
  EXPECT_EQ(list->Directory(), "C:\\Temp\\Setup");
  EXPECT_EQ(win::GetCurrentDirectoryA(), "C:\\Temp\\Setup");
  EXPECT_EQ(changes, 3);
  list->Update();
  EXPECT_EQ(changes, 4);
}

TEST_F(FileControls, ADirectoryThatCannotBeEnteredRaisesItsTextAndChangesNothing) {
  MakeFolders({"Temp/Setup/Gone", "Temp/Setup/Kept"});
  root.MapDrive('d', "drive_d");
  // A drive whose mapping points at nothing is not ready.
  fs::create_directory_symlink("../nowhere", root.host() + "/dosdevices/e:");
  ASSERT_TRUE(win::SetCurrentDirectoryA("C:\\Temp\\Setup"));
  TDirectoryListBox* list = NewList();
  TDriveComboBox* box = NewBox(list);
  fs::remove(root.drive_c() + "/Temp/Setup/Gone");  // after the list read it
  Items before = list->Items();
  int changes = 0;
  list->OnChange = [&](TObject*) { ++changes; };

  struct Case {
    const char* path;
    const char* text;
    int code;
  } cases[] = {
      {"C:\\Temp\\Setup\\Gone", "File not found", 2},
      {"C:\\Temp\\Missing\\Deeper", "Invalid filename", 3},
      {"E:", "I/O error 21", 21},
      {"C:\\Temp\\a|b", "I/O error 123", 123},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    try {
      list->SetDirectory(c.path);
      ADD_FAILURE() << "no error raised";
    } catch (const EInOutError& e) {
      EXPECT_STREQ(e.what(), c.text);
      EXPECT_EQ(e.ErrorCode, c.code);
    }
    EXPECT_EQ(list->Directory(), "C:\\Temp\\Setup");
    EXPECT_EQ(list->Items(), before);
    EXPECT_EQ(win::GetCurrentDirectoryA(), "C:\\Temp\\Setup");
    EXPECT_EQ(box->Drive(), 'C');
    EXPECT_EQ(changes, 0);
  }
}

TEST_F(FileControls, AFolderWithoutAccessShowsFileAccessDenied) {
  MakeFolders({"Temp/Locked", "Temp/Open"});
  ASSERT_EQ(chmod((root.drive_c() + "/Temp/Locked").c_str(), 0), 0);
  testing_support::GiveToUnprivilegedUser(root.host());
  std::string outcome = testing_support::RunUnprivileged([] {
    if (!win::SetCurrentDirectoryA("C:\\Temp")) return std::string("cannot reach C:\\Temp");
    TDirectoryListBox list(nullptr);
    std::string result;
    try {
      list.SetDirectory("C:\\Temp\\Locked");
      result = "entered";
    } catch (const EInOutError& e) {
      result = e.what();
    }
    return result + "|" + list.Directory() + "|" + win::GetCurrentDirectoryA();
  });
  EXPECT_EQ(outcome, "File access denied|C:\\Temp|C:\\Temp");
}

TEST_F(FileControls, UserSelectionFiresOnClickOnlyWhenTheEntryChangesAndOnlyWhenReachable) {
  MakeFolders({"Temp/Setup/Alpha", "Temp/Setup/Beta"});
  ASSERT_TRUE(win::SetCurrentDirectoryA("C:\\Temp\\Setup"));
  TDirectoryListBox* list = NewList();
  form->ShowForm();
  std::vector<std::string> clicked;
  list->OnClick = [&](TObject*) { clicked.push_back(list->Items()[list->ItemIndex()]); };

  list->UserSelect(IndexOf(list, "Alpha"));
  list->UserSelect(IndexOf(list, "Alpha"));  // the same entry again
  list->UserSelect(99);                      // no such entry
  list->UserSelect(IndexOf(list, "Temp"));
  app.ProcessMessages();
  EXPECT_EQ(clicked, (Items{"Alpha", "Temp"}));
  EXPECT_TRUE(list->Focused());

  list->SetEnabled(false);
  list->UserSelect(IndexOf(list, "Beta"));
  app.ProcessMessages();
  list->SetEnabled(true);
  form->HideForm();
  list->UserSelect(IndexOf(list, "Beta"));
  app.ProcessMessages();
  EXPECT_EQ(clicked.size(), 2u);
  EXPECT_EQ(list->Directory(), "C:\\Temp\\Setup");  // selecting alone opens nothing
}

TEST_F(FileControls, KeysMoveTheSelectionByEntryAndByPage) {
  for (int i = 0; i < 15; ++i) fs::create_directories(root.drive_c() + "/Many/f" + std::to_string(100 + i));
  ASSERT_TRUE(win::SetCurrentDirectoryA("C:\\Many"));
  TDirectoryListBox* list = NewList();  // 185 high: eleven entries show, a page moves ten
  form->ShowForm();
  int clicks = 0;
  list->OnClick = [&](TObject*) { ++clicks; };
  struct Step {
    Key key;
    int index;
  } steps[] = {{Key::Down, 2}, {Key::PageDown, 12}, {Key::PageDown, 16}, {Key::Down, 16}, {Key::PageUp, 6},
               {Key::Up, 5},   {Key::Home, 0},      {Key::Up, 0},        {Key::End, 16}};
  int expected_clicks = 0;
  int at = list->ItemIndex();
  for (const auto& s : steps) {
    HeadlessBackend::Press(form, s.key);
    app.ProcessMessages();
    EXPECT_EQ(list->ItemIndex(), s.index);
    if (s.index != at) ++expected_clicks;
    at = s.index;
  }
  EXPECT_EQ(clicks, expected_clicks);
  EXPECT_EQ(list->Directory(), "C:\\Many");
}

TEST_F(FileControls, EnterAndDoubleClickOpenTheEntry) {
  MakeFolders({"Temp/Setup/Alpha/Inner"});
  ASSERT_TRUE(win::SetCurrentDirectoryA("C:\\Temp\\Setup"));
  TDirectoryListBox* list = NewList();
  form->ShowForm();
  HeadlessBackend::Press(form, Key::Down);  // selects Alpha only
  app.ProcessMessages();
  EXPECT_EQ(list->Directory(), "C:\\Temp\\Setup");
  HeadlessBackend::Press(form, Key::Enter);
  app.ProcessMessages();
  EXPECT_EQ(list->Directory(), "C:\\Temp\\Setup\\Alpha");
  list->UserDoubleClick(IndexOf(list, "Inner"));
  app.ProcessMessages();
  EXPECT_EQ(list->Directory(), "C:\\Temp\\Setup\\Alpha\\Inner");
  list->UserDoubleClick(IndexOf(list, "Temp"));
  app.ProcessMessages();
  EXPECT_EQ(win::GetCurrentDirectoryA(), "C:\\Temp");
}

TEST_F(FileControls, WithOpenOnClickArrowsWalkTheTree) {
  MakeFolders({"Temp/Setup/Alpha/Inner", "Temp/Setup/Beta"});
  ASSERT_TRUE(win::SetCurrentDirectoryA("C:\\Temp\\Setup"));
  TDirectoryListBox* list = NewList();
  list->OnClick = [list](TObject*) { list->OpenCurrent(); };
  form->ShowForm();
  struct Step {
    Key key;
    const char* directory;
  } steps[] = {{Key::Down, "C:\\Temp\\Setup\\Alpha"},
               {Key::Down, "C:\\Temp\\Setup\\Alpha\\Inner"},
               {Key::Down, "C:\\Temp\\Setup\\Alpha\\Inner"},  // no subfolders: nowhere to go
               {Key::Up, "C:\\Temp\\Setup\\Alpha"},
               {Key::Home, "C:\\"},
               {Key::Enter, "C:\\"}};  // the selected entry is the folder the list is in already
  for (const auto& s : steps) {
    HeadlessBackend::Press(form, s.key);
    app.ProcessMessages();
    EXPECT_EQ(list->Directory(), s.directory);
  }
}

TEST_F(FileControls, ClickOnAFolderRemovedMeanwhileShowsFileNotFound) {
  MakeFolders({"Temp/Setup/Gone"});
  ASSERT_TRUE(win::SetCurrentDirectoryA("C:\\Temp\\Setup"));
  TDirectoryListBox* list = NewList();
  list->OnClick = [list](TObject*) { list->OpenCurrent(); };
  form->ShowForm();
  Items before = list->Items();
  fs::remove(root.drive_c() + "/Temp/Setup/Gone");
  list->UserSelect(IndexOf(list, "Gone"));
  EXPECT_EQ(ErrorShown(), "File not found.");
  EXPECT_EQ(list->Directory(), "C:\\Temp\\Setup");
  EXPECT_EQ(list->Items(), before);
  EXPECT_EQ(win::GetCurrentDirectoryA(), "C:\\Temp\\Setup");

  // The selection stayed on the entry: once the folder is back, Enter tries it again.
  fs::create_directories(root.drive_c() + "/Temp/Setup/Gone");
  HeadlessBackend::Press(form, Key::Enter);
  app.ProcessMessages();
  EXPECT_EQ(list->Directory(), "C:\\Temp\\Setup\\Gone");
}

TEST_F(FileControls, DriveBoxMovesTheListAndFollowsIt) {
  MakeFolders({"Temp/Setup"});
  std::string d = root.MapDrive('d', "drive_d");
  fs::create_directories(d + "/data/deep");
  ASSERT_TRUE(win::SetCurrentDirectoryA("C:\\Temp\\Setup"));
  TDirectoryListBox* list = NewList();
  TDriveComboBox* box = NewBox(list);
  form->ShowForm();
  int changes = 0;
  list->OnChange = [&](TObject*) { ++changes; };
  EXPECT_EQ(box->Drive(), 'C');
  ASSERT_NE(DriveIndex(box, 'D'), -1);
  EXPECT_EQ(box->Items()[DriveIndex(box, 'D')], "d:");
  EXPECT_NE(DriveIndex(box, 'Z'), -1);  // the host's own root

  box->UserSelect(DriveIndex(box, 'D'));
  app.ProcessMessages();
  EXPECT_EQ(list->Directory(), "D:\\");
  EXPECT_EQ(win::GetCurrentDirectoryA(), "D:\\");
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(box->Focused());

  list->SetDirectory("D:\\data\\deep");
  list->SetDirectory("C:");  // the list moves: the box follows
  EXPECT_EQ(box->Drive(), 'C');
  EXPECT_EQ(list->Directory(), "C:\\Temp\\Setup");
  box->UserSelect(DriveIndex(box, 'D'));  // D remembers where it was
  app.ProcessMessages();
  EXPECT_EQ(list->Directory(), "D:\\data\\deep");
  EXPECT_EQ(box->Drive(), 'D');

  box->UserSelect(DriveIndex(box, 'D'));  // the drive already shown: nothing happens
  app.ProcessMessages();
  EXPECT_EQ(changes, 4);
}

TEST_F(FileControls, DriveThatIsNotReadyShowsItsErrorAndTheBoxReturns) {
  MakeFolders({"Temp/Setup"});
  fs::create_directory_symlink("../nowhere", root.host() + "/dosdevices/e:");
  ASSERT_TRUE(win::SetCurrentDirectoryA("C:\\Temp\\Setup"));
  TDirectoryListBox* list = NewList();
  TDriveComboBox* box = NewBox(list);
  form->ShowForm();
  int changes = 0;
  list->OnChange = [&](TObject*) { ++changes; };
  ASSERT_NE(DriveIndex(box, 'E'), -1);  // listed, though not ready
  box->UserSelect(DriveIndex(box, 'E'));
  EXPECT_EQ(ErrorShown(), "I/O error 21.");
  EXPECT_EQ(box->Drive(), 'C');
  EXPECT_EQ(list->Directory(), "C:\\Temp\\Setup");
  EXPECT_EQ(win::GetCurrentDirectoryA(), "C:\\Temp\\Setup");
  EXPECT_EQ(changes, 0);
}

TEST_F(FileControls, LayoutLinksTheBoxToItsListInEitherOrder) {
  const char* box_text = "  object Box: TDriveComboBox\n    DirList = List\n  end\n";
  const char* list_text = "  object List: TDirectoryListBox\n    ItemHeight = 18\n  end\n";
  for (bool box_first : {true, false}) {
    SCOPED_TRACE(box_first ? "box first" : "list first");
    TForm* f = nullptr;
    app.CreateForm(f);
    std::string text = std::string("object F: TForm\n") + (box_first ? box_text : list_text) +
                       (box_first ? list_text : box_text) + "end\n";
    ApplyLayout(ParseLayout(text, "test"), *f);
    auto* box = dynamic_cast<TDriveComboBox*>(f->FindComponent("Box"));
    auto* list = dynamic_cast<TDirectoryListBox*>(f->FindComponent("List"));
    ASSERT_TRUE(box && list);
    EXPECT_EQ(box->DirList(), list);
    EXPECT_EQ(list->ItemHeight, 18);
  }
  TForm* f = nullptr;
  app.CreateForm(f);
  EXPECT_THROW(
      ApplyLayout(ParseLayout("object F: TForm\n  object L: TLabel\n  end\n  object Box: TDriveComboBox\n"
                              "    DirList = L\n  end\nend\n",
                              "test"),
                  *f),
      Exception);
}

TEST_F(FileControls, EitherControlMayGoFirst) {
  MakeFolders({"Temp"});
  TDirectoryListBox* list = NewList();
  TDriveComboBox* box = NewBox(list);
  delete list;
  EXPECT_EQ(box->DirList(), nullptr);
  box->UserSelect(0);
  app.ProcessMessages();  // a box without a list just shows the drive
  list = NewList();
  box->SetDirList(list);
  delete box;
  list->SetDirectory("C:\\Temp");
  EXPECT_EQ(list->Directory(), "C:\\Temp");
}

}  // namespace
}  // namespace ui
